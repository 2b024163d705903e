#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace volari {
namespace {

// Sets TZ for the life of the object, as the tests of local times need a known zone.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneScope() {
    if (had_) {
      ::setenv("TZ", old_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

std::string show(const DateTime& t) {
  char s[64];
  std::snprintf(s, sizeof s, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond, t.day_of_week);
  return s;
}

struct TimeCase {
  UnixTime t;
  const char* shown;  // day of the week: 0 is Sunday
};

const TimeCase kUtc[] = {
    {0, "1970-01-01 00:00:00.000 w4"},
    {-1, "1969-12-31 23:59:59.000 w3"},
    {951782400, "2000-02-29 00:00:00.000 w2"},
    {2147483648, "2038-01-19 03:14:08.000 w2"},
    {4102444799, "2099-12-31 23:59:59.000 w4"},
    {253402300799, "9999-12-31 23:59:59.000 w5"},
    {-11644473600, "1601-01-01 00:00:00.000 w1"},
};

TEST(PlatformClock, ToUtcBreaksDownFileTimes) {
  ZoneScope zone("Asia/Tokyo");  // no influence on UTC
  Platform& p = system_platform();
  for (const TimeCase& c : kUtc) {
    DateTime out;
    ASSERT_TRUE(p.to_utc(c.t, &out)) << c.t;
    EXPECT_EQ(c.shown, show(out)) << c.t;
  }
}

TEST(PlatformClock, ConversionsRefuseWhatAFileTimeCannotHold) {
  Platform& p = system_platform();
  for (UnixTime t :
       {UnixTime{-11644473601}, UnixTime{910692730086}, UnixTime{INT64_MAX}, UnixTime{INT64_MIN}}) {
    DateTime out;
    EXPECT_FALSE(p.to_utc(t, &out)) << t;
    EXPECT_FALSE(p.to_local(t, &out)) << t;
  }
  DateTime out;
  EXPECT_TRUE(p.to_utc(910692730085, &out));  // the last second a file time holds
  EXPECT_EQ(30828, out.year);
}

struct LocalCase {
  const char* zone;
  UnixTime t;
  const char* shown;
};

const LocalCase kLocal[] = {
    {"Asia/Tokyo", 0, "1970-01-01 09:00:00.000 w4"},
    {"Asia/Tokyo", 4102444800, "2100-01-01 09:00:00.000 w5"},
    {"Asia/Tokyo", 1719835200, "2024-07-01 21:00:00.000 w1"},
    {"UTC", 1719835200, "2024-07-01 12:00:00.000 w1"},
    {"America/New_York", 1719835200, "2024-07-01 08:00:00.000 w1"},  // summer time then
    {"America/New_York", 1704110400, "2024-01-01 07:00:00.000 w1"},
};

TEST(PlatformClock, ToLocalFollowsTheTimeZone) {
  Platform& p = system_platform();
  for (const LocalCase& c : kLocal) {
    ZoneScope zone(c.zone);
    DateTime out;
    ASSERT_TRUE(p.to_local(c.t, &out)) << c.zone << " " << c.t;
    EXPECT_EQ(c.shown, show(out)) << c.zone << " " << c.t;
  }
}

TEST(PlatformClock, LocalTimeIsTheMachinesClock) {
  ZoneScope zone("Asia/Tokyo");
  Platform& p = system_platform();
  const time_t before = ::time(nullptr);
  const DateTime now = p.local_time();
  const time_t after = ::time(nullptr);
  bool matched = false;
  for (time_t t = before; t <= after; ++t) {
    struct tm tm;
    ::localtime_r(&t, &tm);
    matched =
        matched || (now.year == tm.tm_year + 1900 && now.month == tm.tm_mon + 1 &&
                    now.day == tm.tm_mday && now.day_of_week == tm.tm_wday &&
                    now.hour == tm.tm_hour && now.minute == tm.tm_min && now.second == tm.tm_sec);
  }
  EXPECT_TRUE(matched) << show(now);
  EXPECT_LT(now.millisecond, 1000);
}

TEST(PlatformClock, TickCountCountsMilliseconds) {
  Platform& p = system_platform();
  const uint32_t first = p.tick_count();
  struct timespec pause = {0, 60 * 1000000};
  ::nanosleep(&pause, nullptr);
  const uint32_t elapsed = p.tick_count() - first;  // modulo 2^32, as the run takes it
  EXPECT_GE(elapsed, 55u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(PlatformClock, SettingTheClockIsRefusedAndChangesNothing) {
  Platform& p = system_platform();
  EXPECT_EQ(DirDating::by_stamp, p.dir_dating());
  const DateTime past{1998, 7, 2, 14, 10, 0, 0, 0};
  const time_t before = ::time(nullptr);
  EXPECT_FALSE(p.set_system_time(past));
  EXPECT_FALSE(p.set_local_time(past));
  const DateTime now = p.local_time();
  EXPECT_NE(1998, now.year);
  EXPECT_LE(before, ::time(nullptr));
  EXPECT_LT(::time(nullptr) - before, 5);
}

}  // namespace
}  // namespace volari
