// Output writing: the copy of a cached file with its times, the title finder, the history entries
// and the history page (HISTORY.HTM).
#pragma once

#include <cstddef>

#include "config/settings.h"
#include "output/jis.h"
#include "platform/platform.h"
#include "support/messages.h"
#include "support/text_file.h"

namespace volari {

// Flags of the entry in hand, set by the conversion pipeline before the copy.
struct EntryFlags {
  int flg_graphic = 1;   // 1: an image (any file that is not a page)
  int flg_url_ftp = 0;   // 1: an ftp or file URL
  int flg_filename = 1;  // 1: the URL names a file
};

constexpr size_t kCopyBufferSize = 32512;  // one binary chunk; a text line is at most 32,511 bytes
constexpr size_t kTitleSize = 260;         // at most 259 bytes of title
constexpr size_t kHistoryLineMax = 2047;   // longest text one hst_printf call writes

// Process-wide buffers and streams of the output subsystem, owned by the run object.
struct OutputState {
  explicit OutputState(Platform& platform) : hst(platform), text_in(platform), text_out(platform) {}

  char copybuf[kCopyBufferSize] = {};  // the copy's chunk or line; put_history_entry's scratch
  char page_title[kTitleSize] = {};    // emptied by every copy, filled at most once by find_title
  TextFile hst;                        // the history page: open from a run's first line to its end
  TextFile text_in;                    // the two sides of a text-mode copy, kept here so that a
  TextFile text_out;                   // copy needs no large stack frame
};

struct OutputContext {
  Platform& platform;
  const Settings& settings;
  Messages& messages;
  OutputState& state;
  // kCopyBufferSize bytes: the index page buffer, free for converted lines while a batch is
  // converted. Not used by put_history_entry, so history mode may pass null.
  unsigned char* converted;
};

// Copies `cache_path` to `out_path`; 1 on success, 0 on failure (after
// "ERROR:...コピーに失敗しました\n" through verbose_printf). Empties page_title first and shows
// every written line or chunk to find_title.
//   - Text mode (flg_graphic != 1 and flg_shiftjis != 0): line by line through the text-mode
//     streams (CR LF in and out, input ends at 0x1A), each line converted by to_shiftjis and
//     written up to its first NUL. A failed read or write (also when the destination is closed)
//     fails the copy.
//   - Binary mode otherwise: chunks of min(remaining, kCopyBufferSize) bytes of the length the open
//     source reports; a short read or write fails the copy and keeps what was written.
//   - The source is opened first; the destination is opened (created or emptied) only when it did.
//   - On success the destination gets the source's access and write times (whole seconds) through
//     its open handle after the last write; a failure there leaves the times and still counts as
//     success.
// Debug: level 1 "%s -> %s\n"; level 3 "copybuf=%s\n" and "cache  =%s\n" per text line.
int copy_cache_file(OutputContext& ctx, const EntryFlags& flags, const char* cache_path,
                    const char* out_path);

// Keeps the first title of a copy in page_title, while bit 0 of flg_hst_type is set: the bytes
// after "<TITLE>" or "<title>" (exact case; one byte must follow the tag) up to a NUL, the end of
// `bytes` or 259 bytes, cut at "</TITLE>" or "</title>". Used as found: no trimming, no decoding.
void find_title(OutputContext& ctx, const unsigned char* bytes, size_t length);

// Hands the history lines of one entry to hst_printf, by flg_hst_mode (0 none, 1 no file name,
// 2 file name INDEX.HTM..., 3 pages, 9 every call as "    <DT><A HREF=\"url\">url</A>\n", others
// none) and flg_hst_type (1 title, 2 URL, 3 both, 4 title-less file line then URL line).
//   - The local link is "file://" and out_path with "D:" turned into "/D|" and every '\' into '/'
//     (a 0x5C that is the second byte of a Shift-JIS character stays).
//   - The title is page_title, or the URL when it is empty; converted by to_shiftjis (through
//     copybuf) when flg_shiftjis is 0, since pages were then copied unconverted.
//   - The values 4 and 8 of flg_hst_date put out_path's last-write date ("yy/mm/dd ") and time
//     ("hh:mm:ss  ", 8 only) in front of each line; nothing when out_path cannot be read.
//   - Cached text cannot add markup to the page: '<' and '>' in a link's text become "&lt;" and
//     "&gt;", '"' in a link target becomes "%22". Other bytes, entity references included, stay.
//     Each piece is bounded (target 950, text 1040 bytes after escaping, cut at a whole character
//     or escape) so that a line always fits kHistoryLineMax; a piece from the pipeline (at most
//     260 bytes) is never cut, only a long history key.
void put_history_entry(OutputContext& ctx, const EntryFlags& flags, const char* url,
                       const char* url_filename, const char* out_path);

// Appends one printf-style text (cut to kHistoryLineMax bytes) to the history page; nothing at all
// while flg_hst_file is 0. The page is opened (append, text mode) by the first call of a run: a
// page that did not exist gets the page header, and the values 1 or 2 of flg_hst_date add the run's
// section header with the current time. A page that cannot be opened gives the error line
// "file can't open '%s'." and the text is dropped; the next call tries again. Write errors on an
// open page are ignored.
void hst_printf(OutputContext& ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));

// End of the run: closes the history page when it is open.
void close_history(OutputContext& ctx);

}  // namespace volari
