// The copy of a cached file to its output path, with its times.
#pragma once

#include <string>
#include <string_view>

#include "mapping/entry_flags.h"
#include "output/link_rewrite.h"
#include "output/output_state.h"
#include "output/page_encoding.h"

namespace volari {

struct CopyResult {
  bool ok = false;
  std::string title;  // the first title the copy showed (empty: none, or the search is off)
  Charset charset = Charset::unknown;  // what a text-mode copy decided its page is written in
};

// What the index record says the server sent: a charset, a content type (with its own charset
// parameter perhaps).
struct ServerSaid {
  std::string_view charset;
  std::string_view content_type;
};

// How much of a text-mode page decides its encoding: all of any page of its time.
constexpr size_t kPageHead = 1 << 20;

// Copies `cache_path` (a regular file, no link) to `out_path` through a FileReplacement, so that a
// failed copy leaves what was there before, or nothing; on failure the error line
// "ERROR:...コピーに失敗しました : <out_path>\n" through msg_printf. Every written line or chunk is
// shown to a title finder, enabled by bit 0 of flg_hst_type or by MANIFEST.
//   - Text mode (a page, flg_shiftjis != 0): line by line through the text-mode streams (CR LF in
//     and out, input ends at 0x1A). The page's encoding is decided once: the charset the server
//     sent (`server`), else the page's declaration, else its first kPageHead bytes (read once,
//     then written from memory). Each line is converted to Shift-JIS by that decision
//     (page_convert.h) and written whole; a page that is no .txt file gets its charset
//     declarations rewritten to name the encoding of the copy.
//   - Binary mode otherwise: chunks of min(remaining, kCopyBufferSize) bytes of the length the open
//     source reports.
//   - A failed read, write or close fails the copy. The source is opened first; the destination
//     only when it was.
//   - The destination gets the source's access and write times (whole seconds) through its open
//     handle after the last write; a failure there leaves the times and still counts as success.
//   - With `links` (LOCAL_LINKS, a page), every line as written (or every chunk of a binary copy,
//     with SHIFTJIS=0) goes through the link rewriter: the copy's links lead into the copy.
// Debug: level 1 "%s -> %s\n"; level 3 "copybuf=%s\n" and "cache  =%s\n" per text line.
CopyResult copy_cache_file(OutputContext& ctx, const EntryFlags& flags, const char* cache_path,
                           const char* out_path, const ServerSaid& server = {},
                           LinkRewriter* links = nullptr);

}  // namespace volari
