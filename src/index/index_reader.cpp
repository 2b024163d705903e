#include "index/index_reader.h"

#include <cstdio>
#include <cstring>

#include "support/error_line.h"
#include "support/keys.h"

namespace volari {

namespace {

constexpr uint32_t kHeaderRead = 4096;
constexpr int kMaxCount = 8192;
constexpr uint32_t kTextMax = 259;
constexpr uint32_t kNameLimit = 260;
constexpr uint32_t kUrlLenAt = 4, kUrlAt = 8, kNameLenAt = 29, kNameAt = 33;

uint32_t page_word(const unsigned char* p, bool intel) {
  return intel ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
}

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// At most `limit` bytes from `at`, ending early at a NUL; false when that would leave the page.
bool copy_text_item(const unsigned char* page, uint32_t size, uint32_t at, uint32_t limit,
                    char (&out)[260]) {
  const uint32_t avail = size - at;
  const void* nul = std::memchr(page + at, 0, limit < avail ? limit : avail);
  uint32_t n = limit;
  if (nul) {
    n = uint32_t(static_cast<const unsigned char*>(nul) - (page + at));
  } else if (limit > avail) {
    return false;
  }
  std::memcpy(out, page + at, n);
  out[n] = '\0';
  return true;
}

enum class Take { taken, long_name, outside };

// Offsets are known to be non-zero and below `size`.
Take take_pair(const unsigned char* p, uint32_t size, uint32_t key, uint32_t data, CacheEntry& slot,
               uint32_t& url_len, uint32_t& name_len) {
  if (key + kUrlAt > size) return Take::outside;
  url_len = le32(p + key + kUrlLenAt);
  if (url_len > kNameLimit) url_len = kTextMax;
  if (!copy_text_item(p, size, key + kUrlAt, url_len < kTextMax ? url_len : kTextMax, slot.url))
    return Take::outside;
  if (data + kNameAt > size) return Take::outside;
  name_len = le32(p + data + kNameLenAt);
  if (name_len > kNameLimit) return Take::long_name;
  if (!copy_text_item(p, size, data + kNameAt, name_len < kTextMax ? name_len : kTextMax,
                      slot.cache_file))
    return Take::outside;
  slot.record = read_record_info(p + data, size - data);
  return Take::taken;
}

uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A header the hash library wrote: its magic number, a byte order it knows (and, with -i, the
// big-endian one), and a page size of a power of two from 256 up, the same read both ways.
bool is_hash_header(const unsigned char* h, int32_t size, bool big_endian) {
  constexpr uint32_t kMagic = 0x061561, kLittle = 1234, kBig = 4321;
  const uint32_t order = be32(h + 8);
  return be32(h) == kMagic && (order == kBig || (order == kLittle && !big_endian)) && size >= 256 &&
         (size & (size - 1)) == 0 && be32(h + 12) == uint32_t(size);
}

}  // namespace

bool open_index(IndexReader& reader, Platform& platform, const char* path, bool big_endian,
                PageBuffer& page) {
  reader.cache_size = 0;
  reader.big_endian = big_endian;
  reader.file = platform.open_file(path, FileMode::read);
  if (!reader.is_open()) {
    error_line(platform, "FAT can't open '%s'.", path);
    return false;
  }
  bool result = true;
  long got = platform.read_file(reader.file, page.bytes, kHeaderRead);
  if (got < 0) got = 0;
  if (uint32_t(got) < kHeaderRead) {
    std::memset(page.bytes + got, 0, kHeaderRead - got);  // keep the page size well defined
    error_line(platform, "FAT can't read");
    result = false;
  }
  const int16_t blocks = int16_t(page.bytes[14] | page.bytes[15] << 8);
  const int32_t size = int32_t(blocks) * 256;
  if (result && !is_hash_header(page.bytes, size, big_endian)) {
    error_line(platform, "FAT can't read");
    return false;
  }
  if (size < 0 || size > int32_t(kPageBufferSize)) {
    error_line(platform, "FAT can't read");
    return false;
  }
  reader.cache_size = uint32_t(size);
  if (reader.cache_size > kHeaderRead) {
    const long rest = long(reader.cache_size - kHeaderRead);
    if (platform.read_file(reader.file, page.bytes, size_t(rest)) != rest) {
      error_line(platform, "FAT can't read");
      result = false;
    }
  }
  return result;
}

bool read_page(IndexReader& reader, Platform& platform, PageBuffer& page) {
  const uint32_t size = reader.cache_size;
  if (!reader.is_open() || size == 0 || size > kPageBufferSize) return false;
  return platform.read_file(reader.file, page.bytes, size) == long(size);
}

bool parse_page(IndexReader& reader, const PageBuffer& page, const PageScan& scan,
                EntryBatch& batch) {
  batch.entry_count = 0;
  const uint32_t size = reader.cache_size;
  if (size < 2 || size > kPageBufferSize) return true;
  const unsigned char* p = page.bytes;
  Messages* const out = scan.trace;
  const int debug = out ? scan.debug : 0;

  if (!reader.big_endian && p[0] == 0 && p[1] != 0) reader.big_endian = true;
  const bool intel = !reader.big_endian;
  const int word = int16_t(page_word(p, intel));
  if (debug >= 3) out->verbose_printf("*fat=%04X,%4d\n", unsigned(word), word);
  const int count = word / 2;
  if (debug >= 3) out->verbose_printf("count=%4d\n", count);
  if (count <= 0 || count > kMaxCount) return true;
  const uint32_t table_end = 2 + 4 * uint32_t(count);
  if (table_end > size) return true;
  if (debug >= 2) {
    out->verbose_printf("Table make\n");
    out->verbose_printf("cache_size=%04X,%4d\n", unsigned(size), int(size));
  }

  for (int i = 1; i <= count; ++i) {
    if (scan.keys && escape_pressed(*scan.keys)) return false;
    const uint32_t key = page_word(p + 2 + 4 * (i - 1), intel);
    const uint32_t data = page_word(p + 4 + 4 * (i - 1), intel);
    if (debug >= 3) {
      out->verbose_printf("No. =%d\n", i);
      out->verbose_printf("offset1=%04X,%4d\n", unsigned(key), int(key));
      out->verbose_printf("offset2=%04X,%4d\n", unsigned(data), int(data));
    }
    if (key + 4 <= size && std::memcmp(p + key, "INT_", 4) == 0) continue;
    if (key == 0 || data == 0) {
      if (debug >= 3) out->verbose_printf("offset is zero.\n");
      continue;
    }
    if (key >= size || data >= size) {
      if (debug >= 3) out->verbose_printf("offset over cache_size.\n");
      continue;
    }
    if (key < table_end || data < table_end) break;  // a chain marker: no items on this page

    if (scan.history) {
      if (std::memchr(p + key, 0, size - key)) {
        const char* url = reinterpret_cast<const char*>(p + key);
        if (out) out->verbose_printf("%s\n", url);
        const size_t data_size = data < key ? key - data : 0;
        if (scan.history_keys)
          scan.history_keys->history_key(HistoryKey{url, p + data, data_size, reader.big_endian});
        continue;
      }
    } else {
      uint32_t url_len = 0, name_len = 0;
      CacheEntry& slot = batch.entries[batch.entry_count];
      const Take take = take_pair(p, size, key, data, slot, url_len, name_len);
      if (take == Take::long_name) {
        if (debug >= 3) out->verbose_printf("filename is long.\n");
        continue;
      }
      if (take == Take::taken) {
        if (debug >= 2) {
          out->verbose_printf("No. =%d\n", i);
          out->verbose_printf("http=%3ld:%s\n", long(url_len), slot.url);
          out->verbose_printf("file=%3ld:%s\n", long(name_len), slot.cache_file);
        }
        if (++batch.entry_count == kBatchSlots) break;
        continue;
      }
    }
    if (debug >= 3) out->verbose_printf("offset over cache_size.\n");
  }
  return true;
}

void close_index(IndexReader& reader, Platform& platform) {
  if (reader.is_open()) platform.close_file(reader.file);
  reader.file = kNoFile;
}

}  // namespace volari
