// Shift-JIS and Unicode, with the mapping that Windows uses (code page 932, CP932): the
// operating system's own table (iconv's CP932 on POSIX, MultiByteToWideChar on Windows), read
// once into memory on first use. Pure functions otherwise; safe to call from any layer above.
// The helpers that need no table are defined here, so that both platforms share them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/sjis.h"

namespace volari {

// Length of the Shift-JIS character at `s` (n bytes available): 2 for a lead byte (0x81-0x9F,
// 0xE0-0xFC) followed by a trail byte (0x40-0x7E, 0x80-0xFC), else 1; 0 when n is 0.
inline size_t sjis_char_length(const unsigned char* s, size_t n) {
  if (n == 0) return 0;
  return is_sjis_lead(s[0]) && n >= 2 && s[1] >= 0x40 && s[1] <= 0xFC && s[1] != 0x7F ? 2 : 1;
}

// The Unicode scalar of one Shift-JIS character (one or two bytes as sjis_char_length gives),
// or 0 when code page 932 has none (a lone lead byte, 0x80, 0xA0, 0xFD-0xFF, an unassigned
// pair). ASCII maps to itself.
char32_t cp932_to_unicode(const unsigned char* s, size_t length);

// The Shift-JIS bytes of a Unicode scalar (one or two bytes into `out`); 0 when code page 932
// cannot write it. Where Windows maps two codes to one character, the code it writes is given.
// Only codes that read back as `c` are given: never 0x5C for U+00A5, as iconv would write, since
// a yen sign in a name must not become a separator.
size_t unicode_to_cp932(char32_t c, unsigned char out[2]);

// Appends the UTF-8 form of `c` (a Unicode scalar) to `out`.
inline void append_utf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return;
  }
  const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out.push_back(static_cast<char>(kLead[tail] | (c >> (6 * tail))));
  for (int k = tail - 1; k >= 0; --k)
    out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

// UTF-8 of `sjis`; every byte that is no Shift-JIS character is given to `bad` (which appends
// what stands for it, for example "%85" or U+FFFD), or dropped when `bad` is null. Both bytes of
// an unassigned pair are bad.
inline std::string sjis_to_utf8(std::string_view sjis,
                                void (*bad)(unsigned char, std::string&) = nullptr) {
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(sjis.data());
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = sjis_char_length(s + i, sjis.size() - i);
    const char32_t c = s[i] < 0x80 ? s[i] : cp932_to_unicode(s + i, n);
    if (c != 0 || s[i] == 0) {
      append_utf8(c, out);
    } else if (bad != nullptr) {
      for (size_t k = 0; k < n; ++k) bad(s[i + k], out);
    }
    i += n;
  }
  return out;
}

// Length of the well-formed UTF-8 sequence at `s` (n bytes available), 0 when there is none
// there (an ASCII byte counts as a sequence of 1). Overlong forms, surrogates and anything
// beyond U+10FFFF are none.
inline size_t utf8_char_length(const unsigned char* s, size_t n) {
  if (n == 0) return 0;
  const unsigned char c = s[0];
  if (c < 0x80) return 1;
  // Length, and the range of the second byte that keeps the form shortest and in range.
  size_t len = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  }
  if (len == 0 || n < len || s[1] < lo || s[1] > hi) return 0;
  for (size_t k = 2; k < len; ++k) {
    if (s[k] < 0x80 || s[k] > 0xBF) return 0;
  }
  return len;
}

// The scalar of a well-formed UTF-8 sequence of `length` bytes (as utf8_char_length gives).
inline char32_t utf8_decode(const unsigned char* s, size_t length) {
  static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t c = s[0] & kLeadBits[length < 5 ? length : 0];
  for (size_t k = 1; k < length; ++k) c = (c << 6) | (s[k] & 0x3F);
  return c;
}

// Whether a value the user typed is UTF-8 rather than Shift-JIS: it is well-formed UTF-8 with
// a non-ASCII character. Shift-JIS text is seldom well-formed UTF-8, since its common characters
// (symbols, kana, the first level of kanji) start with 0x81-0x9F, which starts no UTF-8
// character; measured on random names, about 0.1% of kanji and kana ones and 5% of half-width
// katakana ones are taken for UTF-8, and no UTF-8 name for Shift-JIS. No further test of
// plausible Shift-JIS helps: UTF-8 read as Shift-JIS is very often valid Shift-JIS, and tests
// that spare more half-width katakana names misread Greek or Cyrillic UTF-8 ones.
inline bool typed_text_is_utf8(std::string_view text) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  bool non_ascii = false;
  for (size_t i = 0; i < text.size();) {
    const size_t n = utf8_char_length(s + i, text.size() - i);
    if (n == 0) return false;
    non_ascii = non_ascii || n > 1;
    i += n;
  }
  return non_ascii;
}

}  // namespace volari
