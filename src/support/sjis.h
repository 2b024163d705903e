// Shift-JIS-aware string helpers. Header-only parts (byte classes, ASCII case) are also used by
// the platform layer: they depend on nothing.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace volari {

// True for a byte that starts a Shift-JIS double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool is_sjis_lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Plain ASCII case, whatever the locale.
inline char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters compared without regard to case, every other byte exactly.
bool same_ignoring_ascii_case(std::string_view a, std::string_view b);

// Upper-cases ASCII letters in place. A byte of 0x80 or more is taken as the first byte of a
// double-byte character: it and the byte after it stay as they are (the high bit alone decides,
// so a half-width katakana byte also protects the byte after it).
void sjis_upper(std::string& text);

// Position of the last '\' that separates names (never the second byte of a double-byte
// character), or npos.
inline size_t last_separator(std::string_view path) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '\\') {
      last = i;
    } else if (is_sjis_lead(static_cast<unsigned char>(path[i]))) {
      ++i;
    }
  }
  return last;
}

// Directory part of `path` into `out` (which must hold the whole path): cut at the last '\'
// (kept when it is also the first '\', as in "D:\" or "DIR\"), else after the last ':'.
// False when there is no directory part (`out` empty). Looks at single bytes.
bool path_dir_part(const char* path, char* out);

// Copies `src` into `dst` of `size` bytes, cutting it to size - 1 bytes; always terminates.
// Returns the number of bytes copied.
size_t copy_text(char* dst, size_t size, const char* src);
template <size_t N>
size_t copy_text(char (&dst)[N], const char* src) {
  return copy_text(dst, N, src);
}

// The text of a fixed field, up to its NUL or its end.
template <size_t N>
std::string text_of(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace volari
