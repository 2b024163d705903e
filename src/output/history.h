// The history page (HISTORY.HTM): the lines of each entry and the page they are appended to.
#pragma once

#include <string_view>

#include "mapping/entry_flags.h"
#include "output/output_state.h"

namespace volari {

// Values of flg_hst_mode (HISTORYSET) that choose the entries, and of the two groups of bits of
// flg_hst_date (HISTORYDATE).
constexpr int kHistoryNoFileName = 1;
constexpr int kHistoryIndexPages = 2;
constexpr int kHistoryPages = 3;
constexpr int kHistoryDateSection = 1, kHistoryTimeSection = 2;
constexpr int kHistoryDateLine = 4, kHistoryTimeLine = 8;

// Hands the history lines of one entry to hst_printf, by flg_hst_mode (0 none, 1 no file name,
// 2 file name INDEX.HTM..., 3 pages, 9 every call as "    <DT><A HREF=\"url\">url</A>\n", others
// none) and flg_hst_type (1 title, 2 URL, 3 both, 4 title-less file line then URL line).
//   - The local link is "file://" and out_path with "D:" turned into "/D|" and every '\' into '/'
//     (a 0x5C that is the second byte of a Shift-JIS character stays).
//   - The text is `title`, or the URL when it is empty; converted by to_shiftjis when
//     flg_shiftjis is 0, since pages were then copied unconverted.
//   - The values 4 and 8 of flg_hst_date put out_path's last-write date ("yy/mm/dd ") and time
//     ("hh:mm:ss  ", 8 only) in front of each line; nothing when out_path cannot be read.
//   - Cached text cannot add markup to the page: '<' and '>' in a link's text become "&lt;" and
//     "&gt;", '"' in a link target becomes "%22". Other bytes, entity references included, stay.
//     Each piece is bounded (target 950, text 1040 bytes after escaping, cut at a whole character
//     or escape) so that a line always fits kHistoryLineMax; a piece from the conversion (at most
//     260 bytes) is never cut, only a long history key.
void put_history_entry(OutputContext& ctx, const EntryFlags& flags, std::string_view title,
                       const char* url, const char* url_filename, const char* out_path);

// The bytes of a history key that can show: the escaped pieces above never take more.
constexpr size_t kHistoryKeyShown = 1041;

// History mode with visit dates: one line "    <DT>" `when` "<A HREF=\"url\">text</A>" `tail`,
// the text being `title` (already Shift-JIS) or, when it is empty, the URL; escaped and bounded as
// above.
void put_history_visit(OutputContext& ctx, const char* when, const char* url, const char* title,
                       const char* tail);

// Appends one printf-style text (cut to kHistoryLineMax bytes) to the history page; nothing at all
// while flg_hst_file is 0. The page is opened (append, text mode) by the first call of a run: a
// page that did not exist gets the page header, and the values 1 or 2 of flg_hst_date add the run's
// section header with the current time. A page that cannot be opened gives the error line
// "file can't open '%s'." (once a run) and the text is dropped; the next call tries again.
void hst_printf(OutputContext& ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));

// End of the run: closes the history page when it is open. False when the page could not be
// opened or written: a write that failed gets the error line "file can't write '%s'.".
bool close_history(OutputContext& ctx);

}  // namespace volari
