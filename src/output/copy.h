// The copy of a cached file to its output path, with its times.
#pragma once

#include <string>

#include "mapping/entry_flags.h"
#include "output/output_state.h"

namespace volari {

struct CopyResult {
  bool ok = false;
  std::string title;  // the first title the copy showed (empty: none, or the search is off)
};

// Copies `cache_path` to `out_path`; on failure "ERROR:...コピーに失敗しました\n" through
// verbose_printf. Every written line or chunk is shown to a title finder, enabled by bit 0 of
// flg_hst_type.
//   - Text mode (a page, flg_shiftjis != 0): line by line through the text-mode streams (CR LF in
//     and out, input ends at 0x1A), each line converted by to_shiftjis and written up to its first
//     NUL. A failed read or write (also when the destination is closed) fails the copy.
//   - Binary mode otherwise: chunks of min(remaining, kCopyBufferSize) bytes of the length the open
//     source reports; a short read or write fails the copy and keeps what was written.
//   - The source is opened first; the destination is opened (created or emptied) only when it did.
//   - On success the destination gets the source's access and write times (whole seconds) through
//     its open handle after the last write; a failure there leaves the times and still counts as
//     success.
// Debug: level 1 "%s -> %s\n"; level 3 "copybuf=%s\n" and "cache  =%s\n" per text line.
CopyResult copy_cache_file(OutputContext& ctx, const EntryFlags& flags, const char* cache_path,
                           const char* out_path);

}  // namespace volari
