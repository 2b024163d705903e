// The manifest of the copy (MANIFEST=1): VOLARI.CSV in OUTDIR is read when a converting run
// starts, each entry the run meets is noted in it, and at the end VOLARI.CSV and SITES.HTM are
// written whole, each through a temporary file and a rename. Test runs and history mode keep
// none.
#pragma once

#include <string>

#include "index/cache_entry.h"
#include "output/manifest.h"
#include "run/run.h"
#include "run/run_counters.h"

namespace volari {

constexpr char kManifestName[] = "VOLARI.CSV";
constexpr char kSitesPageName[] = "SITES.HTM";

// Reads the manifest a run keeps, when it keeps one. A VOLARI.CSV that is no manifest is not
// written over: the error line "file can't write '<path>'." and the run keeps none (and fails).
void open_manifest(Run& run);

// Notes an entry that was taken up, by how it ended. `cache_path` is its cache file (null when it
// is missing), `note` what the conversion learnt of it (output path, kind, title, encoding).
void note_entry(Run& run, const CacheEntry& entry, EntryOutcome outcome,
                const std::string* cache_path, ManifestEntry& note);

// Writes VOLARI.CSV and SITES.HTM; false (with an error line for each file) when it could not.
bool write_manifest(Run& run);

}  // namespace volari
