#include "output/page_convert.h"

#include <algorithm>
#include <cstring>

#include "output/jis.h"

namespace volari {

namespace {

enum JisSet : uint8_t { kAscii, kRoman, kKana, kX0208, kX0212 };

// Values of PageConversion::half besides a pending JIS first byte (0x21-0x7E).
constexpr int16_t kNoHalf = -1;
constexpr int16_t kGetaHalf = 0x100;  // 0xAC ends the geta mark
constexpr int16_t kSkipHalf = 0x101;  // the last byte of a JIS X 0212 character, already written

constexpr unsigned kEsc = 0x1B, kSo = 0x0E, kSi = 0x0F;

bool euc_byte(unsigned c) {
  return c >= 0xA1 && c <= 0xFE;
}
bool jis_byte(unsigned c) {
  return c >= 0x21 && c <= 0x7E;
}

void put(unsigned c, unsigned char* out, size_t& o) {
  out[o++] = static_cast<unsigned char>(c);
}

// Shift-JIS of every JIS X 0208 code, at (hi - 0x21) * 94 + lo - 0x21.
const uint16_t* sjis_table() {
  static const struct Table {
    uint16_t code[94 * 94];
    Table() {
      for (unsigned hi = 0; hi < 94; ++hi) {
        for (unsigned lo = 0; lo < 94; ++lo) {
          code[hi * 94 + lo] = jis_to_sjis(static_cast<uint16_t>((hi + 0x21) << 8 | (lo + 0x21)));
        }
      }
    }
  } table;
  return table.code;
}

void put_jis(unsigned hi, unsigned lo, unsigned char* out, size_t& o) {
  const uint16_t sjis = sjis_table()[(hi - 0x21) * 94 + lo - 0x21];
  put(sjis >> 8, out, o);
  put(sjis & 0xFF, out, o);
}

void put_geta(unsigned char* out, size_t& o) {
  put(0x81, out, o);
  put(0xAC, out, o);
}

// Each step converts the character at p[0..avail-1] and returns the bytes it took, or 0 when the
// end of the bytes cuts it.

size_t euc_step(const unsigned char* p, size_t avail, unsigned char* out, size_t& o) {
  const unsigned c = p[0];
  if (c == 0x8E || c == 0x8F || euc_byte(c)) {
    if (avail < 2) return 0;
    if (c == 0x8E && p[1] >= 0xA1 && p[1] <= 0xDF) {
      put(p[1], out, o);
      return 2;
    }
    if (c == 0x8F && euc_byte(p[1])) {
      if (avail < 3) return 0;
      if (euc_byte(p[2])) {
        put_geta(out, o);
        return 3;
      }
    }
    if (euc_byte(c) && euc_byte(p[1])) {
      put_jis(c & 0x7F, p[1] & 0x7F, out, o);
      return 2;
    }
  }
  put(c, out, o);
  return 1;
}

// An escape sequence at p: its length once applied, 0 when cut, 1 when it is none.
size_t jis_escape(PageConversion& s, const unsigned char* p, size_t avail) {
  static const struct {
    const char* tail;
    int set;  // -1 leaves the set as it is
  } escapes[] = {
      {"(B", kAscii},  {"(J", kRoman},  {"(H", kRoman},  {"(I", kKana},
      {"$@", kX0208},  {"$B", kX0208},  {"$(O", kX0208}, {"$(Q", kX0208},
      {"$(D", kX0212}, {"$(P", kX0212}, {"&@", -1},
  };
  bool cut = false;
  for (const auto& e : escapes) {
    const size_t n = std::strlen(e.tail);
    const size_t have = std::min(n, avail - 1);
    if (std::memcmp(p + 1, e.tail, have) != 0) continue;
    if (have < n) {
      cut = true;
      continue;
    }
    if (e.set >= 0) s.jis_set = static_cast<uint8_t>(e.set);
    return n + 1;
  }
  return cut ? 0 : 1;
}

size_t jis_step(PageConversion& s, const unsigned char* p, size_t avail, unsigned char* out,
                size_t& o) {
  const unsigned c = p[0];
  if (c == kEsc) {
    const size_t n = jis_escape(s, p, avail);
    if (n != 1) return n;
  } else if (c == kSo || c == kSi) {
    s.shifted_out = c == kSo;
    return 1;
  } else if (jis_byte(c) && (s.shifted_out || s.jis_set == kKana)) {
    put(c <= 0x5F ? c + 0x80 : c, out, o);
    return 1;
  } else if (jis_byte(c) && (s.jis_set == kX0208 || s.jis_set == kX0212)) {
    if (avail < 2) return 0;
    if (jis_byte(p[1])) {
      if (s.jis_set == kX0208) {
        put_jis(c, p[1], out, o);
      } else {
        put_geta(out, o);
      }
      return 2;
    }
  }
  put(c, out, o);
  return 1;
}

size_t step(PageConversion& s, const unsigned char* p, size_t avail, unsigned char* out,
            size_t& o) {
  return s.charset == Charset::jis ? jis_step(s, p, avail, out, o) : euc_step(p, avail, out, o);
}

// The line ends inside the character at p[0..rest-1]. Only the output that these bytes pay for
// is written now, the rest when the next line completes the character: that line may hold a
// single byte, and its output must fit in its own length.
void cut(PageConversion& s, const unsigned char* p, size_t rest, unsigned char* out, size_t& o) {
  const unsigned c = p[0];
  const bool euc = s.charset == Charset::euc_jp;
  if (euc && c == 0x8F && rest == 2) {
    put_geta(out, o);
    s.half = kSkipHalf;
  } else if (euc && euc_byte(c)) {
    put(jis_to_sjis(static_cast<uint16_t>((c & 0x7F) << 8 | 0x21)) >> 8, out, o);
    s.half = static_cast<int16_t>(c & 0x7F);
  } else if (!euc && c != kEsc && s.jis_set == kX0212) {
    put(0x81, out, o);
    s.half = kGetaHalf;
  } else if (!euc && c != kEsc) {
    put(jis_to_sjis(static_cast<uint16_t>(c << 8 | 0x21)) >> 8, out, o);
    s.half = static_cast<int16_t>(c);
  } else {
    std::memcpy(s.held, p, rest);
    s.held_length = static_cast<uint8_t>(rest);
  }
}

// Completes a character that the last line cut; returns the bytes of the line it took.
size_t complete(PageConversion& s, const unsigned char* line, size_t length, unsigned char* out,
                size_t& o) {
  if (s.half != kNoHalf) {
    const int16_t half = s.half;
    s.half = kNoHalf;
    const unsigned t = line[0];
    if (s.charset == Charset::euc_jp ? !euc_byte(t) : !jis_byte(t)) return 0;
    if (half == kGetaHalf) put(0xAC, out, o);
    if (half < kGetaHalf) put(jis_to_sjis(static_cast<uint16_t>(half << 8 | (t & 0x7F))), out, o);
    return 1;
  }
  if (s.held_length == 0) return 0;
  unsigned char joined[8];
  const size_t held = s.held_length;
  const size_t taken = std::min(length, sizeof joined - held);
  std::memcpy(joined, s.held, held);
  std::memcpy(joined + held, line, taken);
  s.held_length = 0;
  const size_t before = o;
  const size_t n = step(s, joined, held + taken, out, o);
  if (n > held) return n - held;
  // Held bytes alone are never written: this line's output has no room for them.
  o = before;
  return 0;
}

}  // namespace

size_t convert_page_line(PageConversion& s, const unsigned char* line, size_t length,
                         unsigned char* out) {
  if (s.charset == Charset::unknown) return to_shiftjis(line, length, out);
  if (s.charset != Charset::euc_jp && s.charset != Charset::jis) {
    if (length) std::memcpy(out, line, length);
    out[length] = 0;
    return length;
  }
  size_t o = 0;
  size_t i = length ? complete(s, line, length, out, o) : 0;
  const bool euc = s.charset == Charset::euc_jp;
  const uint16_t* table = sjis_table();
  while (i < length) {
    // Runs of ASCII and of double-byte characters in bulk; the rest by step.
    if (euc) {
      for (uint64_t w; i + 8 <= length; i += 8, o += 8) {
        std::memcpy(&w, line + i, 8);
        if (w & 0x8080808080808080ULL) break;
        std::memcpy(out + o, &w, 8);
      }
      while (i < length && line[i] < 0x80) out[o++] = line[i++];
      for (; i + 1 < length && euc_byte(line[i]) && euc_byte(line[i + 1]); i += 2) {
        const uint16_t code = table[(line[i] - 0xA1) * 94 + line[i + 1] - 0xA1];
        out[o++] = static_cast<unsigned char>(code >> 8);
        out[o++] = static_cast<unsigned char>(code);
      }
    } else if (!s.shifted_out && s.jis_set <= kRoman) {
      while (i < length && line[i] < 0x80 && line[i] != kEsc && line[i] != kSo && line[i] != kSi) {
        out[o++] = line[i++];
      }
    } else if (!s.shifted_out && s.jis_set == kX0208) {
      for (; i + 1 < length && jis_byte(line[i]) && jis_byte(line[i + 1]); i += 2) {
        const uint16_t code = table[(line[i] - 0x21) * 94 + line[i + 1] - 0x21];
        out[o++] = static_cast<unsigned char>(code >> 8);
        out[o++] = static_cast<unsigned char>(code);
      }
    }
    if (i == length) break;
    const size_t n = step(s, line + i, length - i, out, o);
    if (n == 0) {
      cut(s, line + i, length - i, out, o);
      break;
    }
    i += n;
  }
  out[o] = 0;
  return o;
}

}  // namespace volari
