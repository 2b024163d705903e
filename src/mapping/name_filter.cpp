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
  FilterResult result = filter_kept;
  size_t at = 0;
  while (at < name.size()) {
    const char c = name[at];
    if (c == '%') {
      if (name.size() - at < 3) break;
      const int high = hex_value(name[at + 1]);
      const int low = hex_value(name[at + 2]);
      if (high >= 0 && low >= 0) {
        if (high == 0 && low == 0) break;
        out += static_cast<char>(high * 16 + low);
        at += 3;
      } else {
        out += '%';
        ++at;
      }
      continue;
    }
    if (is_special_name_byte(c)) {
      if (settings.flg_cgi_file == 0) return filter_refused;
      if (settings.flg_cgi_file == 2) {
        out += '_';
        ++at;
        continue;
      }
      result = settings.flg_cgi_file == 3 ? filter_cut_cgi : filter_cut;
      break;
    }
    out += c;
    ++at;
  }
  name = out;
  return result;
}

}  // namespace volari
