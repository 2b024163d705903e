// Code page 932 read once into flat arrays, so that a lookup is one index. Both platforms fill it
// the same way from the system's own mapping (iconv on POSIX, MultiByteToWideChar on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace volari {

struct Cp932Tables {
  static constexpr size_t kLeads = 60;    // 0x81-0x9F, 0xE0-0xFC
  static constexpr size_t kTrails = 189;  // 0x40-0xFC (0x7F stays unassigned)
  static size_t lead_index(unsigned char c) { return c <= 0x9F ? c - 0x81u : c - 0xE0u + 31; }

  char16_t single[256] = {};
  char16_t pair[kLeads][kTrails] = {};
  uint16_t code[0x10000] = {};  // Unicode (BMP) to Shift-JIS, the lead byte high; 0 for none

  // The character one code (one or two bytes) reads as, 0 for none; and the code one character
  // is written as (bytes into the buffer of 4, their count), 0 for none.
  using Decode = std::function<char16_t(const unsigned char* bytes, size_t n)>;
  using Encode = std::function<size_t(char16_t c, unsigned char* bytes)>;
  // Every code that reads as one character beyond ASCII (never as ASCII: that could forge a
  // separator; never as a surrogate); of two codes for one character, the one `encode` writes.
  void fill(const Decode& decode, const Encode& encode);
};

// The tables of this platform (posix/ or win32/cp932.cpp), filled on first use.
const Cp932Tables& cp932_tables();

}  // namespace volari
