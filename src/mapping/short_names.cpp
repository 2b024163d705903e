#include "mapping/short_names.h"

#include <algorithm>

#include "support/sjis.h"

namespace volari {

namespace {

constexpr unsigned kShortNameMax = 8;

std::string cut(const std::string& text, size_t limit) {
  return text.substr(0, sjis_cut_length(text.data(), text.size(), limit));
}

}  // namespace

bool short_names_on(const Settings& settings) {
  return static_cast<unsigned>(settings.flg_dir_max) <= kShortNameMax;
}

size_t sjis_cut_length(const char* text, size_t len, size_t limit) {
  size_t at = 0;
  while (at < len) {
    const bool pair = is_sjis_lead(static_cast<unsigned char>(text[at])) && at + 1 < len;
    const size_t next = at + (pair ? 2 : 1);
    if (next > limit) break;
    at = next;
  }
  return at;
}

void shorten_dir_path(const Settings& settings, std::string& path) {
  if (!short_names_on(settings)) return;
  const size_t limit = static_cast<unsigned>(settings.flg_dir_max);
  std::string out;
  size_t start = 0;
  for (;;) {
    const size_t sep = path.find('\\', start);
    const size_t end = sep == std::string::npos ? path.size() : sep;
    out.append(path, start, sjis_cut_length(path.data() + start, end - start, limit));
    if (sep == std::string::npos) break;
    out += '\\';
    start = sep + 1;
  }
  path = out;
}

void shorten_file_name(const Settings& settings, std::string& name) {
  if (!short_names_on(settings)) return;
  const size_t limit = static_cast<unsigned>(settings.flg_dir_max);
  const size_t dot = name.rfind('.');
  std::string base = name.substr(0, dot);
  std::replace(base.begin(), base.end(), '.', '_');
  std::string out = cut(base, limit);
  if (dot != std::string::npos) {
    const std::string ext = name.substr(dot + 1);
    out += '.';
    if (ext == "jpeg") {
      out += "jpg";
    } else if (ext == "JPEG") {
      out += "JPG";
    } else {
      out += cut(ext, 3);
    }
  }
  name = out;
}

}  // namespace volari
