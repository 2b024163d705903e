#include "platform/cp932.h"

#include <iconv.h>

#include <cstdint>
#include <vector>

namespace volari {

namespace {

constexpr size_t kLeads = 60;    // 0x81-0x9F, 0xE0-0xFC
constexpr size_t kTrails = 189;  // 0x40-0xFC (0x7F stays unassigned)

size_t lead_index(unsigned char c) {
  return c <= 0x9F ? c - 0x81u : c - 0xE0u + 31;
}

// One character through an iconv descriptor; the UTF-32LE side as a scalar. False unless the
// whole input made exactly one character.
bool convert(iconv_t cd, const unsigned char* in, size_t n, unsigned char* out, size_t size,
             size_t* produced) {
  ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* i = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
  char* o = reinterpret_cast<char*>(out);
  size_t in_left = n;
  size_t out_left = size;
  if (::iconv(cd, &i, &in_left, &o, &out_left) == static_cast<size_t>(-1) || in_left != 0)
    return false;
  *produced = size - out_left;
  return true;
}

// glibc's CP932, read once: both directions as flat arrays, so a lookup is one index.
struct Tables {
  char16_t single[256] = {};
  char16_t pair[kLeads][kTrails] = {};
  uint16_t code[0x10000] = {};  // Unicode (BMP) to Shift-JIS, the lead byte high; 0 for none

  Tables() {
    for (unsigned c = 0; c < 0x80; ++c) single[c] = static_cast<char16_t>(c);
    iconv_t dec = ::iconv_open("UTF-32LE", "CP932");
    if (dec == reinterpret_cast<iconv_t>(-1)) return;  // no table: every non-ASCII byte is bad
    std::vector<char16_t> shared;                      // characters with more than one code
    auto read = [&](const unsigned char* b, size_t n) -> char16_t {
      unsigned char u[8];
      size_t got = 0;
      if (!convert(dec, b, n, u, sizeof u, &got) || got != 4 || u[2] != 0 || u[3] != 0) return 0;
      const char16_t c = static_cast<char16_t>(u[0] | u[1] << 8);
      const uint16_t sjis = static_cast<uint16_t>(n == 2 ? b[0] << 8 | b[1] : b[0]);
      if (c < 0x80) return 0;  // a non-ASCII code read as ASCII could forge a separator
      if (code[c] == 0) {
        code[c] = sjis;
      } else {
        shared.push_back(c);
      }
      return c;
    };
    for (unsigned c = 0xA1; c <= 0xDF; ++c) {
      const unsigned char b = static_cast<unsigned char>(c);
      single[c] = read(&b, 1);
    }
    for (size_t l = 0; l < kLeads; ++l) {
      for (size_t t = 0; t < kTrails; ++t) {
        const unsigned char b[2] = {static_cast<unsigned char>(l < 31 ? 0x81 + l : 0xE0 + l - 31),
                                    static_cast<unsigned char>(0x40 + t)};
        if (b[1] != 0x7F) pair[l][t] = read(b, 2);
      }
    }
    ::iconv_close(dec);
    // Of two codes for one character, the one the encoder writes, if it is one of them.
    iconv_t enc = ::iconv_open("CP932", "UTF-32LE");
    if (enc == reinterpret_cast<iconv_t>(-1)) return;
    for (const char16_t c : shared) {
      const unsigned char u[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                                  0, 0};
      unsigned char b[4];
      size_t got = 0;
      if (convert(enc, u, 4, b, sizeof b, &got) && got == 2 && sjis_char_length(b, 2) == 2 &&
          pair[lead_index(b[0])][b[1] - 0x40] == c)
        code[c] = static_cast<uint16_t>(b[0] << 8 | b[1]);
    }
    ::iconv_close(enc);
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

char32_t cp932_to_unicode(const unsigned char* s, size_t length) {
  if (length == 1) return s[0] < 0x80 ? s[0] : tables().single[s[0]];
  if (length != 2 || sjis_char_length(s, 2) != 2) return 0;
  return tables().pair[lead_index(s[0])][s[1] - 0x40];
}

size_t unicode_to_cp932(char32_t c, unsigned char out[2]) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c > 0xFFFF) return 0;
  const uint16_t code = tables().code[c];
  if (code == 0) return 0;
  if (code < 0x100) {
    out[0] = static_cast<unsigned char>(code);
    return 1;
  }
  out[0] = static_cast<unsigned char>(code >> 8);
  out[1] = static_cast<unsigned char>(code);
  return 2;
}

}  // namespace volari
