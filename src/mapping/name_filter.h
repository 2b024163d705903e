// The name filter: percent escapes and the bytes that do not belong in a file name.
#pragma once

#include <string>

#include "config/settings.h"

namespace volari {

enum class FilterResult { refused, cut, kept, cut_cgi };

// True for the special bytes & * : ; = ? |.
bool is_special_name_byte(char c);

// Rewrites `name` in one walk over its bytes:
// - '%' with fewer than two bytes after it ends the name and the walk. '%' and two hex digits
//   (either case) become that byte, which is never examined again. A decoded zero byte ends the
//   name, but the walk goes on over the rest (the name is written over the text it reads), so a
//   special byte after it still decides the result. Any other '%' is kept and the walk goes on
//   with the byte after it.
// - a special byte, by flg_cgi_file: 0 gives refused and leaves `name` as it was given; 1 ends the
//   name there (cut); 2 writes '_' and goes on; 3 ends the name there (cut_cgi). Any other value
//   acts as 1.
// - every other byte, '/' and '\' included, is kept.
// Single bytes only: the second byte of a double-byte character can count as special.
// kept when no special byte ended or refused the name.
FilterResult filter_name(const Settings& settings, std::string& name);

}  // namespace volari
