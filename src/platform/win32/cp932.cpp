#include <windows.h>

#include <memory>

#include "platform/cp932_tables.h"

namespace volari {

namespace {

constexpr UINT kShiftJis = 932;

// Windows' code page 932. 0x80, 0xA0 and 0xFD-0xFF read as private characters there, but are no
// Shift-JIS (they are never asked for).
std::unique_ptr<Cp932Tables> read_tables() {
  auto t = std::make_unique<Cp932Tables>();
  t->fill(
      [](const unsigned char* b, size_t n) -> char16_t {
        // Without MB_ERR_INVALID_CHARS an unassigned code would read as the default character.
        wchar_t w[2];
        if (MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(b),
                                static_cast<int>(n), w, 2) != 1)
          return 0;
        return static_cast<char16_t>(w[0]);
      },
      [](char16_t c, unsigned char* b) -> size_t {
        const wchar_t w = static_cast<wchar_t>(c);
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, &w, 1,
                                          reinterpret_cast<char*>(b), 4, nullptr, &defaulted);
        return n > 0 && !defaulted ? static_cast<size_t>(n) : 0;
      });
  return t;
}

}  // namespace

const Cp932Tables& cp932_tables() {
  static const std::unique_ptr<Cp932Tables> tables = read_tables();
  return *tables;
}

}  // namespace volari
