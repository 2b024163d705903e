#include "support/packed_time.h"

#include <gtest/gtest.h>

#include "support/disk.h"
#include "temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

struct PackCase {
  DateTime t;
  PackedFields want;
};

DateTime at(int y, int mo, int d, int h, int mi, int s) {
  DateTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(mo);
  t.day = static_cast<uint16_t>(d);
  t.hour = static_cast<uint16_t>(h);
  t.minute = static_cast<uint16_t>(mi);
  t.second = static_cast<uint16_t>(s);
  return t;
}

void expect_fields(const PackedFields& got, const PackedFields& want) {
  EXPECT_EQ(got.year_field, want.year_field);
  EXPECT_EQ(got.month, want.month);
  EXPECT_EQ(got.day, want.day);
  EXPECT_EQ(got.hour, want.hour);
  EXPECT_EQ(got.minute, want.minute);
  EXPECT_EQ(got.seconds, want.seconds);
}

TEST(PackedTime, YearWrapsAndSecondsAreHalved) {
  const PackCase cases[] = {
      {at(2000, 1, 1, 0, 0, 1), {20, 1, 1, 0, 0, 0}},
      {at(2079, 12, 31, 23, 59, 59), {99, 12, 31, 23, 59, 58}},
      {at(2080, 1, 1, 0, 0, 0), {0, 1, 1, 0, 0, 0}},
      {at(1980, 1, 1, 0, 0, 0), {0, 1, 1, 0, 0, 0}},
      {at(1998, 7, 14, 10, 0, 0), {18, 7, 14, 10, 0, 0}},
      {at(2003, 5, 6, 12, 34, 57), {23, 5, 6, 12, 34, 56}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.t.year);
    expect_fields(unpack_date_time(pack_date_time(c.t)), c.want);
  }
}

TEST(PackedTime, BitLayoutIsTheDosDateAndTime) {
  // date (18 << 9 | 7 << 5 | 14), time (10 << 11 | 30 << 5 | 20 / 2)
  EXPECT_EQ(pack_date_time(at(1998, 7, 14, 10, 30, 20)), 0x24EE53CAu);
  expect_fields(unpack_date_time(0xFFFFFFFFu), {127, 15, 31, 31, 63, 62});
}

TEST(PackedTime, NowComesFromTheLocalClock) {
  testing::FakePlatform fake;
  fake.now = at(2000, 1, 1, 0, 0, 1);
  expect_fields(unpack_date_time(now_packed(fake)), {20, 1, 1, 0, 0, 0});
}

using FileTimePacked = testing::TempTree;

TEST_F(FileTimePacked, LocalWriteTimeWithEvenSeconds) {
  put("F.HTM", "x");
  set_times("F.HTM", utc(2001, 1, 1, 0, 0, 0), utc(2003, 5, 6, 3, 34, 57));  // 12:34:57 JST
  expect_fields(unpack_date_time(file_time_packed(system_platform(), "F.HTM")),
                {23, 5, 6, 12, 34, 56});
  EXPECT_EQ(file_time_packed(system_platform(), "MISSING.HTM"), 0u);
}

}  // namespace
}  // namespace volari
