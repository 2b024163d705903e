// The output path of an entry.
#pragma once

#include <cstddef>
#include <string>

#include "config/settings.h"

namespace volari {

constexpr size_t kMaxOutPath = 260;

// Joins out_directory, `dir_domain` and '\' (when not empty), `dir_directory` and '\' (when not
// empty) and `dir_filename` into `out_path`, which is filled in every case. False when the path
// must not be used: it is longer than kMaxOutPath bytes, or it would lead out of out_directory:
// a name below it ('\' and '/' both separate names) is made of dots and blanks only and holds two
// or more dots (such as ".."), or the path begins with two separators that out_directory does not
// begin with (a network path).
bool make_out_path(const Settings& settings, const std::string& dir_domain,
                   const std::string& dir_directory, const std::string& dir_filename,
                   std::string& out_path);

}  // namespace volari
