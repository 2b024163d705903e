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
#include "output/history_record.h"
#include "platform/platform_wrapper.h"

namespace {

using namespace volari;

constexpr FileHandle kIndexHandle = 3;

// The index served from memory; every other call goes to the system, but for the console, which
// only counts, and the keyboard, which presses Escape at the given poll.
class MemoryPlatform : public PlatformWrapper {
 public:
  MemoryPlatform(const uint8_t* data, size_t size, int escape_at)
      : PlatformWrapper(system_platform()), data_(data), size_(size), escape_at_(escape_at) {}
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
  bool close_file(FileHandle f) override { return f == kIndexHandle; }
  void console_write(const char*, size_t n) override { console_bytes += n; }
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
  void history_key(const HistoryKey& k) override {
    const auto* p = reinterpret_cast<const unsigned char*>(k.url);
    const unsigned char* end = g_page->bytes + g_page_size;
    if (p < g_page->bytes || p >= end) std::abort();
    if (!std::memchr(p, 0, size_t(end - p))) std::abort();
    if (k.data < g_page->bytes || k.data > end || k.data_size > size_t(end - k.data)) std::abort();
    const std::string_view title = decode_history_record(k.data, k.data_size, k.big_endian).title;
    const auto* t = reinterpret_cast<const unsigned char*>(title.data());
    if (!title.empty() && (t < k.data || t + title.size() > k.data + k.data_size)) std::abort();
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
  bool big_endian, history;
  int debug;
};

void run_once(const uint8_t* data, size_t size, const Mode& mode, int escape_at) {
  static auto page = std::make_unique<PageBuffer>();
  static auto batch = std::make_unique<EntryBatch>();
  MemoryPlatform platform(data, size, escape_at);
  Messages messages(platform);
  CheckedSink sink;
  const PageScan scan{mode.debug, mode.history, &messages, &platform, &sink};
  IndexReader reader;
  std::memset(page->bytes, 0x41, sizeof page->bytes);  // stale bytes from an earlier use
  if (open_index(reader, platform, "FAT.DB", mode.big_endian, *page)) {
    if (reader.cache_size > kPageBufferSize) std::abort();
    while (read_page(reader, platform, *page)) {
      g_page = page.get();
      g_page_size = reader.cache_size;
      ASAN_POISON_MEMORY_REGION(page->bytes + reader.cache_size,
                                kPageBufferSize - reader.cache_size);
      const bool rc = parse_page(reader, *page, scan, *batch);
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
  static const Mode modes[] = {{false, false, 3}, {true, false, 0}, {false, true, 3}};
  for (const Mode& m : modes) run_once(data, size, m, 0);
  // Escape somewhere in the scan, from the input's own length.
  run_once(data, size, modes[0], int(size % 97) + 1);
  return 0;
}
