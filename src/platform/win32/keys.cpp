#include <iterator>

#include "platform/win32/win32_platform.h"

namespace volari {

namespace {

constexpr int kPrefix = 224;
constexpr int kEscape = 27;

// Keys without a character and the codes a console gives after the prefix for them, as they are
// pressed alone, with Shift, with Ctrl and with Alt.
struct ExtendedKey {
  WORD vk;
  unsigned char plain, shift, ctrl, alt;
};
constexpr ExtendedKey kExtended[] = {
    {VK_F1, 59, 84, 94, 104},      {VK_F2, 60, 85, 95, 105},     {VK_F3, 61, 86, 96, 106},
    {VK_F4, 62, 87, 97, 107},      {VK_F5, 63, 88, 98, 108},     {VK_F6, 64, 89, 99, 109},
    {VK_F7, 65, 90, 100, 110},     {VK_F8, 66, 91, 101, 111},    {VK_F9, 67, 92, 102, 112},
    {VK_F10, 68, 93, 103, 113},    {VK_F11, 133, 135, 137, 139}, {VK_F12, 134, 136, 138, 140},
    {VK_HOME, 71, 71, 119, 151},   {VK_UP, 72, 72, 141, 152},    {VK_PRIOR, 73, 73, 132, 153},
    {VK_LEFT, 75, 75, 115, 155},   {VK_RIGHT, 77, 77, 116, 157}, {VK_END, 79, 79, 117, 159},
    {VK_DOWN, 80, 80, 145, 160},   {VK_NEXT, 81, 81, 118, 161},  {VK_INSERT, 82, 82, 146, 162},
    {VK_DELETE, 83, 83, 147, 163},
};

// The code after the prefix for a key-down event, 0 when the key is none of the table.
int extended_code(const KEY_EVENT_RECORD& k) {
  for (const ExtendedKey& e : kExtended) {
    if (e.vk != k.wVirtualKeyCode) continue;
    const DWORD state = k.dwControlKeyState;
    if (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) return e.alt;
    if (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) return e.ctrl;
    if (state & SHIFT_PRESSED) return e.shift;
    return e.plain;
  }
  return 0;
}

// The character of a key-down event, 0 for none. Escape is 27 also where a console gives it no
// character (Wine's does not).
int key_char(const KEY_EVENT_RECORD& k) {
  const unsigned char c = static_cast<unsigned char>(k.uChar.AsciiChar);
  if (c == 0 && k.wVirtualKeyCode == VK_ESCAPE) return kEscape;
  return c;
}

// A key press that gives codes: one with a character, or an extended key.
bool is_key(const INPUT_RECORD& r) {
  if (r.EventType != KEY_EVENT || !r.Event.KeyEvent.bKeyDown) return false;
  return key_char(r.Event.KeyEvent) != 0 || extended_code(r.Event.KeyEvent) != 0;
}

bool usable(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE;
}

}  // namespace

Win32Keys::Win32Keys() {
  // Redirected standard input: a run in a pipeline must never wait for the keyboard.
  DWORD mode = 0;
  HANDLE std_in = GetStdHandle(STD_INPUT_HANDLE);
  if (!usable(std_in) || !GetConsoleMode(std_in, &mode)) return;
  in_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (usable(in_) && !GetConsoleMode(in_, &mode)) {
    CloseHandle(in_);
    in_ = INVALID_HANDLE_VALUE;
  }
}

Win32Keys::~Win32Keys() {
  if (usable(in_)) CloseHandle(in_);
}

bool Win32Keys::key_waiting() {
  if (pending_ >= 0) return true;
  if (!usable(in_)) return false;
  // The wait makes the console take in what was typed: Wine's counts nothing before it.
  if (WaitForSingleObject(in_, 0) != WAIT_OBJECT_0) return false;
  DWORD count = 0;
  if (!GetNumberOfConsoleInputEvents(in_, &count) || count == 0) return false;
  INPUT_RECORD records[64];
  DWORD peeked = 0;
  const DWORD want = count < std::size(records) ? count : static_cast<DWORD>(std::size(records));
  if (!PeekConsoleInputA(in_, records, want, &peeked)) return false;
  DWORD first_key = 0;
  while (first_key < peeked && !is_key(records[first_key])) ++first_key;
  // Events before the first key (key releases, mouse, focus) would pile up between polls.
  if (first_key > 0) {
    DWORD dropped = 0;
    ReadConsoleInputA(in_, records, first_key, &dropped);
  }
  return first_key < peeked;
}

int Win32Keys::read_key() {
  if (pending_ >= 0) {
    const int code = pending_;
    pending_ = -1;
    return code;
  }
  if (!usable(in_)) {
    HANDLE std_in = GetStdHandle(STD_INPUT_HANDLE);
    unsigned char c = 0;
    DWORD got = 0;
    if (!usable(std_in) || !ReadFile(std_in, &c, 1, &got, nullptr) || got != 1) return -1;
    return c;
  }
  DWORD saved = 0;
  const bool have_mode = GetConsoleMode(in_, &saved) != 0;
  SetConsoleMode(in_, 0);  // no line input, no echo, no processing while the key is read
  int code = -1;
  for (;;) {
    INPUT_RECORD r;
    DWORD got = 0;
    if (!ReadConsoleInputA(in_, &r, 1, &got)) break;
    if (got == 0 || !is_key(r)) continue;
    const int c = key_char(r.Event.KeyEvent);
    if (c != 0) {
      code = c;
    } else {
      pending_ = extended_code(r.Event.KeyEvent);
      code = kPrefix;
    }
    break;
  }
  if (have_mode) SetConsoleMode(in_, saved);
  return code;
}

}  // namespace volari
