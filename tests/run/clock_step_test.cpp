#include "run/clock_step.h"

#include <gtest/gtest.h>

#include <tuple>

namespace volari {
namespace {

auto fields(const DateTime& d) {
  return std::make_tuple(d.year, d.month, d.day_of_week, d.day, d.hour, d.minute, d.second,
                         d.millisecond);
}

// Field by field, with no carry into the month: a day past the month's end is for the platform
// to refuse.
TEST(ClockStep, AddsElapsedTimeFieldByField) {
  const struct {
    DateTime start;
    uint32_t elapsed_ms;
    DateTime want;
  } rows[] = {
      {{2001, 3, 4, 29, 10, 59, 59, 900}, 250, {2001, 3, 4, 29, 11, 0, 0, 150}},
      {{2001, 3, 6, 31, 23, 59, 59, 500}, 1000, {2001, 3, 6, 32, 0, 0, 0, 500}},
      {{1998, 7, 2, 14, 9, 5, 20, 0}, 2u * 86400000u + 61001u, {1998, 7, 2, 16, 9, 6, 21, 1}},
  };
  for (const auto& r : rows)
    EXPECT_EQ(fields(advance_clock(r.start, r.elapsed_ms)), fields(r.want));
}

}  // namespace
}  // namespace volari
