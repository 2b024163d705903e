// Writing test caches with tools/mkcache (the real Berkeley DB 1.85 library) and reading them back
// through the library's own sequential read. Manifest syntax: tools/mkcache/README.md; in short
//
//   URL [NAME|-] [file=PATH | text=BYTES | gen=SIZE] [mtime=T] [atime=T] [post] [nofile]
//       [urllen=N] [namelen=N] ...          T: @unixseconds or YYYY-MM-DD HH:MM:SS (local time)
//   delete URL
//   bsize N | lorder 1234|4321 | records 3|5 | intkeys on|off | history 3|4|off | index NAME
//   names windows|unix | time T | ffactor N | nelem N | cachesize N
//
// with the escapes \\ \s \t \n \r \0 \xHH inside fields (see manifest_escape).
#pragma once

#include <string>
#include <vector>

namespace volari::testing {

// Writes `manifest_text` to outdir/manifest.txt (creating outdir) and runs
// `mkcache EXTRA_ARGS outdir/manifest.txt outdir`. EXTRA_ARGS is split at blanks (no quoting),
// e.g. "--bsize 8192 -i". file= paths in the manifest are relative to outdir. Returns mkcache's
// exit status (0 = written), or -1 if it could not be run or did not exit normally. mkcache's
// messages go to standard error.
int run_mkcache(const std::string& outdir, const std::string& manifest_text,
                const std::string& extra_args = "");

struct DumpedPair {
  std::string url;           // the URL bytes (an INT_ key's name; a RAW pair's whole key)
  std::string cache_file;    // the cache file name (an INT_ key's value as text; RAW: whole data)
  bool is_internal = false;  // an INT_ key
  bool is_post = false;      // the key ends in the POST tail
  bool is_raw = false;       // a pair of no known form
};

// Every pair of the index file in the order the library's seq() returns it, INT_ keys included.
// Pass "--history" for a history file (cache_file then stays empty). Reports a test failure and
// returns what it got so far if mkcache fails.
std::vector<DumpedPair> dump_index(const std::string& index_path,
                                   const std::string& extra_args = "");

// `bytes` as one manifest field: every byte that is not printable ASCII, and ' ', '\\', '=', '#',
// becomes \xHH, and so does the first byte of a word that mkcache would read as a keyword.
std::string manifest_escape(const std::string& bytes);

}  // namespace volari::testing
