// A pass over the whole index before the conversion. A page-by-page scan also meets stale copies
// of live records on freed overflow pages; of all the records of one URL only one is converted:
// the one whose cache file exists and is newest (the first of equals). Records of URLs that were
// deleted from the index are still converted: they may hold pages worth keeping.
#pragma once

#include "run/run.h"

namespace volari {

// Fills run.superseded, and with LOCAL_LINKS run.link_targets with the output path of every entry
// the run will convert (cache file there, LAST_FROM, URL kinds, target host, name filters). Reads
// the index with a reader of its own, silently and without polling the keyboard; a file that
// cannot be read leaves both empty (the run itself then reports it).
void survey_index(Run& run);

}  // namespace volari
