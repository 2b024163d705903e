// What the LOCAL_LINKS table costs: every URL of an index mapped to its output path and held, as
// the survey does, with the heap it takes per entry (glibc's mallinfo2) and the time.
//   link_table_bench FAT.DB
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "index/index_reader.h"
#include "mapping/map_url.h"
#include "run/link_targets.h"
#include "support/sjis.h"

int main(int argc, char** argv) {
  using namespace volari;
  if (argc != 2) {
    std::fprintf(stderr, "usage: link_table_bench FAT.DB\n");
    return 2;
  }
  Platform& platform = system_platform();
  Settings settings;  // as a user's: an output folder of its own, hosts with an ending
  copy_text(settings.out_directory, "\\home\\user\\netscape-copy\\");
  copy_text(settings.domain_ext, ".DOM");
  auto page = std::make_unique<PageBuffer>();
  auto batch = std::make_unique<EntryBatch>();
  IndexReader reader;
  LinkTargets table(platform, settings);
  // Small blocks and the large ones glibc maps on their own (the flat tables).
  const auto heap_now = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
  const size_t heap_before = heap_now();
  const auto start = std::chrono::steady_clock::now();
  if (!open_index(reader, platform, argv[1], false, *page)) return 1;
  while (read_page(reader, platform, *page)) {
    parse_page(reader, *page, PageScan{}, *batch);
    for (uint32_t i = 0; i < batch->entry_count; ++i) {
      MappedUrl u = map_url(settings, batch->entries[i].url);
      if (u.outcome == MapOutcome::mapped) table.add(batch->entries[i].url, u.out_path, true);
    }
  }
  close_index(reader, platform);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t heap = heap_now() - heap_before;
  std::printf("link table: %zu entries, %zu bytes of heap, %.0f bytes per entry, %.1f ms\n",
              table.size(), heap, static_cast<double>(heap) / table.size(), seconds * 1e3);
  return 0;
}
