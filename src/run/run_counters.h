// The counters of the result summary, and the one place that counts.
#pragma once

#include <cstdint>

namespace volari {

struct RunCounters {
  uint32_t cnt_cache_file = 0;    // entries taken up
  uint32_t cnt_conv_file = 0;     // entries converted (an output path was made)
  uint32_t cnt_html_file = 0;     // converted entries counted as pages
  uint32_t cnt_graphic_file = 0;  // converted entries counted as images
  uint32_t cnt_skip_before = 0;   // cached file not newer than the last run
  uint32_t cnt_skip_nofile = 0;   // cached file missing, or another host than the target
  uint32_t cnt_skip_nohttp = 0;   // ftp URLs
  uint32_t cnt_skip_cgi = 0;      // no output name could be made
  uint32_t cnt_skip_file = 0;     // the four skips together, computed for the summary
  uint32_t cnt_copy_failed = 0;   // copies that failed: neither converted nor skipped
};

// How an entry that was taken up ended.
enum class EntryOutcome {
  missing_file,      // its cached file is not there (or its name would leave the cache folder)
  before_last_time,  // its cached file is older than the last run
  uncounted,         // a URL kind SKIP_URL leaves out, or a test level stopped it
  other_host,        // not the target host
  name_refused,      // no output name could be made
  page,              // converted, a page
  image,             // converted, an image
  copy_failed,       // its copy failed
};

// Counts one entry taken up; `ftp` when its URL is an ftp URL (counted under "http 以外"
// whatever came of it).
void count(RunCounters& counters, EntryOutcome outcome, bool ftp);

}  // namespace volari
