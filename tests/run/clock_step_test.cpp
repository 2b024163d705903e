#include "run/clock_step.h"

#include <gtest/gtest.h>

namespace volari {
namespace {

TEST(ClockStep, AddsElapsedTimeFieldByFieldWithoutCarryIntoTheMonth) {
  struct Row {
    DateTime start;
    uint32_t elapsed_ms;
    DateTime want;
  } rows[] = {
      // year, month, weekday, day, hour, minute, second, ms
      {{2001, 3, 4, 29, 10, 59, 59, 900}, 250, {2001, 3, 4, 29, 11, 0, 0, 150}},
      {{2001, 3, 4, 29, 23, 59, 59, 500}, 1000, {2001, 3, 4, 30, 0, 0, 0, 500}},
      // The last day of a month becomes a day past its end: the platform refuses that date.
      {{2001, 3, 6, 31, 23, 59, 59, 500}, 1000, {2001, 3, 6, 32, 0, 0, 0, 500}},
      {{1998, 7, 2, 14, 9, 5, 20, 0}, 0, {1998, 7, 2, 14, 9, 5, 20, 0}},
      // Two whole days and a bit.
      {{1998, 7, 2, 14, 9, 5, 20, 0}, 2u * 86400000u + 61001u, {1998, 7, 2, 16, 9, 6, 21, 1}},
  };
  for (const Row& r : rows) {
    DateTime got = advance_clock(r.start, r.elapsed_ms);
    EXPECT_EQ(got.year, r.want.year);
    EXPECT_EQ(got.month, r.want.month);
    EXPECT_EQ(got.day_of_week, r.want.day_of_week);
    EXPECT_EQ(got.day, r.want.day);
    EXPECT_EQ(got.hour, r.want.hour);
    EXPECT_EQ(got.minute, r.want.minute);
    EXPECT_EQ(got.second, r.want.second);
    EXPECT_EQ(got.millisecond, r.want.millisecond);
  }
}

}  // namespace
}  // namespace volari
