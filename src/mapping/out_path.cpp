#include "mapping/out_path.h"

#include <cstring>

namespace volari {

namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

// Windows trims trailing dots and blanks of a name, so ". ." and "..." can act as "..".
bool is_parent_name(const std::string& path, size_t begin, size_t end) {
  size_t dots = 0;
  for (size_t at = begin; at < end; ++at) {
    if (path[at] == '.') {
      ++dots;
    } else if (path[at] != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

bool leaves_root(const std::string& path, size_t root_len) {
  size_t begin = root_len;
  for (size_t at = root_len; at <= path.size(); ++at) {
    if (at < path.size() && !is_separator(path[at])) continue;
    if (is_parent_name(path, begin, at)) return true;
    begin = at + 1;
  }
  // A root of two bytes or more is the path's own start, so it decides the start by itself.
  return root_len < 2 && path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
}

}  // namespace

bool make_out_path(const Settings& settings, const std::string& dir_domain,
                   const std::string& dir_directory, const std::string& dir_filename,
                   std::string& out_path) {
  const size_t root_len = strnlen(settings.out_directory, sizeof settings.out_directory);
  out_path.assign(settings.out_directory, root_len);
  if (!dir_domain.empty()) out_path += dir_domain + '\\';
  if (!dir_directory.empty()) out_path += dir_directory + '\\';
  out_path += dir_filename;
  return out_path.size() <= kMaxOutPath && !leaves_root(out_path, root_len);
}

}  // namespace volari
