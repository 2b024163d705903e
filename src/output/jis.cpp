#include "output/jis.h"

namespace volari {

const char kZelJisBanner[] = "ZEL_JIS 1.49";

uint16_t jis_to_sjis(uint16_t code) {
  const int hi = code >> 8;
  const int lo = code & 0xFF;
  // (hi - 1) >> 1 with an arithmetic shift, also for hi = 0.
  const int half = hi == 0 ? -1 : (hi - 1) / 2;
  const int first = half + (hi <= 0x5E ? 0x71 : 0xB1);
  int second = lo + 0x7E;
  if (hi % 2 == 1) {
    second = lo + 0x1F;
    if (second >= 0x7F) ++second;
  }
  return static_cast<uint16_t>(((first & 0xFF) << 8) | (second & 0xFF));
}

namespace {

enum class JisState { single, entered_by_b, entered_by_at };

void put_code(uint16_t sjis, unsigned char* out, size_t& o) {
  out[o++] = static_cast<unsigned char>(sjis >> 8);
  out[o++] = static_cast<unsigned char>(sjis & 0xFF);
}

}  // namespace

size_t to_shiftjis(const unsigned char* in, size_t length, unsigned char* out) {
  auto at = [&](size_t i) -> unsigned { return i < length ? in[i] : 0u; };
  JisState state = JisState::single;
  size_t i = 0;
  size_t o = 0;
  while (i < length) {
    const unsigned c = in[i];
    const unsigned c2 = at(i + 1);
    const unsigned c3 = at(i + 2);
    if (state != JisState::single) {
      const unsigned other_end = state == JisState::entered_by_b ? 0x42 : 0x48;
      if (c == 0x1B && c2 == 0x28 && (c3 == 0x4A || c3 == other_end)) {
        state = JisState::single;
        i += 3;
      } else {
        put_code(jis_to_sjis(static_cast<uint16_t>((c << 8) | c2)), out, o);
        i += 2;
      }
    } else if (c == 0x1B && c2 == 0x24 && c3 == 0x42) {
      state = JisState::entered_by_b;
      i += 3;
    } else if (c == 0x1B && c2 == 0x24 && c3 == 0x40) {
      state = JisState::entered_by_at;
      i += 3;
    } else if (c >= 0xA0 && c2 >= 0xA1) {
      put_code(jis_to_sjis(static_cast<uint16_t>(((c << 8) | c2) & 0x7F7F)), out, o);
      i += 2;
    } else if (c >= 0xE0 || (c >= 0x81 && c <= 0x9F)) {
      out[o++] = static_cast<unsigned char>(c);
      // The partner of a lead byte at the end is the terminator, written below.
      if (i + 1 < length) out[o++] = static_cast<unsigned char>(c2);
      i += 2;
    } else {
      out[o++] = static_cast<unsigned char>(c);
      ++i;
    }
  }
  out[o] = 0;
  return o;
}

}  // namespace volari
