#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace volari {
namespace {

// Sets TZ for the life of the object, as the tests of local times need a known zone.
struct ZoneScope {
  explicit ZoneScope(const char* zone) {
    if (const char* tz = std::getenv("TZ")) old = tz;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneScope() {
    old ? ::setenv("TZ", old->c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
  }
  std::optional<std::string> old;
};

std::string show(const DateTime& t) {
  char s[64];
  std::snprintf(s, sizeof s, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond, t.day_of_week);
  return s;
}

TEST(PlatformClock, FileTimesBrokenDown) {
  const struct {
    const char* zone;
    bool utc;  // to_utc, which no zone changes; else to_local
    UnixTime t;
    const char* shown;  // day of the week: 0 is Sunday; null: refused by both conversions
  } cases[] = {
      {"Asia/Tokyo", true, -1, "1969-12-31 23:59:59.000 w3"},
      {"Asia/Tokyo", true, 951782400, "2000-02-29 00:00:00.000 w2"},
      {"Asia/Tokyo", true, 2147483648, "2038-01-19 03:14:08.000 w2"},
      {"Asia/Tokyo", true, 253402300799, "9999-12-31 23:59:59.000 w5"},
      // What a Windows file time holds: from 1601 to the last second before bit 63.
      {"Asia/Tokyo", true, -11644473600, "1601-01-01 00:00:00.000 w1"},
      {"UTC", true, 910692730085, "30828-09-14 02:48:05.000 w4"},
      {"UTC", true, -11644473601, nullptr},
      {"UTC", true, 910692730086, nullptr},
      {"UTC", true, INT64_MAX, nullptr},
      {"UTC", true, INT64_MIN, nullptr},
      {"Asia/Tokyo", false, 4102444800, "2100-01-01 09:00:00.000 w5"},
      {"UTC", false, 1719835200, "2024-07-01 12:00:00.000 w1"},
      {"America/New_York", false, 1719835200, "2024-07-01 08:00:00.000 w1"},  // summer time
      {"America/New_York", false, 1704110400, "2024-01-01 07:00:00.000 w1"},
  };
  Platform& p = system_platform();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.t));
    ZoneScope zone(c.zone);
    DateTime out;
    if (!c.shown) {
      EXPECT_FALSE(p.to_utc(c.t, &out));
      EXPECT_FALSE(p.to_local(c.t, &out));
      continue;
    }
    ASSERT_TRUE(c.utc ? p.to_utc(c.t, &out) : p.to_local(c.t, &out));
    EXPECT_EQ(c.shown, show(out));
  }
}

TEST(PlatformClock, LocalTimeIsTheMachinesClock) {
  const time_t before = ::time(nullptr);
  const DateTime now = system_platform().local_time();
  const time_t after = ::time(nullptr);
  EXPECT_LT(now.millisecond, 1000);
  bool matched = false;
  for (time_t t = before; t <= after; ++t) {
    struct tm tm;
    ::localtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S w%w", &tm);
    matched = matched || show(now).substr(0, 19) + show(now).substr(23) == text;
  }
  EXPECT_TRUE(matched) << show(now);
}

TEST(PlatformClock, TickCountCountsMillisecondsAndTheClockIsNeverSet) {
  Platform& p = system_platform();
  const uint32_t first = p.tick_count();
  struct timespec pause = {0, 60 * 1000000};
  ::nanosleep(&pause, nullptr);
  const uint32_t elapsed = p.tick_count() - first;  // modulo 2^32, as the run takes it
  EXPECT_GE(elapsed, 55u);
  EXPECT_LT(elapsed, 5000u);
  EXPECT_FALSE(p.set_system_time(DateTime{1998, 7, 2, 14, 10, 0, 0, 0}));
  EXPECT_FALSE(p.set_local_time(DateTime{1998, 7, 2, 14, 10, 0, 0, 0}));
  EXPECT_EQ(DirDating::by_stamp, p.dir_dating());
}

}  // namespace
}  // namespace volari
