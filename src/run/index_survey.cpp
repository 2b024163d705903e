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

void look_up_time(Run& run, Candidate& c) {
  if (c.timed) return;
  c.timed = true;
  if (cache_name_escapes(c.cache_file.c_str())) return;
  const auto path =
      run.files.find(run.platform, text_of(run.settings.fat_directory) + c.cache_file);
  if (path) c.time = file_write_time(run.platform, path->c_str());
}

}  // namespace

void survey_index(Run& run) {
  run.superseded.clear();
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
  // Every URL that maps to a path; the entries this run converts, as convert_entry will decide.
  for (auto& [url, held] : best) {
    const MappedUrl u = map_url(run.settings, url);
    if (u.outcome != MapOutcome::mapped) continue;
    look_up_time(run, held);
    const bool converted = held.time && (run.settings.flg_last_from == 0 ||
                                         !older_than(packed_local(run.platform, *held.time),
                                                     run.settings.flg_last_time));
    run.link_targets.add(url, u.out_path, converted);
  }
}

}  // namespace volari
