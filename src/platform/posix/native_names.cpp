#include "platform/posix/native_names.h"

#include "platform/cp932.h"
#include "platform/platform.h"

namespace volari {

namespace {

constexpr unsigned char kEscapeLow = 0xFD;   // native bytes 0x80-0xBF, and '\'
constexpr unsigned char kEscapeHigh = 0xFF;  // native bytes 0xC0-0xFF
constexpr unsigned char kEscapedBackslash = 0x80;

const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

void put_escape(unsigned char x, std::string& out) {
  if (x == '\\') {
    out.push_back(static_cast<char>(kEscapeLow));
    out.push_back(static_cast<char>(kEscapedBackslash));
    return;
  }
  out.push_back(static_cast<char>(x < 0xC0 ? kEscapeLow : kEscapeHigh));
  out.push_back(static_cast<char>(0xA0 + (x & 0x3F)));
}

// The native byte of the escape at `s` (n bytes available), or -1 when there is none.
int escaped_byte(const unsigned char* s, size_t n) {
  if (n < 2 || (s[0] != kEscapeLow && s[0] != kEscapeHigh)) return -1;
  if (s[0] == kEscapeLow && s[1] == kEscapedBackslash) return '\\';
  if (s[1] < 0xA0 || s[1] > 0xDF) return -1;
  return (s[0] == kEscapeLow ? 0x80 : 0xC0) + (s[1] - 0xA0);
}

void put_percent(unsigned char c, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.push_back('%');
  out.push_back(kHex[c >> 4]);
  out.push_back(kHex[c & 15]);
}

// End of the run of ASCII bytes from `i` up to the first `a` or `b`, copied as they are.
size_t plain_run(const unsigned char* s, size_t i, size_t n, unsigned char a, unsigned char b) {
  while (i < n && s[i] < 0x80 && s[i] != a && s[i] != b) ++i;
  return i;
}

// UTF-8 (or, byte by byte, anything else) to program form. A native '\' is part of a name and
// escaped; in a typed value it is a separator, as on Windows.
std::string utf8_to_program(std::string_view in, bool backslash_separates) {
  std::string out;
  out.reserve(in.size());
  const unsigned char* s = bytes(in);
  for (size_t i = 0; i < in.size();) {
    const unsigned char c = s[i];
    if (c == '/' || (c == '\\' && backslash_separates)) {
      out.push_back('\\');
      ++i;
      continue;
    }
    if (c == '\\') {
      put_escape(s[i++], out);
      continue;
    }
    if (c < 0x80) {
      const size_t j = plain_run(s, i, in.size(), '/', '\\');
      out.append(in.data() + i, j - i);
      i = j;
      continue;
    }
    const size_t n = utf8_char_length(s + i, in.size() - i);
    unsigned char sjis[2];
    const size_t m = n == 0 ? 0 : unicode_to_cp932(utf8_decode(s + i, n), sjis);
    if (m > 0) {
      out.append(reinterpret_cast<const char*>(sjis), m);
      i += n;
    } else {
      put_escape(s[i++], out);  // the rest of the character is escaped in turn
    }
  }
  return out;
}

// Program form with `from` turned into `to` wherever it is a character of its own.
std::string replace_separator(std::string_view in, char from, char to) {
  std::string out(in);
  const unsigned char* s = bytes(in);
  for (size_t i = 0; i < in.size();) {
    if (s[i] >= 0x80) {
      i += sjis_char_length(s + i, in.size() - i);
    } else {
      if (s[i] == static_cast<unsigned char>(from)) out[i] = to;
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string native_path(std::string_view program) {
  std::string out;
  out.reserve(program.size() + program.size() / 2);
  const unsigned char* s = bytes(program);
  for (size_t i = 0; i < program.size();) {
    if (s[i] == '\\') {
      out.push_back('/');
      ++i;
      continue;
    }
    if (s[i] < 0x80) {
      const size_t j = plain_run(s, i, program.size(), '\\', '\\');
      out.append(program.data() + i, j - i);
      i = j;
      continue;
    }
    const int x = escaped_byte(s + i, program.size() - i);
    if (x >= 0) {
      out.push_back(static_cast<char>(x));
      i += 2;
      continue;
    }
    const size_t n = sjis_char_length(s + i, program.size() - i);
    const char32_t u = cp932_to_unicode(s + i, n);
    if (u != 0) {
      append_utf8(u, out);
    } else {
      for (size_t k = 0; k < n; ++k) put_percent(s[i + k], out);
    }
    i += n;
  }
  return out;
}

std::string path_from_native(std::string_view native) {
  return utf8_to_program(native, false);
}

std::string path_from_user(std::string_view typed) {
  if (typed_text_is_utf8(typed)) return utf8_to_program(typed, true);
  return replace_separator(typed, '/', '\\');
}

std::string path_for_display(std::string_view program) {
  return replace_separator(program, '\\', '/');
}

bool drive_letters() {
  return false;
}

}  // namespace volari
