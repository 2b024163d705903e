// History mode with HISTORY_VISITS=1: the keys of the history file are collected with their
// records and written newest first, each with the date and time of its last visit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/history_record.h"
#include "output/output_state.h"

namespace volari {

class HistoryVisits {
 public:
  // Keeps the first kHistoryKeyShown bytes of the URL and the record's dates, count and title.
  void add(std::string_view url, const HistoryRecord& record);
  // True when the collection should be written before it takes more: 1,048,576 keys or 64 MiB of
  // text. A file that big is listed in parts, each sorted on its own.
  bool full() const;
  bool empty() const { return visits_.empty(); }

  // Writes the collection through put_history_visit and empties it:
  //   - each URL once: of several records under one URL (stale copies on freed pages) the one
  //     with a known layout and the newest last visit, the first read among equals;
  //   - records of a known layout by last visit, newest first, equal ones in the order read, each
  //     with "yy/mm/dd hh:mm:ss  " of the last visit in local time (nothing when the platform
  //     cannot convert it) and the title converted to Shift-JIS as a page's text is (its encoding
  //     decided by its bytes); a Communicator 4 record adds " (visits N, first yy/mm/dd)", the
  //     first visit only when it is plausible and not the last one;
  //   - then the others, in the order read, by URL alone.
  void write(OutputContext& ctx);

 private:
  struct Visit {
    uint32_t last, first, count;
    uint32_t seq;  // order read
    uint32_t url_at, title_at;
    uint16_t url_size, title_size;
    HistoryLayout layout;
  };
  std::vector<Visit> visits_;
  std::string text_;  // the URLs and titles, end to end
};

}  // namespace volari
