// The conversion of one batch: for each entry, the checks, the naming, the directory, the copy
// and the history lines, every outcome counted.
#pragma once

#include <string>
#include <unordered_set>

#include "config/settings.h"
#include "index/cache_entry.h"
#include "mapping/run_counters.h"
#include "mapping/url_split.h"
#include "output/output.h"
#include "platform/platform.h"
#include "support/disk.h"
#include "support/messages.h"

namespace volari {

// The working record of the entry in hand; its flags are read by the copy and the history lines.
struct EntryMapping {
  std::string cache_path;  // fat_directory + the entry's cache_file
  std::string url;
  UrlKind url_kind = kind_other;
  std::string url_domain, url_directory, url_filename;
  std::string dir_domain, dir_directory, dir_filename;
  std::string out_path;
  EntryFlags flags;
};

// Output directories known to exist in this run: an entry whose directory is among them makes
// none, which spares the probe of every directory on its path.
struct KnownDirs {
  std::unordered_set<std::string> made;
};

struct PipelineContext {
  Platform& platform;
  const Settings& settings;
  Messages& messages;
  RunCounters& counters;
  EntryMapping& mapping;
  DatedDirs& dated;
  KnownDirs& known;
};

// Works through entries 0 .. entry_count - 1 in order. Returns 0 when Escape was pressed (the
// entry at which it was seen and the rest are left alone), 1 otherwise.
int convert_batch(PipelineContext& pipeline, OutputContext& output, const EntryBatch& batch);

// True for a cache file name that could reach outside the cache directory: an absolute name
// (leading '\' or '/', or a drive letter) or one with a ".." component. Such an entry is taken as
// a missing cache file.
bool cache_name_escapes(const char* cache_file);

}  // namespace volari
