#include <time.h>

#include <cstdint>

#include "platform/posix/posix_platform.h"

namespace volari {

namespace {

DateTime from_tm(const struct tm& tm, unsigned millisecond) {
  DateTime t;
  t.year = static_cast<uint16_t>(tm.tm_year + 1900);
  t.month = static_cast<uint16_t>(tm.tm_mon + 1);
  t.day_of_week = static_cast<uint16_t>(tm.tm_wday);
  t.day = static_cast<uint16_t>(tm.tm_mday);
  t.hour = static_cast<uint16_t>(tm.tm_hour);
  t.minute = static_cast<uint16_t>(tm.tm_min);
  t.second = static_cast<uint16_t>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
  t.millisecond = static_cast<uint16_t>(millisecond);
  return t;
}

// What a Windows file time can hold (100 ns units from 1601, bit 63 clear); beyond it the
// conversions fail there, and so they do here.
constexpr UnixTime kFirstFileTime = -11644473600LL;
constexpr UnixTime kLastFileTime = INT64_MAX / 10000000 + kFirstFileTime;

bool convertible(UnixTime t, time_t* out) {
  *out = static_cast<time_t>(t);
  return t >= kFirstFileTime && t <= kLastFileTime && static_cast<UnixTime>(*out) == t;
}

bool in_years(const struct tm& tm) {
  return tm.tm_year >= 1601 - 1900 && tm.tm_year <= 30828 - 1900;
}

}  // namespace

DateTime PosixPlatform::local_time() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm tm;
  ::localtime_r(&now.tv_sec, &tm);
  return from_tm(tm, static_cast<unsigned>(now.tv_nsec / 1000000));
}

uint32_t PosixPlatform::tick_count() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec / 1000000));
}

bool PosixPlatform::to_local(UnixTime t, DateTime* out) {
  time_t tt;
  struct tm tm;
  if (!convertible(t, &tt) || ::localtime_r(&tt, &tm) == nullptr || !in_years(tm)) return false;
  *out = from_tm(tm, 0);
  return true;
}

bool PosixPlatform::to_utc(UnixTime t, DateTime* out) {
  time_t tt;
  struct tm tm;
  if (!convertible(t, &tt) || ::gmtime_r(&tt, &tm) == nullptr) return false;
  *out = from_tm(tm, 0);
  return true;
}

Platform& system_platform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace volari
