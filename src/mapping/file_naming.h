// Directory and file naming: the URL's directory and file parts turned into output names.
#pragma once

#include <string>

#include "config/settings.h"

namespace volari {

// `url_directory` to `dir_directory`. With flg_sub_dir: empty stays empty, anything else becomes
// domain_sub as it is. Otherwise '/' becomes '\', short names apply, and it is upper-cased when
// flg_cap_dir.
std::string make_dir_directory(const Settings& settings, const std::string& url_directory);

// `url_filename` to `dir_filename`; true when the URL names a file. Empty: domain_root as it is,
// false. Otherwise short names apply, it is upper-cased when flg_cap_file, and ".HTM" is appended
// when it then has no '.'.
bool make_dir_filename(const Settings& settings, const std::string& url_filename,
                       std::string& dir_filename);

// False (a page) when the name has no '.' or the first three bytes after its last '.',
// upper-cased, are "HTM" or "TXT"; true (an image or any other file) otherwise.
bool is_graphic_name(const std::string& dir_filename);

}  // namespace volari
