// Throughput of the index reader (read_page + parse_page) against the hash library's own
// sequential read (seq) over the same index file, both from a warm file cache.
//
//   index_bench INDEX_FILE [PASSES]        (PASSES: 5; the best pass of each counts)
#include <fcntl.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "index/index_reader.h"
#include "libdb185.h"
#include "platform/platform_wrapper.h"

namespace {

using namespace volari;
using Clock = std::chrono::steady_clock;

using mkcache::DB;
using mkcache::DB_HASH;
using mkcache::DBT;
using mkcache::kRFirst;
using mkcache::kRNext;
using DbOpen = mkcache::DbOpenFn;

// The system platform with a keyboard that is never polled for real: the parser's own cost, with
// the call of the Escape poll made once per pair but not its system calls.
class NoKeys : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  bool key_waiting() override { return false; }
  int read_key() override { return -1; }
};

struct Pass {
  double seconds = 0;
  uint64_t pages = 0;
  uint64_t entries = 0;
};

Pass reader_pass(Platform& platform, const char* path, PageBuffer& page, EntryBatch& batch) {
  IndexReader reader;
  Pass pass;
  PageScan scan;
  scan.keys = &platform;
  const auto start = Clock::now();
  if (open_index(reader, platform, path, false, page)) {
    while (read_page(reader, platform, page)) {
      ++pass.pages;
      parse_page(reader, page, scan, batch);
      pass.entries += batch.entry_count;
    }
  }
  close_index(reader, platform);
  pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return pass;
}

Pass library_pass(DbOpen dbopen, const char* path, uint64_t file_pages) {
  Pass pass;
  const auto start = Clock::now();
  DB* db = dbopen(path, O_RDONLY, 0, DB_HASH, nullptr);
  if (!db) {
    std::fprintf(stderr, "dbopen %s failed\n", path);
    std::exit(1);
  }
  DBT key, data;
  for (int rc = db->seq(db, &key, &data, kRFirst); rc == 0; rc = db->seq(db, &key, &data, kRNext))
    ++pass.entries;
  db->close(db);
  pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  pass.pages = file_pages;
  return pass;
}

void report(const char* what, const Pass& p) {
  std::printf("%-24s %8.1f ms  %9llu pages  %9llu pairs  %11.0f pages/s  %12.0f entries/s\n", what,
              p.seconds * 1e3, static_cast<unsigned long long>(p.pages),
              static_cast<unsigned long long>(p.entries), p.pages / p.seconds,
              p.entries / p.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: index_bench INDEX_FILE [PASSES]\n");
    return 2;
  }
  const char* path = argv[1];
  const int passes = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string error;
  DbOpen dbopen = mkcache::load_dbopen(error);
  if (!dbopen) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  auto page = std::make_unique<PageBuffer>();
  auto batch = std::make_unique<EntryBatch>();
  NoKeys no_keys(system_platform());
  Pass best_reader, best_parser, best_library;
  for (int i = 0; i < passes; ++i) {
    Pass r = reader_pass(system_platform(), path, *page, *batch);
    if (i == 0 || r.seconds < best_reader.seconds) best_reader = r;
    Pass q = reader_pass(no_keys, path, *page, *batch);
    if (i == 0 || q.seconds < best_parser.seconds) best_parser = q;
    // The library visits the same file; count its pages as the reader does (header excluded).
    Pass l = library_pass(dbopen, path, r.pages);
    if (i == 0 || l.seconds < best_library.seconds) best_library = l;
  }
  std::printf("%s, best of %d passes\n", path, passes);
  report("reader, real key poll", best_reader);
  report("reader, no key poll", best_parser);
  report("library seq()", best_library);
  std::printf("pages/s against seq(): %.2fx with the key poll, %.2fx without\n",
              best_library.seconds / best_reader.seconds,
              best_library.seconds / best_parser.seconds);
  return 0;
}
