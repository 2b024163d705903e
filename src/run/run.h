// One run: everything a conversion keeps between its steps lives in this object, which program
// entry creates and hands down by reference. A test builds its own with a fake platform.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "config/settings.h"
#include "index/cache_entry.h"
#include "index/index_reader.h"
#include "output/history_visits.h"
#include "output/link_rewrite.h"
#include "output/manifest.h"
#include "output/output_state.h"
#include "platform/platform.h"
#include "run/link_targets.h"
#include "run/run_counters.h"
#include "support/case_lookup.h"
#include "support/disk.h"
#include "support/messages.h"

namespace volari {

class Run final : public HistoryKeySink {
 public:
  explicit Run(Platform& platform);
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  Platform& platform;
  Settings settings;
  RunCounters counters;
  Messages messages;
  IndexReader index;
  PageBuffer page;
  EntryBatch batch;
  OutputState output;
  DatedDirs dated;
  CaseFreeLookup files;  // cache files and the index, found as Windows finds them
  // Output directories known to exist in this run: an entry whose directory is among them makes
  // none, which spares the probe of every directory on its path.
  std::unordered_set<std::string> made_dirs;
  // Entries of the index by their number in the order read: true for a record of a URL that
  // another record of the same URL is converted for.
  std::vector<bool> superseded;
  // LOCAL_LINKS: true for an entry whose cache file the survey found at the path the index names,
  // which the conversion then takes as found.
  std::vector<bool> cache_found;
  uint32_t entries_read = 0;
  LinkTargets link_targets;  // filled by the survey when LOCAL_LINKS is on
  LinkMemo link_memo;
  std::optional<Manifest> manifest;  // MANIFEST: the rows of VOLARI.CSV
  // History mode with HISTORY_VISITS: the keys read so far, written at the end of the run.
  HistoryVisits visits;

  // The run clock: local time and tick count at the start.
  DateTime start_time;
  uint32_t start_tick = 0;
  PackedTime start_packed = 0;
  // True once read_page reported the end of the index: every page was taken.
  bool index_read_to_end = false;
  // Something asked for could not be done (the exit status says so).
  bool failed = false;
  // The cached time of the oldest file whose copy failed: LAST_TIME goes no further.
  std::optional<PackedTime> oldest_failed_copy;
  FileHandle settings_lock = kNoFile;  // held for the run

  // The index file: FATNAME (or -h FILE), found without regard to case.
  std::string index_path();

  OutputContext output_context() { return OutputContext{platform, settings, messages, output}; }
  // How the run's own page scans read a page: traced, polled, history keys to this run.
  PageScan page_scan();

  // History mode: each key of the history file becomes one line of the history page, at once or,
  // with HISTORY_VISITS, by the date of its last visit at the end of the run.
  void history_key(const HistoryKey& key) override;
};

// One whole run, from its start to its end. Nothing at all is done, apart from one error line,
// when another run holds the settings file or OUTDIR cannot be entered; writes below OUTDIR
// pass through no link (Platform::confine_writes).
void run_pages(Run& run);
// Log, settings trace, banner, counters, clock, index: true when the index is open.
bool start_run(Run& run);
// Closes the files, shows the end message, puts the clock right, prints the summary, closes the
// log, stores LAST_TIME (only after a complete real run: its start, or the cached time of the
// oldest file whose copy failed) and waits for a key when asked. A history page, log or
// LAST_TIME that could not be written gets one error line and fails the run.
void end_run(Run& run);

}  // namespace volari
