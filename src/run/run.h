// One run: everything a conversion keeps between its steps lives in this object, which program
// entry creates and hands down by reference. A test builds its own with a fake platform.
#pragma once

#include "config/settings.h"
#include "index/cache_entry.h"
#include "index/index_reader.h"
#include "mapping/pipeline.h"
#include "mapping/run_counters.h"
#include "output/output.h"
#include "platform/platform.h"
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
  EntryMapping mapping;
  DatedDirs dated;
  KnownDirs known_dirs;

  // The run clock: local time and tick count at the start.
  DateTime start_time;
  uint32_t start_tick = 0;
  PackedTime start_packed = 0;
  // True once read_page reported the end of the index: every page was taken.
  bool index_read_to_end = false;

  OutputContext output_context();
  PipelineContext pipeline_context();

  // History mode: each key of the history file becomes one line of the history page.
  void history_key(const char* url) override;
};

// One whole run, from its start to its end.
void run_pages(Run& run);
// Log, settings trace, banner, counters, clock, index: the result of opening the index.
int start_run(Run& run);
// Closes the files, shows the end message, puts the clock right, prints the summary, closes the
// log, stores LAST_TIME (only after a complete real run) and waits for a key when asked.
int end_run(Run& run);

}  // namespace volari
