#include "run/index_survey.h"

#include <memory>
#include <optional>
#include <unordered_map>

#include "mapping/map_url.h"
#include "run/entry.h"
#include "support/sjis.h"

namespace volari {

namespace {

struct Candidate {
  uint32_t number;  // in the order read
  std::string cache_file;
  bool timed = false;            // `time` looked up (only once a second record turns up)
  std::optional<UnixTime> time;  // of its cache file; none when it is missing
};

std::optional<std::string> find_cache_file(Run& run, const Candidate& c, FileMode mode) {
  if (cache_name_escapes(c.cache_file.c_str())) return std::nullopt;
  return run.files.find(run.platform, text_of(run.settings.fat_directory) + c.cache_file, mode);
}

void look_up_time(Run& run, Candidate& c) {
  if (c.timed) return;
  c.timed = true;
  UnixTime time = 0;
  const auto path = find_cache_file(run, c, FileMode::read);
  if (path && run.platform.path_write_time(path->c_str(), &time)) c.time = time;
}

}  // namespace

void survey_index(Run& run) {
  run.superseded.clear();
  run.cache_found.clear();
  IndexReader reader;
  auto page = std::make_unique<PageBuffer>();
  auto batch = std::make_unique<EntryBatch>();
  const bool opened = open_index(reader, run.platform, run.index_path().c_str(),
                                 run.settings.intel_cpu == 0, *page);
  std::unordered_map<std::string, Candidate> best;
  uint32_t number = 0;
  while (opened && read_page(reader, run.platform, *page)) {
    parse_page(reader, *page, PageScan{}, *batch);  // no trace, no key polls
    for (uint32_t i = 0; i < batch->entry_count; ++i, ++number) {
      const CacheEntry& e = batch->entries[i];
      run.superseded.push_back(false);
      auto [it, first] =
          best.try_emplace(e.url, Candidate{number, e.cache_file, false, std::nullopt});
      if (first) continue;
      Candidate& held = it->second;
      Candidate next{number, e.cache_file, false, std::nullopt};
      look_up_time(run, held);
      look_up_time(run, next);
      const bool newer = next.time && (!held.time || *next.time > *held.time);
      run.superseded[newer ? held.number : next.number] = true;
      if (newer) held = std::move(next);
    }
  }
  close_index(reader, run.platform);
  if (run.settings.flg_local_links == 0) return;
  run.cache_found.assign(run.superseded.size(), false);
  // Every URL that maps to a path; the entries this run converts, as convert_entry will decide.
  for (auto& [url, held] : best) {
    const MappedUrl u = map_url(run.settings, url);
    if (u.outcome != MapOutcome::mapped) continue;
    bool converted = false;
    if (run.settings.flg_last_from == 0 && !held.timed) {
      // Only whether it is there, as convert_entry checks it; it need not look again.
      const auto path = find_cache_file(run, held, FileMode::read_no_link);
      converted = path.has_value();
      if (converted && *path == text_of(run.settings.fat_directory) + held.cache_file) {
        run.cache_found[held.number] = true;
      }
    } else {
      look_up_time(run, held);
      converted = held.time &&
                  (run.settings.flg_last_from == 0 ||
                   !older_than(packed_local(run.platform, *held.time), run.settings.flg_last_time));
    }
    run.link_targets.add(url, u.out_path, converted);
  }
}

}  // namespace volari
