#include "run/clock_step.h"

namespace volari {

DateTime advance_clock(DateTime t, uint32_t elapsed_ms) {
  uint32_t v = elapsed_ms + t.millisecond;
  t.millisecond = static_cast<uint16_t>(v % 1000);
  uint32_t c = v / 1000;
  v = c + t.second;
  t.second = static_cast<uint16_t>(v % 60);
  c = v / 60;
  v = c + t.minute;
  t.minute = static_cast<uint16_t>(v % 60);
  c = v / 60;
  v = c + t.hour;
  t.hour = static_cast<uint16_t>(v % 24);
  c = v / 24;
  t.day = static_cast<uint16_t>(t.day + c);
  return t;
}

}  // namespace volari
