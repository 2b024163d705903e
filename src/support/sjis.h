// Shift-JIS-aware string helpers (module ZEL_STR).
#pragma once

#include <cstddef>
#include <string>

namespace volari {

extern const char kZelStrBanner[];  // "ZEL_STR 1.49"

// True for a byte that starts a Shift-JIS double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool is_sjis_lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Upper-cases ASCII letters in place. A byte of 0x80 or more is taken as the first byte of a
// double-byte character: it and the byte after it stay as they are (the high bit alone decides,
// so a half-width katakana byte also protects the byte after it). The terminator is never touched.
char* sjis_upper(char* text);
void sjis_upper(std::string& text);

// Directory part of `path` into `out` (which must hold the whole path): cut at the last '\'
// (kept when it is also the first '\', as in "D:\" or "DIR\"), else after the last ':'.
// Returns 1 when there is a directory part, else 0 with `out` empty. Looks at single bytes.
int path_dir_part(const char* path, char* out);

// Copies `src` into `dst` of `size` bytes, cutting it to size - 1 bytes; always terminates.
// Returns the number of bytes copied.
size_t copy_text(char* dst, size_t size, const char* src);
template <size_t N>
size_t copy_text(char (&dst)[N], const char* src) {
  return copy_text(dst, N, src);
}

}  // namespace volari
