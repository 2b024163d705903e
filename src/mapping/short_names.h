// Short-name mode: names cut for file systems with short names.
#pragma once

#include <cstddef>
#include <string>

#include "config/settings.h"

namespace volari {

// True when flg_dir_max, taken as unsigned, is 8 or less (so a negative value leaves it off).
bool short_names_on(const Settings& settings);

// Length of the longest start of `text` (`len` bytes) that is at most `limit` bytes and does not
// end inside a Shift-JIS double-byte character: a cut that would split one moves back a byte. A
// lead byte in the last position counts as a character of its own.
size_t sjis_cut_length(const char* text, size_t len, size_t limit);

// In short-name mode, cuts every '\'-separated name of `path` to flg_dir_max bytes by itself; the
// separators stay and no name is dropped. '.' is an ordinary byte here, and '\' is found byte by
// byte, so the second byte 0x5C of a double-byte character separates names. Else no change.
void shorten_dir_path(const Settings& settings, std::string& path);

// In short-name mode, splits `name` at its last '.', turns the other dots of the base into '_',
// cuts the base to flg_dir_max bytes and keeps an extension of at most three bytes ("jpeg" gives
// "jpg", "JPEG" gives "JPG", case-sensitive). A name without '.' is only cut. Else no change.
void shorten_file_name(const Settings& settings, std::string& name);

}  // namespace volari
