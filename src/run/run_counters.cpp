#include "run/run_counters.h"

namespace volari {

void count(RunCounters& c, EntryOutcome outcome, bool ftp) {
  ++c.cnt_cache_file;
  if (ftp) ++c.cnt_skip_nohttp;
  switch (outcome) {
    case EntryOutcome::missing_file:
    case EntryOutcome::other_host:
      ++c.cnt_skip_nofile;
      break;
    case EntryOutcome::before_last_time:
      ++c.cnt_skip_before;
      break;
    case EntryOutcome::name_refused:
      ++c.cnt_skip_cgi;
      break;
    case EntryOutcome::page:
      ++c.cnt_html_file;
      ++c.cnt_conv_file;
      break;
    case EntryOutcome::image:
      ++c.cnt_graphic_file;
      ++c.cnt_conv_file;
      break;
    case EntryOutcome::copy_failed:
      ++c.cnt_copy_failed;
      break;
    case EntryOutcome::uncounted:
      break;
  }
}

}  // namespace volari
