// The manifest of the copy, VOLARI.CSV in OUTDIR: one row per URL the index held in any run, with
// what became of it. UTF-8 with a byte-order mark, CSV (output/csv.h), this header row:
//   url           the URL; a byte that is no Shift-JIS character is written as %XX
//   status        converted, missing (no cache file), not_http (a URL kind SKIP_URL skips),
//                 cgi (no output name could be made), before_last_time, other_host, copy_failed
//   path          the output file relative to OUTDIR, '/' between names; a byte that is no
//                 Shift-JIS character is %XX, as in the file's name on Linux
//   kind          page or image, as the summary counts it; empty when no path was made
//   title         the page title as a browser shows it: numeric character references and
//                 &amp; &lt; &gt; &quot; &apos; &nbsp; decoded, white space runs one blank
//   time          the cached file's last write, local time, ISO 8601 ("1998-07-14T09:05:21")
//   size          the cached file's size in bytes
//   content_type  content type and charset of the index record
//   charset
//   encoding      what the copy took the page's encoding to be
//   cache_file    the cache file's name in the index
// In text fields a byte that is no Shift-JIS character becomes U+FFFD. Rows are in the order of
// their URLs' bytes, so a manifest's text depends only on its rows.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace volari {

enum class EntryStatus {
  converted,
  missing,
  not_http,
  cgi,
  before_last_time,
  other_host,
  copy_failed,
};

const char* status_word(EntryStatus status);

// One row, every field UTF-8 as the file holds it.
struct ManifestRow {
  std::string url, status, path, kind, title, time, size, content_type, charset, encoding,
      cache_file;
};

struct Manifest {
  std::map<std::string, ManifestRow> rows;  // by url
};

// An entry as a run met it, in the program's own form: Shift-JIS texts, a program-form path.
struct ManifestEntry {
  EntryStatus status = EntryStatus::converted;
  std::string url;
  std::string out_path;          // empty when none was made
  bool page = false;             // counted as a page, not an image
  std::string title;             // Shift-JIS (convert a title of an unconverted page first)
  std::optional<DateTime> time;  // local
  std::optional<uint64_t> size;
  std::string content_type, charset, encoding, cache_file;
};

// The row of `entry`. `out_directory` (ending in '\') is cut from the front of out_path, and then
// a leading ".\"; a path outside it is kept whole.
ManifestRow make_manifest_row(const ManifestEntry& entry, std::string_view out_directory);

// Puts the row of `entry` into the manifest, in place of the URL's row, except that a skip for
// LAST_TIME or for the target host never replaces a row: it only adds the row of a new URL. An
// entry without URL gets no row.
void record_entry(Manifest& manifest, const ManifestEntry& entry, std::string_view out_directory);

// Reads the text of an existing manifest into `manifest`, in place of rows of the same URL.
// Columns are found by their names in the first record (unknown ones dropped, absent ones empty);
// a row without URL is dropped, and of two rows of one URL the later one stays. Bytes that are no
// UTF-8 become U+FFFD (%XX in url). Returns false, reading nothing, when the text is not empty and
// its first record has no "url" column: a file of something else, not to be written over.
// A malformed CSV text gives the rows parse_csv finds.
bool load_manifest(std::string_view text, Manifest& manifest);

// The whole text of the manifest: byte-order mark, header row, rows.
std::string manifest_text(const Manifest& manifest);

}  // namespace volari
