#include "support/packed_time.h"

#include <cstdio>

namespace volari {

PackedTime pack_fields(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                       unsigned second) {
  const uint32_t date = (((year + 20u) % 100u) << 9) | ((month & 0x0Fu) << 5) | (day & 0x1Fu);
  const uint32_t time = ((hour & 0x1Fu) << 11) | ((minute & 0x3Fu) << 5) | ((second / 2u) & 0x1Fu);
  return (date << 16) | time;
}

PackedFields unpack_date_time(PackedTime p) {
  return {p >> 25,           (p >> 21) & 0x0Fu, (p >> 16) & 0x1Fu,
          (p >> 11) & 0x1Fu, (p >> 5) & 0x3Fu,  (p & 0x1Fu) * 2u};
}

std::string short_date(PackedTime p) {
  const PackedFields f = unpack_date_time(p);
  char text[16];
  std::snprintf(text, sizeof text, "%02u/%02u/%02u", (f.year_field + 80) % 100, f.month, f.day);
  return text;
}

std::string time_of_day(PackedTime p) {
  const PackedFields f = unpack_date_time(p);
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", f.hour, f.minute, f.seconds);
  return text;
}

std::string long_date_time(PackedTime p) {
  const PackedFields f = unpack_date_time(p);
  char text[24];
  std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u", f.year_field + 1980, f.month, f.day,
                f.hour, f.minute);
  return text;
}

}  // namespace volari
