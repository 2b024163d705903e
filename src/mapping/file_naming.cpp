#include "mapping/file_naming.h"

#include <algorithm>

#include "mapping/short_names.h"
#include "support/sjis.h"

namespace volari {

std::string make_dir_directory(const Settings& settings, const std::string& url_directory) {
  if (settings.flg_sub_dir != 0) {
    return url_directory.empty() ? std::string() : text_of(settings.domain_sub);
  }
  std::string dir = url_directory;
  std::replace(dir.begin(), dir.end(), '/', '\\');
  shorten_dir_path(settings, dir);
  if (settings.flg_cap_dir != 0) sjis_upper(dir);
  return dir;
}

bool make_dir_filename(const Settings& settings, const std::string& url_filename,
                       std::string& dir_filename) {
  if (url_filename.empty()) {
    dir_filename = text_of(settings.domain_root);
    return false;
  }
  dir_filename = url_filename;
  shorten_file_name(settings, dir_filename);
  if (settings.flg_cap_file != 0) sjis_upper(dir_filename);
  if (dir_filename.find('.') == std::string::npos) dir_filename += ".HTM";
  return true;
}

bool is_graphic_name(const std::string& dir_filename) {
  const size_t dot = dir_filename.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = dir_filename.substr(dot + 1, 3);
  sjis_upper(ext);
  return ext != "HTM" && ext != "TXT";
}

}  // namespace volari
