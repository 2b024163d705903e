#include "support/sjis.h"

#include <cstring>

namespace volari {

const char kZelStrBanner[] = "ZEL_STR 1.49";

char* sjis_upper(char* text) {
  const size_t len = std::strlen(text);
  for (size_t i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      ++i;  // the byte after a high byte belongs to its character
    } else if (c >= 'a' && c <= 'z') {
      text[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

void sjis_upper(std::string& text) {
  const size_t len = text.size();
  for (size_t i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      text[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
}

int path_dir_part(const char* path, char* out) {
  const size_t len = std::strlen(path);
  std::memcpy(out, path, len + 1);
  const char* last_sep = std::strrchr(out, '\\');
  if (last_sep) {
    const size_t at = static_cast<size_t>(last_sep - out);
    const bool first = std::strchr(out, '\\') == last_sep;
    out[first ? at + 1 : at] = '\0';
    return 1;
  }
  const char* colon = std::strrchr(out, ':');
  if (colon) {
    out[colon - out + 1] = '\0';
    return 1;
  }
  out[0] = '\0';
  return 0;
}

size_t copy_text(char* dst, size_t size, const char* src) {
  if (size == 0) return 0;
  size_t n = std::strlen(src);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n;
}

}  // namespace volari
