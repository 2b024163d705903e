// Writing test caches with tools/mkcache (the real Berkeley DB 1.85 library) and reading them back
// through the library's own sequential read. Manifest syntax and dump format:
// tools/mkcache/README.md.
#pragma once

#include <string>
#include <vector>

namespace volari::testing {

// Writes `manifest_text` to outdir/manifest.txt (creating outdir) and runs
// `mkcache EXTRA_ARGS outdir/manifest.txt outdir`. EXTRA_ARGS is split at blanks (no quoting),
// e.g. "--bsize 8192 -i". file= paths in the manifest are relative to outdir. Returns mkcache's
// exit status (0 = written; else a test failure with its messages), or -1 if it could not be run
// or did not exit normally.
int run_mkcache(const std::string& outdir, const std::string& manifest_text,
                const std::string& extra_args = "");

// Every pair of the index file in the order the library's seq() returns it, INT_ keys included:
// the fields of each dump line, unescaped. Pass "--history" for a history file.
std::vector<std::vector<std::string>> dump_index(const std::string& index_path,
                                                 const std::string& extra_args = "");

// `bytes` as one manifest field: every byte that is not printable ASCII, and ' ', '\\', '=', '#',
// becomes \xHH, and so does the first byte of a word that mkcache would read as a keyword.
std::string manifest_escape(const std::string& bytes);

}  // namespace volari::testing
