#include "output/jis.h"

#include <cstring>

namespace volari {

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

// Shift_JIS of every EUC-JP pair: first byte 0xA0-0xFF, second 0xA1-0xFF (0xA0 left unused).
const uint16_t* euc_table() {
  static const struct Table {
    uint16_t code[96 * 96];
    Table() {
      for (unsigned a = 0; a < 96; ++a) {
        for (unsigned b = 0; b < 96; ++b) {
          code[a * 96 + b] =
              jis_to_sjis(static_cast<uint16_t>((((0xA0 + a) << 8) | (0xA0 + b)) & 0x7F7F));
        }
      }
    }
  } table;
  return table.code;
}

// True when none of the 8 bytes at p is ESC or above 0x7F. A false "has ESC" can only follow a
// real one, so it never hides one.
bool plain_ascii(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  const uint64_t esc = w ^ 0x1B1B1B1B1B1B1B1BULL;
  const uint64_t has_esc = (esc - 0x0101010101010101ULL) & ~esc;
  return ((w | has_esc) & 0x8080808080808080ULL) == 0;
}

}  // namespace

size_t to_shiftjis(const unsigned char* in, size_t length, unsigned char* out) {
  auto at = [&](size_t i) -> unsigned { return i < length ? in[i] : 0u; };
  JisState state = JisState::single;
  size_t i = 0;
  size_t o = 0;
  const uint16_t* euc = euc_table();
  while (i < length) {
    if (state == JisState::single) {
      // Outside a JIS run most bytes are ASCII or EUC-JP pairs: take them in bulk.
      while (i + 8 <= length && plain_ascii(in + i)) {
        std::memcpy(out + o, in + i, 8);
        i += 8;
        o += 8;
      }
      while (i < length && in[i] < 0x80 && in[i] != 0x1B) out[o++] = in[i++];
      while (i + 1 < length && in[i] >= 0xA0 && in[i + 1] >= 0xA1) {
        put_code(euc[(in[i] - 0xA0) * 96 + (in[i + 1] - 0xA0)], out, o);
        i += 2;
      }
      if (i >= length) break;
    }
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
      put_code(euc[(c - 0xA0) * 96 + (c2 - 0xA0)], out, o);
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
