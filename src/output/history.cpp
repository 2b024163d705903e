#include <cstdio>
#include <cstring>

#include "output/output.h"
#include "support/disk.h"
#include "support/sjis.h"

namespace volari {

namespace {

constexpr size_t kTargetMax = 950;  // a link target after escaping
constexpr size_t kTextMax = 1040;   // a link's text after escaping: 259 bytes all '<' still fit

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
void date_prefix(OutputContext& ctx, const char* out_path, char* out, size_t size) {
  out[0] = '\0';
  const int bits = ctx.settings.flg_hst_date;
  if ((bits & 12) == 0) return;
  const PackedTime t = file_time_packed(ctx.platform, out_path);
  if (t == 0) return;
  const PackedFields f = unpack_date_time(t);
  const int n =
      std::snprintf(out, size, "%02u/%02u/%02u ", (f.year_field + 80) % 100, f.month, f.day);
  if ((bits & 8) != 0 && n > 0 && static_cast<size_t>(n) < size) {
    std::snprintf(out + n, size - n, "%02u:%02u:%02u  ", f.hour, f.minute, f.seconds);
  }
}

bool selected(const Settings& s, const EntryFlags& flags, const char* url_filename) {
  switch (s.flg_hst_mode) {
    case 1:
      return flags.flg_filename == 0;
    case 2: {
      char name[260];
      copy_text(name, url_filename);
      sjis_upper(name);
      return std::strncmp(name, "INDEX.HTM", 9) == 0;
    }
    case 3:
      return flags.flg_graphic == 0 || (flags.flg_url_ftp == 1 && flags.flg_filename == 0);
    default:
      return false;
  }
}

const char kFileLine[] = "    <DT>%s<A HREF=\"file://%s\">%s</A>\n";
const char kUrlLine[] = "    <DT>%s<A HREF=\"%s\">%s</A>\n";

}  // namespace

void find_title(OutputContext& ctx, const unsigned char* bytes, size_t length) {
  char* title = ctx.state.page_title;
  if ((ctx.settings.flg_hst_type & 1) == 0 || title[0] != '\0' || length <= 7) return;
  for (size_t i = 0; i < length - 7; ++i) {
    const void* lt = std::memchr(bytes + i, '<', length - 7 - i);
    if (lt == nullptr) break;
    i = static_cast<size_t>(static_cast<const unsigned char*>(lt) - bytes);
    if (std::memcmp(bytes + i, "<TITLE>", 7) != 0 && std::memcmp(bytes + i, "<title>", 7) != 0) {
      continue;
    }
    size_t n = 0;
    for (size_t j = i + 7; j < length && n < kTitleSize - 1 && bytes[j] != 0; ++j) {
      title[n++] = static_cast<char>(bytes[j]);
    }
    title[n] = '\0';
    break;
  }
  if (title[0] == '\0') return;
  for (char* p = title; *p != '\0'; ++p) {
    if (*p == '<' && (std::strncmp(p, "</TITLE>", 8) == 0 || std::strncmp(p, "</title>", 8) == 0)) {
      *p = '\0';
      break;
    }
  }
}

void put_history_entry(OutputContext& ctx, const EntryFlags& flags, const char* url,
                       const char* url_filename, const char* out_path) {
  const Settings& s = ctx.settings;
  OutputState& st = ctx.state;
  char url_target[kTargetMax + 1];
  char url_text[kTextMax + 1];
  escape(url, Piece::target, url_target, kTargetMax);
  escape(url, Piece::text, url_text, kTextMax);
  if (s.flg_hst_mode == 9) {
    hst_printf(ctx, "    <DT><A HREF=\"%s\">%s</A>\n", url_target, url_text);
    return;
  }
  if (!selected(s, flags, url_filename)) return;

  char link[kTitleSize * 2];
  local_link(out_path, link, sizeof link);
  char link_target[kTargetMax + 1];
  escape(link, Piece::target, link_target, kTargetMax);

  if (st.page_title[0] == '\0') {
    copy_text(st.page_title, url);
  } else if (s.flg_shiftjis == 0) {
    const size_t n = copy_text(st.copybuf, st.page_title);
    to_shiftjis(reinterpret_cast<const unsigned char*>(st.copybuf), n,
                reinterpret_cast<unsigned char*>(st.page_title));
  }
  char title_text[kTextMax + 1];
  escape(st.page_title, Piece::text, title_text, kTextMax);

  char prefix[32];
  date_prefix(ctx, out_path, prefix, sizeof prefix);

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

}  // namespace volari
