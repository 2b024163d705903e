#include "platform/platform.h"

#include "platform/cp932.h"

namespace volari {

namespace {

const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

std::string path_from_native(std::string_view native) {
  std::string out(native);
  const unsigned char* s = bytes(native);
  for (size_t i = 0; i < native.size();) {
    if (s[i] == '/') out[i] = '\\';
    i += sjis_char_length(s + i, native.size() - i);
  }
  return out;
}

std::string path_from_user(std::string_view typed) {
  if (!typed_text_is_utf8(typed)) return path_from_native(typed);
  std::string out;
  out.reserve(typed.size());
  const unsigned char* s = bytes(typed);
  for (size_t i = 0; i < typed.size();) {
    const size_t n = utf8_char_length(s + i, typed.size() - i);
    unsigned char sjis[2];
    const size_t m = unicode_to_cp932(utf8_decode(s + i, n), sjis);
    if (m == 0) {
      out.push_back('?');
    } else if (m == 1 && sjis[0] == '/') {
      out.push_back('\\');
    } else {
      out.append(reinterpret_cast<const char*>(sjis), m);
    }
    i += n;
  }
  return out;
}

std::string path_for_display(std::string_view program) {
  return std::string(program);
}

bool drive_letters() {
  return true;
}

}  // namespace volari
