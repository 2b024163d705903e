// The page reader on hand-built pages and index files: what only such pages show. INT_ keys,
// the chain pages of big pairs and stale copies are checked on the hash library's own files
// (index_mkcache_test.cpp), reads outside the page by the fuzz target.
#include "index/index_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/keys.h"
#include "testlib/fake_platform.h"
#include "testlib/temp_dir.h"

namespace volari {
namespace {

using testing::FakePlatform;
using Pairs = std::vector<std::pair<std::string, std::string>>;  // url, cache file
using Offsets = std::vector<std::pair<uint16_t, uint16_t>>;      // key, data

std::string le32(uint32_t v) {
  return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// Key item: unused word, URL length, URL. Data item: 29 unused bytes, name length, name. The text
// ends in a NUL unless told otherwise; the length counts it unless given.
std::string key_item(const std::string& url, int64_t len = -1, bool nul = true) {
  return le32(0) + le32(uint32_t(len < 0 ? url.size() + 1 : len)) + url + std::string(nul, '\0');
}
std::string data_item(const std::string& name, int64_t len = -1, bool nul = true) {
  return std::string(29, '\x05') + le32(uint32_t(len < 0 ? name.size() + 1 : len)) + name +
         std::string(nul, '\0');
}

// One page laid out as the hash library does: offset table at the front, items packed downward.
struct Page {
  std::vector<unsigned char> b;
  bool big;
  uint32_t top;
  explicit Page(uint32_t size, bool big_endian = false) : b(size, 0), big(big_endian), top(size) {}
  void word(size_t at, uint16_t v) {
    b[at + big] = uint8_t(v);
    b[at + !big] = uint8_t(v >> 8);
  }
  void put(uint32_t at, const std::string& s) { std::memcpy(b.data() + at, s.data(), s.size()); }
  uint16_t place(const std::string& item) {
    top -= uint32_t(item.size());
    put(top, item);
    return uint16_t(top);
  }
  void table(const Offsets& offsets) {
    word(0, uint16_t(2 * offsets.size()));
    for (size_t i = 0; i < offsets.size(); ++i) {
      word(2 + 4 * i, offsets[i].first);
      word(4 + 4 * i, offsets[i].second);
    }
  }
  static Page of(uint32_t size, const Pairs& pairs, bool big_endian = false) {
    Page p(size, big_endian);
    Offsets offsets;
    for (const auto& [url, name] : pairs) {
      const uint16_t k = p.place(key_item(url));
      offsets.emplace_back(k, p.place(data_item(name)));
    }
    p.table(offsets);
    return p;
  }
};

// Parses one page through the reader's own buffer. `stale` fills the buffer beyond the page, as
// an earlier, larger read or the copy step would leave it.
struct Parse : HistoryKeySink {
  FakePlatform platform;
  int debug = 0;
  bool history = false;
  bool big_endian = false;
  std::unique_ptr<PageBuffer> buffer = std::make_unique<PageBuffer>();
  std::unique_ptr<EntryBatch> batch = std::make_unique<EntryBatch>();
  std::vector<std::string> keys;

  void history_key(const HistoryKey& k) override { keys.emplace_back(k.url); }
  bool run(const Page& page, const std::string& stale = std::string()) {
    std::memset(buffer->bytes, 0, sizeof buffer->bytes);
    std::memcpy(buffer->bytes, page.b.data(), page.b.size());
    for (size_t i = page.b.size(); i < kPageBufferSize && !stale.empty(); ++i)
      buffer->bytes[i] = uint8_t(stale[(i - page.b.size()) % stale.size()]);
    IndexReader reader;
    reader.cache_size = uint32_t(page.b.size());
    reader.big_endian = big_endian;
    Messages messages(platform);
    return parse_page(reader, *buffer, PageScan{debug, history, &messages, &platform, this},
                      *batch);
  }
  Pairs entries() const {
    Pairs out;
    EXPECT_LE(batch->entry_count, kBatchSlots);
    for (uint32_t i = 0; i < batch->entry_count && i < kBatchSlots; ++i)
      out.emplace_back(batch->entries[i].url, batch->entries[i].cache_file);
    return out;
  }
  bool shown(const std::string& s) const { return platform.console.find(s) != std::string::npos; }
};

TEST(ParsePage, FirstWordDecidesWhetherThePageIsScanned) {
  struct Case {
    uint16_t word;
    const char* trace;  // debug level 3 lines up to the count
    bool scanned, taken;
  };
  const Case cases[] = {
      {0, "*fat=0000,   0\ncount=   0\n", false, false},
      {1, "*fat=0001,   1\ncount=   0\n", false, false},
      {0xFFFE, "*fat=FFFFFFFE,  -2\ncount=  -1\n", false, false},
      {16386, "*fat=4002,16386\ncount=8193\n", false, false},
      {2048, "*fat=0800,2048\ncount=1024\n", false, false},  // 4098 bytes of table
      {2046, "*fat=07FE,2046\ncount=1023\n", true, false},   // fits; the items lie in it
      {3, "*fat=0003,   3\ncount=   1\n", true, true},
      {2, "*fat=0002,   2\ncount=   1\n", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    // Big-endian with the switch off: 00 80 would otherwise switch the byte order.
    Page page = Page::of(4096, {{"http://h/one", "ONE"}}, true);
    page.word(0, c.word);
    Parse p;
    p.debug = 3;
    p.big_endian = true;
    p.batch->entry_count = 7;  // left over from an earlier page
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.platform.console.rfind(c.trace, 0), 0u) << p.platform.console;
    EXPECT_EQ(p.shown("Table make\ncache_size=1000,4096\n"), c.scanned);
    EXPECT_EQ(p.platform.polls, c.scanned ? 1 : 0);
    EXPECT_EQ(p.entries(), (c.taken ? Pairs{{"http://h/one", "ONE"}} : Pairs()));
  }
}

// A good pair follows the one tested: a dropped pair must leave its slot to it.
TEST(ParsePage, UrlAndNameLengthLimits) {
  const std::string url300 = "http://h/" + std::string(291, 'u');
  const std::string name300(300, 'n');
  struct Case {
    const char* what;
    std::string url;
    int64_t url_len;
    std::string name;
    int64_t name_len;
    size_t url_kept, name_kept;  // name_kept 0: pair dropped
    const char* http_len;        // the lengths as shown
    const char* file_len;
  };
  const Case cases[] = {
      {"URL length 261", url300, 261, "N", 2, 259, 1, "259", "  2"},
      {"URL length 260", url300, 260, "N", 2, 259, 1, "260", "  2"},
      {"URL length 0", url300, 0, "N", 2, 0, 1, "  0", "  2"},
      {"URL length 0xFFFFFFFF", url300, 0xFFFFFFFF, "N", 2, 259, 1, "259", "  2"},
      {"URL ends early at its NUL", "http://h/short", 200, "N", 2, 14, 1, "200", "  2"},
      {"name length 261", "http://h/x", 11, name300, 261, 0, 0, "", ""},
      {"name length 0x80000000", "http://h/x", 11, name300, 0x80000000, 0, 0, "", ""},
      {"name length 260", "http://h/x", 11, name300, 260, 10, 259, " 11", "260"},
      {"name ends early at its NUL", "http://h/x", 11, "SHORT", 100, 10, 5, " 11", "100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page page(4096);
    const uint16_t k = page.place(key_item(c.url, c.url_len));
    const uint16_t d = page.place(data_item(c.name, c.name_len));
    const uint16_t k2 = page.place(key_item("http://h/next"));
    page.table({{k, d}, {k2, page.place(data_item("NEXT"))}});
    Parse p;
    p.debug = 3;
    EXPECT_EQ(p.run(page), 1);
    Pairs want = {{"http://h/next", "NEXT"}};
    if (c.name_kept == 0) {
      EXPECT_TRUE(p.shown("filename is long.\n"));
    } else {
      const std::string url = c.url.substr(0, c.url_kept), name = c.name.substr(0, c.name_kept);
      want.insert(want.begin(), {url, name});
      EXPECT_TRUE(p.shown(std::string("http=") + c.http_len + ":" + url + "\n"));
      EXPECT_TRUE(p.shown(std::string("file=") + c.file_len + ":" + name + "\n"));
    }
    EXPECT_EQ(p.entries(), want);
  }
}

// A zero offset or one past the page drops its pair (in a history file too), not the page.
TEST(ParsePage, OffsetsOutsideTheItemsDropTheirPair) {
  Page page(4096);
  const uint16_t k = page.place(key_item("http://h/x")), d = page.place(data_item("X"));
  page.table({{0, d}, {k, 0}, {k, 4096}, {k, d}});
  for (const bool history : {false, true}) {
    Parse p;
    p.history = history;
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.entries().size() + p.keys.size(), 1u) << history;
  }
}

// The buffer beyond the page holds bytes that would change the result if they were read.
TEST(ParsePage, CorruptPagesStayInsideThePage) {
  const std::string nul(1, '\0');
  struct Case {
    const char* what;
    char tail;  // the item ending at the page end: 'k' key, 'd' data, 'h' history key
    std::string bytes, stale;
    Pairs want;  // history keys with an empty name
  };
  const Case cases[] = {
      {"INT_ test cut", 'k', "IN", "T_" + le32(4) + "abc", {}},
      {"URL length cut", 'k', std::string(6, 'k'), le32(0) + "http://stale/", {}},
      {"URL past the end", 'k', key_item("http://h/cut", 100, false), "more" + nul, {}},
      {"URL to the end", 'k', key_item("http://h/e", 10, false), "stale", {{"http://h/e", "GOOD"}}},
      {"NUL at the end", 'k', key_item("http://h/nul", 100), "stale", {{"http://h/nul", "GOOD"}}},
      {"name length cut", 'd', std::string(30, 'd'), le32(5) + "NAME", {}},
      {"name past the end", 'd', data_item("CUT", 50, false), "MORE" + nul, {}},
      {"name to the end", 'd', data_item("EDGE", 4, false), "stale", {{"http://h/good", "EDGE"}}},
      {"key without NUL", 'h', "http://h/nonul", "tail" + nul, {}},
      {"key to the end", 'h', "http://h/last" + nul, "tail", {{"http://h/last", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page page(256);
    const uint16_t tail = page.place(c.bytes);
    const uint16_t other = page.place(c.tail == 'd'   ? key_item("http://h/good")
                                      : c.tail == 'h' ? le32(1)
                                                      : data_item("GOOD"));
    page.table({c.tail == 'd' ? std::make_pair(other, tail) : std::make_pair(tail, other)});
    Parse p;
    p.history = c.tail == 'h';
    p.debug = 3;
    EXPECT_EQ(p.run(page, c.stale), 1);
    Pairs got = p.entries();
    for (const std::string& key : p.keys) got.emplace_back(key, "");
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(p.shown("offset over cache_size.\n"), c.want.empty());
  }
}

// --- index files ---

// The first `file_size` bytes of a header as the hash library writes it (big-endian, byte order
// 1234) for pages of `page` bytes.
std::string header(uint32_t file_size, uint32_t page) {
  std::string h = {0, 6, 0x15, 0x61, 0, 0, 0, 0, 0, 0, 4, char(0xD2)};
  h += {char(page >> 24), char(page >> 16), char(page >> 8), char(page)};
  h.resize(std::max<uint32_t>(file_size, 16), '\0');
  return h.substr(0, file_size);
}

// The run loop's use of the reader on `bytes` as FAT.DB: whether it opened, the sizes it read,
// the pairs of every page.
struct IndexRun : FakePlatform {
  std::vector<size_t> reads;
  IndexReader reader;
  int opened = -1, pages = 0;
  Pairs entries;
  long read_file(FileHandle f, void* buf, size_t n) override {
    reads.push_back(n);
    return FakePlatform::read_file(f, buf, n);
  }
  void go(const std::string& bytes) {
    testing::TempDir dir;
    dir.write_file("FAT.DB", bytes);
    auto buffer = std::make_unique<PageBuffer>();
    auto batch = std::make_unique<EntryBatch>();
    std::memcpy(buffer->bytes, header(4096, 4096).data(), 4096);  // an earlier header
    opened = open_index(reader, *this, dir.file("FAT.DB").c_str(), false, *buffer);
    while (opened && pages < 100 && read_page(reader, *this, *buffer)) {
      ++pages;
      parse_page(reader, *buffer, PageScan{}, *batch);
      for (uint32_t i = 0; i < batch->entry_count; ++i)
        entries.emplace_back(batch->entries[i].url, batch->entries[i].cache_file);
    }
    close_index(reader, *this);
  }
};

// Refused headers are in the index-unreadable transcript; these are the reads.
TEST(IndexFile, HeaderReads) {
  const std::string cant = "FAT can't read\n\n";
  const struct {
    std::string bytes;
    std::vector<size_t> reads;  // header reads, then page reads
    bool read_error;
  } cases[] = {
      {header(4096, 4096), {4096, 4096}, false},
      {header(8192, 8192), {4096, 4096, 8192}, false},
      {header(16384, 16384), {4096, 12288, 16384}, false},
      {header(8192, 8192), {4096}, true},  // nothing came
  };
  for (const auto& c : cases) {
    IndexRun run;
    if (c.read_error)
      run.fail = [](testing::Op op, const std::string&) { return op == testing::Op::read; };
    run.go(c.bytes);
    EXPECT_EQ(run.opened, !c.read_error);
    EXPECT_EQ(run.reader.cache_size, c.read_error ? 0 : c.bytes.size());
    EXPECT_EQ(run.console, c.read_error ? cant : "");
    EXPECT_EQ(run.reads, c.reads);
    EXPECT_FALSE(run.reader.is_open());
  }
}

// Pages smaller than 4096 within the first 4096 bytes go with the header read.
TEST(IndexFile, PagesInOrderAndShortLastPageIgnored) {
  const Pairs a = {{"http://h/a1", "A1"}, {"http://h/a2", "A2"}}, b = {{"http://h/b1", "B1"}};
  for (const uint32_t size : {4096u, 8192u, 512u}) {
    SCOPED_TRACE(size);
    std::string file = header(std::max(size, 4096u), size);
    for (const Page& page : {Page::of(size, a), Page(size), Page::of(size, b), Page::of(size, b)})
      file.append(page.b.begin(), page.b.end());
    file.pop_back();  // the last page comes short
    IndexRun run;
    run.go(file);
    EXPECT_EQ(run.pages, 3);
    EXPECT_EQ(run.entries, (Pairs{a[0], a[1], b[0]}));
    EXPECT_EQ(run.console, "");
  }
}

}  // namespace
}  // namespace volari
