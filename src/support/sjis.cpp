#include "support/sjis.h"

namespace volari {

bool same_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

void sjis_upper(std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) {
      ++i;  // the byte after a high byte belongs to its character
    } else {
      text[i] = ascii_upper(text[i]);
    }
  }
}

bool path_dir_part(const char* path, char* out) {
  std::memcpy(out, path, std::strlen(path) + 1);
  if (char* last = std::strrchr(out, '\\')) {
    last[std::strchr(out, '\\') == last ? 1 : 0] = '\0';
    return true;
  }
  if (char* colon = std::strrchr(out, ':')) {
    colon[1] = '\0';
    return true;
  }
  out[0] = '\0';
  return false;
}

size_t copy_text(char* dst, size_t size, const char* src) {
  if (size == 0) return 0;
  const size_t n = strnlen(src, size - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n;
}

}  // namespace volari
