#include "support/packed_time.h"

namespace volari {

PackedTime pack_date_time(const DateTime& t) {
  const uint32_t year = (t.year + 20u) % 100u;
  const uint32_t date = (year << 9) | ((t.month & 0x0Fu) << 5) | (t.day & 0x1Fu);
  const uint32_t time =
      ((t.hour & 0x1Fu) << 11) | ((t.minute & 0x3Fu) << 5) | ((t.second / 2u) & 0x1Fu);
  return (date << 16) | time;
}

PackedFields unpack_date_time(PackedTime p) {
  PackedFields f;
  f.year_field = p >> 25;
  f.month = (p >> 21) & 0x0Fu;
  f.day = (p >> 16) & 0x1Fu;
  f.hour = (p >> 11) & 0x1Fu;
  f.minute = (p >> 5) & 0x3Fu;
  f.seconds = (p & 0x1Fu) * 2u;
  return f;
}

}  // namespace volari
