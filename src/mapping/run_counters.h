// The counters of the result summary, counted by the conversion of each batch.
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
};

}  // namespace volari
