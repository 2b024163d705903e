#include "mapping/file_naming.h"

#include <algorithm>
#include <cstring>

#include "mapping/short_names.h"
#include "support/sjis.h"

namespace volari {

namespace {

template <size_t N>
std::string field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

}  // namespace

std::string make_dir_directory(const Settings& settings, const std::string& url_directory) {
  if (settings.flg_sub_dir != 0) {
    return url_directory.empty() ? std::string() : field(settings.domain_sub);
  }
  std::string dir = url_directory;
  std::replace(dir.begin(), dir.end(), '/', '\\');
  shorten_dir_path(settings, dir);
  if (settings.flg_cap_dir != 0) sjis_upper(dir);
  return dir;
}

int make_dir_filename(const Settings& settings, const std::string& url_filename,
                      std::string& dir_filename) {
  if (url_filename.empty()) {
    dir_filename = field(settings.domain_root);
    return 0;
  }
  dir_filename = url_filename;
  shorten_file_name(settings, dir_filename);
  if (settings.flg_cap_file != 0) sjis_upper(dir_filename);
  if (dir_filename.find('.') == std::string::npos) dir_filename += ".HTM";
  return 1;
}

int is_graphic_name(const std::string& dir_filename) {
  const size_t dot = dir_filename.rfind('.');
  if (dot == std::string::npos) return 0;
  std::string ext = dir_filename.substr(dot + 1);
  sjis_upper(ext);
  return ext.compare(0, 3, "HTM") == 0 || ext.compare(0, 3, "TXT") == 0 ? 0 : 1;
}

}  // namespace volari
