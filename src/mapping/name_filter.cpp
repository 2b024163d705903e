#include "mapping/name_filter.h"

#include <cstring>

namespace volari {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool is_special_name_byte(char c) {
  return c != '\0' && std::strchr("&*:;=?|", c) != nullptr;
}

FilterResult filter_name(const Settings& settings, std::string& name) {
  std::string out;
  out.reserve(name.size());
  bool ended = false;  // by a decoded zero byte
  for (size_t at = 0; at < name.size();) {
    const char c = name[at];
    if (c == '%') {
      if (name.size() - at < 3) break;
      const int high = hex_value(name[at + 1]);
      const int low = hex_value(name[at + 2]);
      if (high >= 0 && low >= 0) {
        const char decoded = static_cast<char>(high * 16 + low);
        ended = ended || decoded == '\0';
        if (!ended) out += decoded;
        at += 3;
      } else {
        if (!ended) out += '%';
        ++at;
      }
      continue;
    }
    if (is_special_name_byte(c)) {
      const int mode = settings.flg_cgi_file;
      if (mode == 0) return FilterResult::refused;
      if (mode != 2) {
        name = out;
        return mode == 3 ? FilterResult::cut_cgi : FilterResult::cut;
      }
      if (!ended) out += '_';
      ++at;
      continue;
    }
    if (!ended) out += c;
    ++at;
  }
  name = out;
  return FilterResult::kept;
}

}  // namespace volari
