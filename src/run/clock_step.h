// The end-of-run clock correction: the start time plus the elapsed ticks.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace volari {

// Adds `elapsed_ms` to `start` field by field with unsigned arithmetic. The carry stops at the
// day of the month (a 16-bit sum): month, year and day of the week are never changed, so the
// result may name a day past the month's end, which the platform then refuses to set.
DateTime advance_clock(DateTime start, uint32_t elapsed_ms);

}  // namespace volari
