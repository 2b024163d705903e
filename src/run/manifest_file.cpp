#include "run/manifest_file.h"

#include "output/jis.h"
#include "output/sites_page.h"
#include "support/error_line.h"
#include "support/file_replacement.h"
#include "support/sjis.h"

namespace volari {

namespace {

constexpr int64_t kManifestMax = int64_t(1) << 30;

std::string in_out_directory(const Run& run, const char* name) {
  return text_of(run.settings.out_directory) + name;
}

EntryStatus status_of(EntryOutcome outcome) {
  switch (outcome) {
    case EntryOutcome::missing_file:
      return EntryStatus::missing;
    case EntryOutcome::before_last_time:
      return EntryStatus::before_last_time;
    case EntryOutcome::uncounted:
      return EntryStatus::not_http;
    case EntryOutcome::other_host:
      return EntryStatus::other_host;
    case EntryOutcome::name_refused:
      return EntryStatus::cgi;
    case EntryOutcome::copy_failed:
      return EntryStatus::copy_failed;
    case EntryOutcome::page:
    case EntryOutcome::image:
      break;
  }
  return EntryStatus::converted;
}

}  // namespace

void open_manifest(Run& run) {
  const Settings& s = run.settings;
  run.manifest.reset();
  if (s.flg_manifest == 0 || s.flg_test != 0 || s.flg_history_db != 0) return;
  const std::string path = in_out_directory(run, kManifestName);
  Manifest manifest;
  const FileHandle f = run.platform.open_file(path.c_str(), FileMode::read);
  if (f != kNoFile) {
    std::string text;
    const bool read = read_whole_file(run.platform, f, kManifestMax, text);
    run.platform.close_file(f);
    if (!read || !load_manifest(text, manifest)) {
      error_line(run.platform, "file can't write '%s'.", path);
      run.failed = true;
      return;
    }
  }
  run.manifest = std::move(manifest);
}

void note_entry(Run& run, const CacheEntry& entry, EntryOutcome outcome,
                const std::string* cache_path, ManifestEntry& note) {
  if (!run.manifest) return;
  Platform& p = run.platform;
  note.status = status_of(outcome);
  note.url = entry.url;
  note.cache_file = entry.cache_file;
  note.content_type = entry.record.content_type;
  note.charset = entry.record.charset;
  // Pages copied byte for byte keep their titles as they were written.
  if (run.settings.flg_shiftjis == 0 && !note.title.empty()) {
    std::string title(note.title.size() + 1, '\0');
    title.resize(to_shiftjis(reinterpret_cast<const unsigned char*>(note.title.data()),
                             note.title.size(), reinterpret_cast<unsigned char*>(title.data())));
    note.title = std::move(title);
  }
  const FileHandle f =
      cache_path ? p.open_file(cache_path->c_str(), FileMode::read_no_link) : kNoFile;
  UnixTime access = 0, write = 0;
  DateTime local;
  if (f != kNoFile) {
    const int64_t size = p.file_size(f);
    if (size >= 0) note.size = static_cast<uint64_t>(size);
    if (p.file_times(f, &access, &write) && p.to_local(write, &local)) note.time = local;
    p.close_file(f);
  }
  record_entry(*run.manifest, note, run.settings.out_directory);
}

bool write_manifest(Run& run) {
  bool ok = true;
  const std::pair<const char*, std::string> files[] = {
      {kManifestName, manifest_text(*run.manifest)},
      {kSitesPageName, sites_page(*run.manifest)},
  };
  for (const auto& [name, text] : files) {
    const std::string path = in_out_directory(run, name);
    if (!replace_whole_file(run.platform, path, text)) {
      error_line(run.platform, "file can't write '%s'.", path);
      ok = false;
    }
  }
  return ok;
}

}  // namespace volari
