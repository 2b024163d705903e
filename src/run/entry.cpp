#include "run/entry.h"

#include <algorithm>

#include "mapping/map_url.h"
#include "output/copy.h"
#include "output/history.h"
#include "output/link_rewrite.h"
#include "run/manifest_file.h"
#include "support/keys.h"
#include "support/sjis.h"

namespace volari {

namespace {

void trace_time(Messages& m, const char* label, PackedTime t) {
  m.verbose_printf("%s%s\n", label, long_date_time(t).c_str());
}

// The entry's directory, made once per run. A path with no separator below its first byte has
// none to make (out_directory itself).
void make_entry_dir(Run& run, const std::string& out_path, const std::string& cache_path) {
  const size_t last = last_separator(out_path);
  if (last == std::string::npos || last == 0) return;
  const std::string dir = out_path.substr(0, last);
  if (run.made_dirs.count(dir) != 0) return;
  if (run.settings.flg_dir_time != 0) {
    make_dirs_dated(run.platform, dir.c_str(), cache_path.c_str(), run.dated);
  } else {
    make_dirs(run.platform, dir.c_str());
  }
  if (dir_exists(run.platform, dir.c_str())) run.made_dirs.insert(dir);
}

// The naming of an entry, traced as it goes; the copy and the history of a mapped one.
EntryOutcome name_and_copy(Run& run, const CacheEntry& entry, const std::string& cache_path,
                           ManifestEntry& note) {
  const Settings& s = run.settings;
  Messages& m = run.messages;
  const MappedUrl u = map_url(s, entry.url);
  if (u.outcome == MapOutcome::kind_skipped) return EntryOutcome::uncounted;
  if (s.flg_debug >= 1) {
    m.verbose_printf("\turl_domain   =%s\n", u.url_domain.c_str());
    m.verbose_printf("\turl_directory=%s\n", u.url_directory.c_str());
    m.verbose_printf("\turl_filename =%s\n", u.url_filename.c_str());
  }
  if (s.flg_test == kTestStopBeforeHost) {
    m.verbose_printf("\ttodir proc skip\n");
    return EntryOutcome::uncounted;
  }
  if (u.outcome == MapOutcome::other_host) return EntryOutcome::other_host;
  if (s.flg_debug >= 1) {
    m.verbose_printf("\tdir_domain   =%s\n", path_for_display(u.dir_domain).c_str());
    m.verbose_printf("\tdir_directory=%s\n", path_for_display(u.dir_directory).c_str());
    m.verbose_printf("\tdir_filename =%s\n", path_for_display(u.dir_filename).c_str());
  }
  if (s.flg_test == kTestStopBeforeFilter) {
    m.verbose_printf("\tcgi proc skip\n");
    return EntryOutcome::uncounted;
  }
  if (u.outcome == MapOutcome::name_refused) return EntryOutcome::name_refused;
  if (s.flg_debug >= 1) {
    m.verbose_printf("\tflg_graphic =%d\n", u.flags.graphic ? 1 : 0);
    m.verbose_printf("\tflg_url_ftp =%d\n", u.flags.url_ftp ? 1 : 0);
    m.verbose_printf("\tflg_filename=%d\n", u.flags.names_file ? 1 : 0);
  }
  if (u.outcome == MapOutcome::path_refused) {
    if (s.flg_debug >= 1)
      m.verbose_printf("\tout path refused %s\n", path_for_display(u.out_path).c_str());
    return EntryOutcome::name_refused;
  }

  if (s.flg_test == 0) make_entry_dir(run, u.out_path, cache_path);
  m.verbose_printf("%s\n -> %s\n", entry.url, path_for_display(u.out_path).c_str());
  const bool image = u.flags.graphic && (!u.flags.url_ftp || u.flags.names_file);
  note.out_path = u.out_path;
  note.page = !image;
  if (s.flg_test == 0) {
    OutputContext out = run.output_context();
    const ServerSaid server{entry.record.charset, entry.record.content_type};
    std::optional<LinkRewriter> links;
    if (s.flg_local_links != 0 && !u.flags.graphic) {
      links.emplace(entry.url, u.out_path, &run.link_targets, &run.link_memo);
    }
    const CopyResult copy = copy_cache_file(out, u.flags, cache_path.c_str(), u.out_path.c_str(),
                                            server, links ? &*links : nullptr);
    note.title = copy.title;
    if (copy.charset != Charset::unknown) note.encoding = charset_label(copy.charset);
    if (!copy.ok) {
      const PackedTime cached = file_time_packed(run.platform, cache_path.c_str());
      run.oldest_failed_copy = std::min(cached, run.oldest_failed_copy.value_or(cached));
      return EntryOutcome::copy_failed;
    }
    // The manifest looks for titles whatever HISTORYPUT says; the history page only as it says.
    put_history_entry(out, u.flags, (s.flg_hst_type & 1) != 0 ? copy.title : std::string(),
                      entry.url, u.url_filename.c_str(), u.out_path.c_str());
  }
  return image ? EntryOutcome::image : EntryOutcome::page;
}

// An entry's end: counted, and noted in the manifest.
void finish_entry(Run& run, const CacheEntry& entry, EntryOutcome outcome, bool ftp,
                  const std::string* cache_path, ManifestEntry& note) {
  count(run.counters, outcome, ftp);
  note_entry(run, entry, outcome, cache_path, note);
}

// One entry, whose outcome is counted; the steps end at the first that leaves it out.
void convert_entry(Run& run, const CacheEntry& entry, int index, uint32_t number) {
  const Settings& s = run.settings;
  Messages& m = run.messages;
  ManifestEntry note;
  const std::string named = text_of(s.fat_directory) + entry.cache_file;
  const bool surveyed = number < run.cache_found.size() && run.cache_found[number];
  const std::optional<std::string> found =
      surveyed ? std::optional<std::string>(named)
      : cache_name_escapes(entry.cache_file)
          ? std::nullopt
          : run.files.find(run.platform, named, FileMode::read_no_link);
  if (!found) {
    if (s.flg_debug >= 2) {
      m.verbose_printf("\tcache not exist %s\n", path_for_display(named).c_str());
    }
    finish_entry(run, entry, EntryOutcome::missing_file, false, nullptr, note);
    return;
  }
  const std::string& cache_path = *found;
  if (s.flg_last_from != 0) {
    const PackedTime t = file_time_packed(run.platform, cache_path.c_str());
    if (s.flg_debug >= 2) {
      trace_time(m, "\tbefore ", s.flg_last_time);
      trace_time(m, "\tftime  ", t);
    }
    if (older_than(t, s.flg_last_time)) {
      if (s.flg_debug >= 2)
        m.verbose_printf("\tbefore run %s\n", path_for_display(cache_path).c_str());
      finish_entry(run, entry, EntryOutcome::before_last_time, false, &cache_path, note);
      return;
    }
  }
  if (s.flg_debug >= 1) {
    m.verbose_printf("No. =%d\n", index);
    m.verbose_printf("http=%s\n", entry.url);
    m.verbose_printf("file=%s\n", entry.cache_file);
  }
  const bool ftp = classify_url(entry.url) == UrlKind::ftp;
  const EntryOutcome outcome = name_and_copy(run, entry, cache_path, note);
  finish_entry(run, entry, outcome, ftp, &cache_path, note);
}

}  // namespace

bool older_than(PackedTime file, PackedTime last) {
  return (file >> 5) < (last >> 5);
}

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

bool convert_batch(Run& run, const EntryBatch& batch) {
  for (uint32_t i = 0; i < batch.entry_count; ++i) {
    if (escape_pressed(run.platform)) return false;
    const uint32_t number = run.entries_read++;
    if (number < run.superseded.size() && run.superseded[number]) continue;
    convert_entry(run, batch.entries[i], static_cast<int>(i), number);
  }
  return true;
}

}  // namespace volari
