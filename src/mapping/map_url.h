// A URL through every naming rule, in order: its kind, its parts, its names, the name filter, the
// page-or-image decision and the output path. Pure: no files, no counters, no messages.
#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"
#include "mapping/entry_flags.h"
#include "mapping/url_split.h"

namespace volari {

// How far a URL got; each value but `mapped` names the step that left it out.
enum class MapOutcome {
  kind_skipped,  // SKIP_URL leaves its kind out
  other_host,    // a target host was given and this is another
  name_refused,  // the name filter refused the directory or the file name
  path_refused,  // the output path is too long or would lead out of out_directory
  mapped,
};

// Bits of flg_skip_url, one per URL kind.
constexpr int kSkipHttp = 1;
constexpr int kSkipFtp = 2;
constexpr int kSkipFile = 4;

struct MappedUrl {
  MapOutcome outcome = MapOutcome::kind_skipped;
  UrlKind kind = UrlKind::other;
  // The parts, once split (every outcome but kind_skipped).
  std::string url_domain, url_directory, url_filename;
  // The names as made, before the name filter (name_refused and beyond).
  std::string dir_domain, dir_directory, dir_filename;
  EntryFlags flags;
  // The output path (path_refused: the path that was refused; mapped: the one to use).
  std::string out_path;
};

MappedUrl map_url(const Settings& settings, std::string_view url);

}  // namespace volari
