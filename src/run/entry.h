// The per-entry work of a conversion, which touches the world: the cache file check, the date
// filter, the directories, the copy and the history lines, each outcome counted once.
#pragma once

#include "index/cache_entry.h"
#include "run/run.h"

namespace volari {

// Works through entries 0 .. entry_count - 1 in order. False when Escape was pressed (the entry
// at which it was seen and the rest are left alone).
bool convert_batch(Run& run, const EntryBatch& batch);

// LAST_FROM's test: a cached file time before LAST_TIME, field by field from the year down;
// seconds are never compared.
bool older_than(PackedTime file, PackedTime last);

// True for a cache file name that could reach outside the cache directory: an absolute name
// (leading '\' or '/', or a drive letter) or one with a ".." component. Such an entry is taken as
// a missing cache file.
bool cache_name_escapes(const char* cache_file);

}  // namespace volari
