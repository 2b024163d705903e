// libFuzzer target: the whole index reader (open, then read and parse every page) over one input
// taken as the index file, served from memory. Beyond the sanitizers, the bytes of the page
// buffer past the page just read are poisoned while it is parsed, so a read of what an earlier
// page left there is reported too; batch and history keys are checked against their limits.
#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "index/index_reader.h"

namespace {

using namespace volari;

constexpr FileHandle kIndexHandle = 3;

class MemoryPlatform : public Platform {
 public:
  MemoryPlatform(const uint8_t* data, size_t size, int escape_at)
      : data_(data), size_(size), escape_at_(escape_at) {}
  int polls = 0;
  size_t console_bytes = 0;

  FileHandle open_file(const char* path, FileMode mode) override {
    if (mode != FileMode::read || std::strcmp(path, "FAT.DB") != 0) return kNoFile;
    pos_ = 0;
    return kIndexHandle;
  }
  long read_file(FileHandle f, void* buf, size_t n) override {
    if (f != kIndexHandle) return -1;
    const size_t got = n < size_ - pos_ ? n : size_ - pos_;
    if (got) std::memcpy(buf, data_ + pos_, got);
    pos_ += got;
    return long(got);
  }
  long write_file(FileHandle, const void*, size_t) override { return -1; }
  bool close_file(FileHandle f) override { return f == kIndexHandle; }
  int64_t file_size(FileHandle) override { return int64_t(size_); }
  bool file_times(FileHandle, UnixTime*, UnixTime*) override { return false; }
  bool set_file_times(FileHandle, UnixTime, UnixTime) override { return false; }
  bool remove_file(const char*) override { return false; }
  bool rename_file(const char*, const char*) override { return false; }
  int attributes(const char*) override { return -1; }
  bool make_dir(const char*) override { return false; }
  bool set_path_time(const char*, UnixTime) override { return false; }
  bool change_dir(const char*) override { return false; }
  bool current_dir(char*, size_t) override { return false; }
  std::unique_ptr<DirSearch> find_files(const char*) override { return nullptr; }
  DateTime local_time() override { return DateTime{}; }
  uint32_t tick_count() override { return 0; }
  bool set_local_time(const DateTime&) override { return false; }
  bool set_system_time(const DateTime&) override { return false; }
  bool to_local(UnixTime, DateTime*) override { return false; }
  bool to_utc(UnixTime, DateTime*) override { return false; }
  DirDating dir_dating() const override { return DirDating::by_stamp; }
  void console_write(const char*, size_t n) override { console_bytes += n; }
  void console_flush() override {}
  bool key_waiting() override { return ++polls == escape_at_; }
  int read_key() override { return 27; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  int escape_at_;
};

const PageBuffer* g_page = nullptr;
uint32_t g_page_size = 0;

class CheckedSink : public HistoryKeySink {
 public:
  void history_key(const char* url) override {
    const auto* p = reinterpret_cast<const unsigned char*>(url);
    if (p < g_page->bytes || p >= g_page->bytes + g_page_size) std::abort();
    if (!std::memchr(p, 0, size_t(g_page->bytes + g_page_size - p))) std::abort();
  }
};

void check_batch(const EntryBatch& batch) {
  if (batch.entry_count > kBatchSlots) std::abort();
  for (uint32_t i = 0; i < batch.entry_count; ++i) {
    const CacheEntry& e = batch.entries[i];
    if (!std::memchr(e.url, 0, 260) || std::strlen(e.url) > 259) std::abort();
    if (!std::memchr(e.cache_file, 0, 260) || std::strlen(e.cache_file) > 259) std::abort();
  }
}

struct Mode {
  int intel_cpu, history, debug;
};

void run_once(const uint8_t* data, size_t size, const Mode& mode, int escape_at) {
  static auto page = std::make_unique<PageBuffer>();
  static auto batch = std::make_unique<EntryBatch>();
  MemoryPlatform platform(data, size, escape_at);
  Settings settings;
  settings.intel_cpu = mode.intel_cpu;
  settings.flg_history_db = mode.history;
  settings.flg_debug = mode.debug;
  Messages messages(platform);
  CheckedSink sink;
  IndexReader reader;
  std::memset(page->bytes, 0x41, sizeof page->bytes);  // stale bytes from an earlier use
  if (open_index(reader, platform, settings, *page)) {
    if (reader.cache_size > kPageBufferSize) std::abort();
    while (read_page(reader, platform, *page)) {
      g_page = page.get();
      g_page_size = reader.cache_size;
      ASAN_POISON_MEMORY_REGION(page->bytes + reader.cache_size,
                                kPageBufferSize - reader.cache_size);
      const int rc = parse_page(reader, platform, settings, messages, *page, *batch, &sink);
      ASAN_UNPOISON_MEMORY_REGION(page->bytes, kPageBufferSize);
      check_batch(*batch);
      if (mode.history && batch->entry_count) std::abort();
      if (!rc) break;
    }
  }
  close_index(reader, platform);
  if (reader.is_open()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Mode modes[] = {{1, 0, 3}, {0, 0, 0}, {1, 1, 3}};
  for (const Mode& m : modes) run_once(data, size, m, 0);
  // Escape somewhere in the scan, from the input's own length.
  run_once(data, size, modes[0], int(size % 97) + 1);
  return 0;
}
