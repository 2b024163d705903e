// One index page turned into entries: the batch the conversion works through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "index/record_info.h"

namespace volari {

struct CacheEntry {
  char cache_file[260];  // cache file name, relative to fat_directory; at most 259 bytes
  char url[260];         // at most 259 bytes
  RecordInfo record;     // what the record says of the content
};

constexpr uint32_t kBatchSlots = 240;

struct EntryBatch {
  uint32_t entry_count = 0;  // slots filled from the current page
  CacheEntry entries[kBatchSlots];
};

// The page buffer: holds one index page, and the copy's converted lines while a batch is done.
constexpr size_t kPageBufferSize = 32512;

struct PageBuffer {
  unsigned char bytes[kPageBufferSize];
};

}  // namespace volari
