// Host naming: the host part of a URL turned into a directory path below out_directory.
#pragma once

#include <cstddef>
#include <string>

#include "config/settings.h"

namespace volari {

// `url_domain` to `dir_domain`, in this order: port cut (flg_skip_www 1), user part (8: keep the
// text after the last '@', else that '@' becomes '.'), host-ending alias, leading "www"/"WWW" (2)
// and "ftp"/"FTP" (4) label, label reversal (flg_dom_dir 1), each '.' before the protected ending
// removed (flg_dom_dir 4), made '_' (8), kept (2) or made '\'; a host of digits and dots only, or
// an empty one, becomes domain_ip when that is set; one leading '\' goes; short names;
// domain_ext appended; upper-cased when flg_cap_dom. So "aa.bb.cc:80" gives "CC\BB\AA.DOM" with
// the defaults. Never fails; the result has no length limit.
std::string make_dir_domain(const Settings& settings, const std::string& url_domain);

// Replaces the ending of `name` that first matches the `dom` of an alias (byte for byte, case and
// label boundaries ignored) by that alias's `dir`. Returns the length of `dir` when flg_dom_flg has
// bit 1, which protects that ending from the later steps; 0 otherwise or when nothing matched.
// Looks at no more than kMaxDomainAliases entries and skips any with an empty `dom`.
size_t lookup_domain_alias(const Settings& settings, std::string& name);

// Puts the '.'-separated labels of `name` in reverse order (empty labels count, so "aa.bb." gives
// ".bb.aa"); the last `tail_len` bytes are left out of that and stay at the end. A name no longer
// than a non-zero `tail_len` stays unchanged.
void reverse_host_labels(std::string& name, size_t tail_len);

}  // namespace volari
