// The packed date-time: MS-DOS date in the high half, MS-DOS time in the low half.
//   bits 0-4 seconds / 2, 5-10 minute, 11-15 hour, 16-20 day, 21-24 month, 25-31 year field.
// The packers store the year field as (year + 20) mod 100: years since 1980 for 1980-2079.
#pragma once

#include <cstdint>
#include <string>

namespace volari {

using PackedTime = uint32_t;

struct PackedFields {
  unsigned year_field;  // shown as field + 1980 (four digits) or (field + 80) % 100 (two)
  unsigned month;
  unsigned day;
  unsigned hour;
  unsigned minute;
  unsigned seconds;  // already doubled: always even
};

PackedTime pack_fields(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                       unsigned second);
PackedFields unpack_date_time(PackedTime p);

// "yy/mm/dd", "hh:mm:ss" (even seconds) and "YYYY/MM/DD hh:mm", as the history page, the
// traces and LAST_TIME show a packed time.
std::string short_date(PackedTime p);
std::string time_of_day(PackedTime p);
std::string long_date_time(PackedTime p);

}  // namespace volari
