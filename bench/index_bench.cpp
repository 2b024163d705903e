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

namespace {

using namespace volari;
using Clock = std::chrono::steady_clock;

using mkcache::DB;
using mkcache::DB_HASH;
using mkcache::DBT;
using mkcache::kRFirst;
using mkcache::kRNext;
using DbOpen = mkcache::DbOpenFn;

// The system platform with a keyboard that is never polled for real: the parser's own cost, without
// the system calls of the Escape poll made once per pair.
class NoKeys : public Platform {
 public:
  explicit NoKeys(Platform& real) : real_(real) {}
  FileHandle open_file(const char* p, FileMode m) override { return real_.open_file(p, m); }
  long read_file(FileHandle f, void* b, size_t n) override { return real_.read_file(f, b, n); }
  long write_file(FileHandle f, const void* b, size_t n) override {
    return real_.write_file(f, b, n);
  }
  bool close_file(FileHandle f) override { return real_.close_file(f); }
  int64_t file_size(FileHandle f) override { return real_.file_size(f); }
  bool file_times(FileHandle f, UnixTime* a, UnixTime* w) override {
    return real_.file_times(f, a, w);
  }
  bool set_file_times(FileHandle f, UnixTime a, UnixTime w) override {
    return real_.set_file_times(f, a, w);
  }
  bool remove_file(const char* p) override { return real_.remove_file(p); }
  bool rename_file(const char* a, const char* b) override { return real_.rename_file(a, b); }
  int attributes(const char* p) override { return real_.attributes(p); }
  bool make_dir(const char* p) override { return real_.make_dir(p); }
  bool set_path_time(const char* p, UnixTime t) override { return real_.set_path_time(p, t); }
  bool change_dir(const char* p) override { return real_.change_dir(p); }
  bool current_dir(char* o, size_t n) override { return real_.current_dir(o, n); }
  std::unique_ptr<DirSearch> find_files(const char* p) override { return real_.find_files(p); }
  DateTime local_time() override { return real_.local_time(); }
  uint32_t tick_count() override { return real_.tick_count(); }
  bool set_local_time(const DateTime& t) override { return real_.set_local_time(t); }
  bool set_system_time(const DateTime& t) override { return real_.set_system_time(t); }
  bool to_local(UnixTime t, DateTime* o) override { return real_.to_local(t, o); }
  bool to_utc(UnixTime t, DateTime* o) override { return real_.to_utc(t, o); }
  DirDating dir_dating() const override { return real_.dir_dating(); }
  void console_write(const char* b, size_t n) override { real_.console_write(b, n); }
  void console_flush() override { real_.console_flush(); }
  bool key_waiting() override { return false; }
  int read_key() override { return -1; }

 private:
  Platform& real_;
};

struct Pass {
  double seconds = 0;
  uint64_t pages = 0;
  uint64_t entries = 0;
};

Pass reader_pass(Platform& platform, const char* path, PageBuffer& page, EntryBatch& batch) {
  Settings settings;
  std::snprintf(settings.fat_filename, sizeof settings.fat_filename, "%s", path);
  Messages messages(platform);
  messages.verbose = false;
  IndexReader reader;
  Pass pass;
  const auto start = Clock::now();
  if (open_index(reader, platform, settings, page)) {
    while (read_page(reader, platform, page)) {
      ++pass.pages;
      parse_page(reader, platform, settings, messages, page, batch, nullptr);
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
