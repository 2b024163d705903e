#include <cstdio>
#include <cstring>

#include "output/history.h"
#include "output/jis.h"
#include "support/disk.h"
#include "support/sjis.h"

namespace volari {

namespace {

constexpr size_t kTargetMax = 950;  // a link target after escaping
constexpr size_t kTextMax = 1040;   // a link's text after escaping: 259 bytes all '<' still fit

static_assert(kHistoryKeyShown == kTextMax + 1, "a lead byte at the text's end needs its trail");

enum class Piece { target, text };

// Escapes `in` into `out` (max bytes plus the terminator), whole characters and escapes only.
void escape(const char* in, Piece kind, char* out, size_t max) {
  size_t o = 0;
  for (size_t i = 0; in[i] != '\0';) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    const char* put = in + i;
    size_t n = is_sjis_lead(c) && in[i + 1] != '\0' ? 2 : 1;
    size_t step = n;
    const char* rep = nullptr;
    if (kind == Piece::text && c == '<') rep = "&lt;";
    if (kind == Piece::text && c == '>') rep = "&gt;";
    if (kind == Piece::target && c == '"') rep = "%22";
    if (rep != nullptr) {
      put = rep;
      n = std::strlen(rep);
    }
    if (o + n > max) break;
    std::memcpy(out + o, put, n);
    o += n;
    i += step;
  }
  out[o] = '\0';
}

// "D:\OUT\A.HTM" -> "/D|/OUT/A.HTM". The second byte of a double-byte character is never a
// separator: turning it into '/' would link to a directory that does not exist.
void local_link(const char* out_path, char* out, size_t size) {
  size_t o = 0;
  size_t i = 0;
  if (out_path[0] != '\0' && out_path[1] == ':') {
    out[o++] = '/';
    out[o++] = out_path[0];
    out[o++] = '|';
    i = 2;
  }
  for (; out_path[i] != '\0' && o + 2 < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(out_path[i]);
    if (is_sjis_lead(c) && out_path[i + 1] != '\0') {
      out[o++] = out_path[i++];
      out[o++] = out_path[i];
    } else {
      out[o++] = c == '\\' ? '/' : out_path[i];
    }
  }
  out[o] = '\0';
}

// An output that was never created has no date: its prefix stays empty.
std::string date_prefix(OutputContext& ctx, const char* out_path) {
  const int bits = ctx.settings.flg_hst_date;
  if ((bits & (kHistoryDateLine | kHistoryTimeLine)) == 0) return "";
  const PackedTime t = file_time_packed(ctx.platform, out_path);
  if (t == 0) return "";
  if ((bits & kHistoryTimeLine) == 0) return short_date(t) + " ";
  return short_date(t) + " " + time_of_day(t) + "  ";
}

bool selected(const Settings& s, const EntryFlags& flags, const char* url_filename) {
  switch (s.flg_hst_mode) {
    case kHistoryNoFileName:
      return !flags.names_file;
    case kHistoryIndexPages: {
      std::string name(url_filename, strnlen(url_filename, 9));
      sjis_upper(name);
      return name == "INDEX.HTM";
    }
    case kHistoryPages:
      return !flags.graphic || (flags.url_ftp && !flags.names_file);
    default:
      return false;
  }
}

const char kFileLine[] = "    <DT>%s<A HREF=\"file://%s\">%s</A>\n";
const char kUrlLine[] = "    <DT>%s<A HREF=\"%s\">%s</A>\n";

}  // namespace

void put_history_entry(OutputContext& ctx, const EntryFlags& flags, std::string_view title,
                       const char* url, const char* url_filename, const char* out_path) {
  const Settings& s = ctx.settings;
  char url_target[kTargetMax + 1];
  char url_text[kTextMax + 1];
  escape(url, Piece::target, url_target, kTargetMax);
  escape(url, Piece::text, url_text, kTextMax);
  if (s.flg_hst_mode == kHistoryModeKeys) {
    hst_printf(ctx, "    <DT><A HREF=\"%s\">%s</A>\n", url_target, url_text);
    return;
  }
  if (!selected(s, flags, url_filename)) return;

  char link[kTitleSize * 2];
  local_link(out_path, link, sizeof link);
  char link_target[kTargetMax + 1];
  escape(link, Piece::target, link_target, kTargetMax);

  // A title of at most 259 bytes (the URL cut to them when there is none), in Shift-JIS.
  char label[kTitleSize];
  if (title.empty()) {
    copy_text(label, url);
  } else if (s.flg_shiftjis == 0) {
    to_shiftjis(reinterpret_cast<const unsigned char*>(title.data()), title.size(),
                reinterpret_cast<unsigned char*>(label));
  } else {
    copy_text(label, std::string(title).c_str());
  }
  char title_text[kTextMax + 1];
  escape(label, Piece::text, title_text, kTextMax);
  const std::string prefix_text = date_prefix(ctx, out_path);
  const char* prefix = prefix_text.c_str();

  switch (s.flg_hst_type) {
    case 1:
      hst_printf(ctx, kFileLine, prefix, link_target, title_text);
      break;
    case 2:
      hst_printf(ctx, kFileLine, prefix, link_target, url_text);
      break;
    case 3:
      hst_printf(ctx, kFileLine, prefix, link_target, title_text);
      hst_printf(ctx, kFileLine, prefix, link_target, url_text);
      break;
    case 4:
      hst_printf(ctx, kFileLine, prefix, link_target, title_text);
      hst_printf(ctx, kUrlLine, prefix, url_target, url_text);
      break;
    default:
      break;
  }
}

void put_history_visit(OutputContext& ctx, const char* when, const char* url, const char* title,
                       const char* tail) {
  char target[kTargetMax + 1];
  char text[kTextMax + 1];
  escape(url, Piece::target, target, kTargetMax);
  escape(title[0] != '\0' ? title : url, Piece::text, text, kTextMax);
  hst_printf(ctx, "    <DT>%s<A HREF=\"%s\">%s</A>%s\n", when, target, text, tail);
}

}  // namespace volari
