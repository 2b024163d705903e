#include "platform/win32/win32_platform.h"
#include "support/sjis.h"

namespace volari {

namespace {

constexpr UINT kShiftJis = 932;
constexpr size_t kPiece = 1000;  // bytes converted at a time; each gives at most one UTF-16 unit

bool usable(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE;
}

void write_all(HANDLE h, const char* bytes, size_t n) {
  while (n > 0) {
    DWORD put = 0;
    if (!WriteFile(h, bytes, static_cast<DWORD>(n), &put, nullptr) || put == 0) return;
    bytes += put;
    n -= put;
  }
}

}  // namespace

Win32Console::Win32Console() {
  out_ = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  console_ = usable(out_) && GetConsoleMode(out_, &mode) != 0;
}

Win32Console::~Win32Console() {
  flush();
}

void Win32Console::write(const char* bytes, size_t n) {
  if (!usable(out_)) return;
  if (console_) {
    write_console(bytes, n);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\n') put('\r');
    put(bytes[i]);
  }
}

void Win32Console::flush() {
  if (buffered_ > 0 && usable(out_)) write_all(out_, buffer_, buffered_);
  buffered_ = 0;
}

void Win32Console::put(char c) {
  if (buffered_ == sizeof buffer_) flush();
  buffer_[buffered_++] = c;
}

void Win32Console::write_console(const char* bytes, size_t n) {
  wchar_t wide[kPiece + 8];
  size_t i = 0;
  while (i < n) {
    // Pieces end between characters, so that no character is cut in two.
    size_t end = i;
    while (end < n && end - i < kPiece) {
      end += is_sjis_lead(static_cast<unsigned char>(bytes[end])) && end + 1 < n ? 2 : 1;
    }
    const int w = MultiByteToWideChar(kShiftJis, 0, bytes + i, static_cast<int>(end - i), wide,
                                      static_cast<int>(sizeof wide / sizeof wide[0]));
    if (w <= 0) {
      write_all(out_, bytes + i, end - i);  // no code page 932 here: the bytes as they are
    } else {
      const wchar_t* p = wide;
      DWORD left = static_cast<DWORD>(w);
      while (left > 0) {
        DWORD put = 0;
        if (!WriteConsoleW(out_, p, left, &put, nullptr) || put == 0) break;
        p += put;
        left -= put;
      }
    }
    i = end;
  }
}

}  // namespace volari
