#include <cstdarg>
#include <cstdio>

#include "output/history.h"
#include "support/disk.h"
#include "support/error_line.h"
#include "support/japanese.h"

namespace volari {

namespace {

// A page made here says what it is written in, so that a browser needs no guess.
const char kPageHeader[] =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\n"
    "<TITLE>History from VOLARI</TITLE>\n<H2>History from VOLARI</H2>\n<DL><P>\n";

bool open_page(OutputContext& ctx) {
  const Settings& s = ctx.settings;
  TextFile& page = ctx.state.hst;
  const bool existed = file_exists(ctx.platform, s.hst_filename);
  if (!page.open(s.hst_filename, TextMode::append)) {
    if (!ctx.state.hst_failed) error_line(ctx.platform, "file can't open '%s'.", s.hst_filename);
    ctx.state.hst_failed = true;
    return false;
  }
  if (!existed) page.puts(kPageHeader);
  if ((s.flg_hst_date & (kHistoryDateSection | kHistoryTimeSection)) != 0) {
    const PackedTime now = now_packed(ctx.platform);
    std::string when = short_date(now) + " ";
    if ((s.flg_hst_date & kHistoryTimeSection) != 0) when += time_of_day(now);
    char header[128];
    std::snprintf(header, sizeof header, ja::kSectionHeaderFormat, when.c_str());
    page.puts(header);
  }
  return true;
}

}  // namespace

void hst_printf(OutputContext& ctx, const char* format, ...) {
  if (ctx.settings.flg_hst_file == 0) return;
  char text[kHistoryLineMax + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (!ctx.state.hst.is_open() && !open_page(ctx)) return;
  ctx.state.hst.puts(text);
}

bool close_history(OutputContext& ctx) {
  OutputState& st = ctx.state;
  if (st.hst.is_open() && !st.hst.close()) {
    error_line(ctx.platform, "file can't write '%s'.", ctx.settings.hst_filename);
    st.hst_failed = true;
  }
  const bool ok = !st.hst_failed;
  st.hst_failed = false;
  return ok;
}

}  // namespace volari
