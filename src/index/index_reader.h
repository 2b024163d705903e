// The cache index reader: reads the browser's index file (a Berkeley DB 1.x hash file) page by page
// with its own code and turns each page into a batch of URL / cache-file pairs. It never hashes or
// follows bucket and overflow chains: every page whose first word looks like an item count is
// scanned pair by pair, anything else is passed over.
//
// Page layout as read: word 0 is the number of offset words (twice the pair count); pair i (from
// 1) has its key offset at 2 + 4(i-1) and its data offset at 4 + 4(i-1). Page words are
// little-endian while settings.intel_cpu is set, big-endian when it is clear. Inside the items
// the URL length (key + 4, URL text at key + 8) and the cache file name length (data + 29, name at
// data + 33) are always little-endian. A history file key is the URL itself, ended by a NUL. An
// item ends where the item before it starts: the data of a pair lies from its data offset up to
// its key offset.
//
// Pages that hold no items: the hash library keeps a key/data pair too large for one page on a
// chain of overflow pages whose first pair carries a marker (1 to 4) in its data word and whose
// second pair carries the next page's address and perhaps the data's start. Read as offsets these
// give junk entries, one of them with the big pair's real cache file name. A real item never starts
// inside the page's own offset table, so a non-zero offset below 2 + 4 * count, met after the
// zero and cache_size checks, ends the scan of the page: the pairs after it are passed over,
// silently; entries taken before it stay.
//
// Corrupt pages: every read stays inside the page, its first cache_size bytes, and never touches
// what an earlier page or the copy step left in the buffer beyond it.
// - Offset table longer than the page (count * 4 + 2 > cache_size): not a data page, like a count
//   out of range (every offset on it would point into its own table anyway).
// - "INT_" test at a key offset with fewer than 4 page bytes left: not an "INT_" key; the offset
//   checks then run as usual.
// - Length word (URL at key + 4, name at data + 29) not wholly inside the page: pair dropped,
//   with the debug level 3 line "offset over cache_size.\n".
// - URL or name whose bounded copy (at most 259 bytes, up to a NUL) would read past the page end:
//   pair dropped, same debug line. A cut text would name another URL or another cache file.
// - History key with no NUL before the page end: dropped, same debug line.
// Corrupt headers: see open_index.
#pragma once

#include <cstdint>

#include "index/cache_entry.h"
#include "platform/platform.h"
#include "support/messages.h"

namespace volari {

// One key of a history file and the data stored with it, both pointing into the page buffer.
struct HistoryKey {
  const char* url;            // NUL-terminated
  const unsigned char* data;  // data[0..data_size-1] lies in the page; empty when the data offset
  size_t data_size;           // is not below the key offset
  bool big_endian;            // the byte order of the page words: the file's own
};

// Receives every usable key of a history file (flg_history_db).
class HistoryKeySink {
 public:
  virtual ~HistoryKeySink() = default;
  // The key is valid only during the call.
  virtual void history_key(const HistoryKey& key) = 0;
};

struct IndexReader {
  FileHandle file = kNoFile;
  uint32_t cache_size = 0;  // page size, set once by open_index; 0 when refused
  // The byte order of the page words: big-endian with -i, or once a page has shown it.
  bool big_endian = false;
  bool is_open() const { return file != kNoFile; }
};

// What a page scan reports to, besides the batch.
struct PageScan {
  int debug = 0;              // flg_debug: the level 2 and 3 lines
  bool history = false;       // a history file: keys go to `history_keys`
  Messages* trace = nullptr;  // debug lines and history keys shown; null: silent
  Platform* keys = nullptr;   // polled for Escape once per pair; null: never
  HistoryKeySink* history_keys = nullptr;
};

// Opens `path` for binary reading and consumes the header page: one read of 4096 bytes, then,
// when the page size is above 4096, one read of the rest into the buffer's start. The page size
// is header bytes 14-15 as a signed 16-bit little-endian number times 256. True when the file is
// open and the header page was read in full:
// - the file cannot be opened: error_line "FAT can't open '<path>'."; reader not open.
// - a header read comes short: error_line "FAT can't read", once per failed read. Header bytes the
//   first read did not deliver count as 0, so a tiny file gives page size 0.
// - a header read in full that is no hash header (magic 00 06 15 61 at 0, byte order 1234 or
//   4321 at 8, but 4321 with big_endian, and a page size of a power of two from 256 up that
//   bytes 12-15 read big-endian give as well): "FAT can't read" without reading on, cache_size 0.
//   A run of such a file would end complete with no entry, and advance LAST_TIME.
// - a page size the buffer cannot hold (negative or above 32,512): refused as a failed second
//   read, "FAT can't read" without reading, cache_size 0.
// The file stays open in every case where it could be opened; close_index closes it. With page
// size 0 open_index may succeed, and read_page then reports the end at once.
bool open_index(IndexReader& reader, Platform& platform, const char* path, bool big_endian,
                PageBuffer& page);

// Reads the next cache_size bytes into the start of the buffer with a single read. True when the
// whole page came; false at the end of the file (a short last page is not a page), on a read
// error, and when the reader is not open or its cache_size is 0.
bool read_page(IndexReader& reader, Platform& platform, PageBuffer& page);

// Scans the page read last and refills `batch` from slot 0 (entry_count is reset before anything
// else). Switches the reader to big-endian for the rest of the run when, while it reads
// little-endian, a page begins with 00 followed by a non-zero byte. A first word giving a count
// (word / 2) of 0, below 0 or above 8192, or an offset table longer than the page, marks a page
// that is not a data page: empty batch. Per pair, in this order: Escape poll; a key starting
// "INT_" is passed over silently; an offset of 0 or not below cache_size is passed over; an
// offset into the offset table ends the page (see above). Cache index: URL cut to 259 bytes
// (lengths above 260 count as 259), cache file name length above 260 drops the pair, 260 is cut to
// 259; at most 240 entries per page, the rest of the page is passed over. History file: each key
// is shown with "%s\n" and handed on with its data item; the batch stays empty.
// False when Escape was pressed during the scan (the batch then holds what was taken so far, not
// to be converted).
bool parse_page(IndexReader& reader, const PageBuffer& page, const PageScan& scan,
                EntryBatch& batch);

// Closes the index file when it is open.
void close_index(IndexReader& reader, Platform& platform);

}  // namespace volari
