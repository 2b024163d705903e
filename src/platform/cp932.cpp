#include "platform/cp932.h"

#include <vector>

#include "platform/cp932_tables.h"

namespace volari {

void Cp932Tables::fill(const Decode& decode, const Encode& encode) {
  for (unsigned c = 0; c < 0x80; ++c) single[c] = static_cast<char16_t>(c);
  std::vector<char16_t> shared;  // characters with more than one code
  auto read = [&](const unsigned char* b, size_t n) -> char16_t {
    const char16_t c = decode(b, n);
    if (c < 0x80 || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    const uint16_t sjis = static_cast<uint16_t>(n == 2 ? b[0] << 8 | b[1] : b[0]);
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
  for (const char16_t c : shared) {
    unsigned char b[4];
    if (encode(c, b) == 2 && sjis_char_length(b, 2) == 2 &&
        pair[lead_index(b[0])][b[1] - 0x40] == c)
      code[c] = static_cast<uint16_t>(b[0] << 8 | b[1]);
  }
}

char32_t cp932_to_unicode(const unsigned char* s, size_t length) {
  if (length == 1) return s[0] < 0x80 ? s[0] : cp932_tables().single[s[0]];
  if (length != 2 || sjis_char_length(s, 2) != 2) return 0;
  return cp932_tables().pair[Cp932Tables::lead_index(s[0])][s[1] - 0x40];
}

size_t unicode_to_cp932(char32_t c, unsigned char out[2]) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c > 0xFFFF) return 0;
  const uint16_t code = cp932_tables().code[c];
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
