// A URL's loose key: a hash of the URL with what may differ between spellings of one page taken
// out: the case of letters, %-escapes (decoded), a port, a user, a leading "www." of the host,
// the query and the fragment. Two spellings of one page share it; two pages about never do.
#pragma once

#include <cstdint>
#include <string_view>

namespace volari {

uint64_t loose_url_key(std::string_view url);

// The same for `start` followed by `rest`, from the key of `start` alone, when `start` ends
// with its host or with a '/' of its path and has no '?' or '#': the links of a page share their
// beginning, and each costs only its own bytes.
uint64_t loose_url_key(uint64_t start_key, std::string_view rest);

}  // namespace volari
