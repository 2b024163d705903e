#include "platform/cp932.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace volari {

namespace {

constexpr UINT kShiftJis = 932;
constexpr size_t kLeads = 60;    // 0x81-0x9F, 0xE0-0xFC
constexpr size_t kTrails = 189;  // 0x40-0xFC (0x7F stays unassigned)

size_t lead_index(unsigned char c) {
  return c <= 0x9F ? c - 0x81u : c - 0xE0u + 31;
}

// Windows' code page 932, read once: both directions as flat arrays, so a lookup is one index.
struct Tables {
  char16_t single[256] = {};
  char16_t pair[kLeads][kTrails] = {};
  uint16_t code[0x10000] = {};  // Unicode (BMP) to Shift-JIS, the lead byte high; 0 for none

  Tables() {
    for (unsigned c = 0; c < 0x80; ++c) single[c] = static_cast<char16_t>(c);
    std::vector<char16_t> shared;  // characters with more than one code
    auto read = [&](const unsigned char* b, int n) -> char16_t {
      // Without MB_ERR_INVALID_CHARS an unassigned code would read as the default character.
      wchar_t w[2];
      if (MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(b), n,
                              w, 2) != 1)
        return 0;
      const char16_t c = static_cast<char16_t>(w[0]);
      const uint16_t sjis = static_cast<uint16_t>(n == 2 ? b[0] << 8 | b[1] : b[0]);
      // A non-ASCII code read as ASCII could forge a separator; a surrogate is no scalar.
      if (c < 0x80 || (c >= 0xD800 && c <= 0xDFFF)) return 0;
      if (code[c] == 0) {
        code[c] = sjis;
      } else {
        shared.push_back(c);
      }
      return c;
    };
    // 0x80, 0xA0 and 0xFD-0xFF read as private characters on Windows, but are no Shift-JIS.
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
    // Of two codes for one character, the one Windows writes.
    for (const char16_t c : shared) {
      const wchar_t w = static_cast<wchar_t>(c);
      unsigned char b[4];
      BOOL defaulted = FALSE;
      const int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, &w, 1,
                                        reinterpret_cast<char*>(b), sizeof b, nullptr, &defaulted);
      if (n == 2 && !defaulted && sjis_char_length(b, 2) == 2 &&
          pair[lead_index(b[0])][b[1] - 0x40] == c)
        code[c] = static_cast<uint16_t>(b[0] << 8 | b[1]);
    }
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
