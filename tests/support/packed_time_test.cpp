#include "support/packed_time.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/disk.h"
#include "temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

std::vector<unsigned> fields(PackedTime p) {
  const PackedFields f = unpack_date_time(p);
  return {f.year_field, f.month, f.day, f.hour, f.minute, f.seconds};
}

TEST(PackedTime, YearWrapsAndSecondsAreHalved) {
  // year, month, weekday, day, h, m, s, ms
  const std::pair<DateTime, std::vector<unsigned>> cases[] = {
      {DateTime{1980, 1, 0, 1, 0, 0, 0, 0}, {0, 1, 1, 0, 0, 0}},
      {DateTime{2079, 12, 0, 31, 23, 59, 59, 0}, {99, 12, 31, 23, 59, 58}},
      {DateTime{2080, 1, 0, 1, 0, 0, 1, 0}, {0, 1, 1, 0, 0, 0}},
  };
  for (const auto& [t, want] : cases) EXPECT_EQ(fields(pack_date_time(t)), want) << t.year;
}

TEST(PackedTime, BitLayoutIsTheDosDateAndTime) {
  // date (18 << 9 | 7 << 5 | 14), time (10 << 11 | 30 << 5 | 20 / 2)
  EXPECT_EQ(pack_date_time(DateTime{1998, 7, 0, 14, 10, 30, 20, 0}), 0x24EE53CAu);
  EXPECT_EQ(fields(0xFFFFFFFFu), (std::vector<unsigned>{127, 15, 31, 31, 63, 62}));
}

using FileTimePacked = testing::TempTree;

TEST_F(FileTimePacked, LocalTimesWithEvenSeconds) {
  put("F.HTM", "x");
  set_times("F.HTM", 978307200, 1052192097);  // written 2003-05-06 03:34:57 UTC, 12:34:57 JST
  EXPECT_EQ(fields(file_time_packed(system_platform(), "F.HTM")),
            (std::vector<unsigned>{23, 5, 6, 12, 34, 56}));
  EXPECT_EQ(file_time_packed(system_platform(), "MISSING.HTM"), 0u);
  testing::FakePlatform fake;
  fake.now = DateTime{2000, 1, 0, 1, 0, 0, 1, 0};
  EXPECT_EQ(fields(now_packed(fake)), (std::vector<unsigned>{20, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace volari
