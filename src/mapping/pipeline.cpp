#include "mapping/pipeline.h"

#include <cstring>

#include "mapping/file_naming.h"
#include "mapping/host_naming.h"
#include "mapping/name_filter.h"
#include "mapping/out_path.h"
#include "support/keys.h"
#include "support/sjis.h"

namespace volari {

namespace {

constexpr int kSkipHttp = 1;
constexpr int kSkipFtp = 2;
constexpr int kSkipFile = 4;

// Case of ASCII letters ignored, every other byte exact.
bool same_host(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Field by field from the year down; seconds are never compared.
bool older_than(PackedTime file, PackedTime last) {
  PackedFields f = unpack_date_time(file);
  PackedFields l = unpack_date_time(last);
  const unsigned fv[] = {f.year_field, f.month, f.day, f.hour, f.minute};
  const unsigned lv[] = {l.year_field, l.month, l.day, l.hour, l.minute};
  for (int i = 0; i < 5; ++i) {
    if (fv[i] != lv[i]) return fv[i] < lv[i];
  }
  return false;
}

void trace_time(Messages& m, const char* format, PackedTime t) {
  PackedFields f = unpack_date_time(t);
  m.verbose_printf(format, static_cast<int>(f.year_field + 1980), static_cast<int>(f.month),
                   static_cast<int>(f.day), static_cast<int>(f.hour), static_cast<int>(f.minute));
}

// One entry; counts its outcome. The steps end at the first that skips the entry.
void convert_entry(PipelineContext& p, OutputContext& output, const CacheEntry& entry, int index) {
  const Settings& s = p.settings;
  Messages& m = p.messages;
  RunCounters& c = p.counters;
  EntryMapping& e = p.mapping;

  e.url = entry.url;
  e.flags = EntryFlags{};
  e.cache_path = s.fat_directory;
  e.cache_path += entry.cache_file;
  ++c.cnt_cache_file;

  if (cache_name_escapes(entry.cache_file) || !file_exists(p.platform, e.cache_path.c_str())) {
    if (s.flg_debug >= 2) m.verbose_printf("\tcache not exist %s\n", e.cache_path.c_str());
    ++c.cnt_skip_nofile;
    return;
  }

  if (s.flg_last_from != 0) {
    PackedTime t = file_time_packed(p.platform, e.cache_path.c_str());
    if (s.flg_debug >= 2) {
      trace_time(m, "\tbefore %04d/%02d/%02d %02d:%02d\n", s.flg_last_time);
      trace_time(m, "\tftime  %04d/%02d/%02d %02d:%02d\n", t);
    }
    if (older_than(t, s.flg_last_time)) {
      if (s.flg_debug >= 2) m.verbose_printf("\tbefore run %s\n", e.cache_path.c_str());
      ++c.cnt_skip_before;
      return;
    }
  }

  if (s.flg_debug >= 1) {
    m.verbose_printf("No. =%d\n", index);
    m.verbose_printf("http=%s\n", entry.url);
    m.verbose_printf("file=%s\n", entry.cache_file);
  }

  e.url_kind = classify_url(e.url);
  switch (e.url_kind) {
    case kind_http:
    case kind_https:
      if (s.flg_skip_url & kSkipHttp) return;
      break;
    case kind_ftp:
      ++c.cnt_skip_nohttp;
      if (s.flg_skip_url & kSkipFtp) return;
      e.flags.flg_url_ftp = 1;
      break;
    case kind_file:
      if (s.flg_skip_url & kSkipFile) return;
      e.flags.flg_url_ftp = 1;
      break;
    default:
      break;
  }

  e.url_domain = split_url_domain(e.url_kind, e.url);
  e.url_directory = split_url_directory(e.url_kind, e.url);
  e.url_filename = split_url_filename(e.url_kind, e.url);
  if (s.flg_debug >= 1) {
    m.verbose_printf("\turl_domain   =%s\n", e.url_domain.c_str());
    m.verbose_printf("\turl_directory=%s\n", e.url_directory.c_str());
    m.verbose_printf("\turl_filename =%s\n", e.url_filename.c_str());
  }

  if (s.flg_test == 4) {
    m.verbose_printf("\ttodir proc skip\n");
    return;
  }

  if (s.flg_dom_only != 0 && !same_host(e.url_domain, s.domain_only)) {
    ++c.cnt_skip_nofile;
    return;
  }

  e.dir_domain = make_dir_domain(s, e.url_domain);
  e.dir_directory = make_dir_directory(s, e.url_directory);
  e.flags.flg_filename = make_dir_filename(s, e.url_filename, e.dir_filename);
  if (s.flg_debug >= 1) {
    m.verbose_printf("\tdir_domain   =%s\n", e.dir_domain.c_str());
    m.verbose_printf("\tdir_directory=%s\n", e.dir_directory.c_str());
    m.verbose_printf("\tdir_filename =%s\n", e.dir_filename.c_str());
  }

  if (s.flg_test == 3) {
    m.verbose_printf("\tcgi proc skip\n");
    return;
  }

  if (filter_name(s, e.dir_directory) == filter_refused) {
    ++c.cnt_skip_cgi;
    return;
  }
  FilterResult file_result = filter_name(s, e.dir_filename);
  if (file_result == filter_refused) {
    ++c.cnt_skip_cgi;
    return;
  }
  if (file_result == filter_cut_cgi && s.cgi_name[0] != '\0') e.dir_filename = s.cgi_name;

  if (e.flags.flg_url_ftp == 0) e.flags.flg_graphic = is_graphic_name(e.dir_filename);
  if (s.flg_debug >= 1) {
    m.verbose_printf("\tflg_graphic =%d\n", e.flags.flg_graphic);
    m.verbose_printf("\tflg_url_ftp =%d\n", e.flags.flg_url_ftp);
    m.verbose_printf("\tflg_filename=%d\n", e.flags.flg_filename);
  }

  if (make_out_path(s, e.dir_domain, e.dir_directory, e.dir_filename, e.out_path)) {
    if (s.flg_debug >= 1) m.verbose_printf("\tout path refused %s\n", e.out_path.c_str());
    ++c.cnt_skip_cgi;
    return;
  }

  if (s.flg_test == 0) {
    // The directory of the file; when the path has no '\' below its first byte there is none to
    // make (out_directory itself). A second byte 0x5C of a double-byte character is no separator:
    // cut there, the path would name a stray directory after half a character.
    size_t last = std::string::npos;
    for (size_t i = 0; i < e.out_path.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(e.out_path[i]);
      if (c == '\\') {
        last = i;
      } else if (is_sjis_lead(c)) {
        ++i;
      }
    }
    if (last != std::string::npos && last > 0) {
      const std::string dir = e.out_path.substr(0, last);
      if (p.known.made.count(dir) == 0) {
        if (s.flg_dir_time != 0) {
          make_dirs_dated(p.platform, dir.c_str(), e.cache_path.c_str(), p.dated);
        } else {
          make_dirs(p.platform, dir.c_str());
        }
        if (dir_exists(p.platform, dir.c_str())) p.known.made.insert(dir);
      }
    }
  }

  m.verbose_printf("%s\n -> %s\n", e.url.c_str(), e.out_path.c_str());

  if (e.flags.flg_graphic == 1 && (e.flags.flg_url_ftp == 0 || e.flags.flg_filename == 1)) {
    ++c.cnt_graphic_file;
  } else {
    ++c.cnt_html_file;
  }
  ++c.cnt_conv_file;

  if (s.flg_test != 0) return;
  copy_cache_file(output, e.flags, e.cache_path.c_str(), e.out_path.c_str());
  put_history_entry(output, e.flags, e.url.c_str(), e.url_filename.c_str(), e.out_path.c_str());
}

}  // namespace

bool cache_name_escapes(const char* name) {
  if (name[0] == '\\' || name[0] == '/') return true;
  if (name[0] != '\0' && name[1] == ':') return true;
  const char* part = name;
  for (const char* p = name;; ++p) {
    if (*p == '\\' || *p == '/' || *p == '\0') {
      if (p - part == 2 && part[0] == '.' && part[1] == '.') return true;
      if (*p == '\0') return false;
      part = p + 1;
    }
  }
}

int convert_batch(PipelineContext& pipeline, OutputContext& output, const EntryBatch& batch) {
  for (uint32_t i = 0; i < batch.entry_count; ++i) {
    if (poll_escape(pipeline.platform) == kKeyEscape) return 0;
    convert_entry(pipeline, output, batch.entries[i], static_cast<int>(i));
  }
  return 1;
}

}  // namespace volari
