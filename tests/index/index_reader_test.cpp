// The page reader on hand-built pages and index files.
#include "index/index_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
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

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = char(v >> (8 * i));
  return s;
}

// Key item: unused word, URL length, URL text (NUL added unless told otherwise).
std::string key_item(const std::string& url, uint32_t len, bool nul = true) {
  return le32(0) + le32(len) + url + (nul ? std::string(1, '\0') : "");
}
std::string key_item(const std::string& url) {
  return key_item(url, uint32_t(url.size() + 1));
}

// Data item: 29 unused bytes, name length, name.
std::string data_item(const std::string& name, uint32_t len, bool nul = true) {
  return std::string(29, '\x05') + le32(len) + name + (nul ? std::string(1, '\0') : "");
}
std::string data_item(const std::string& name) {
  return data_item(name, uint32_t(name.size() + 1));
}

// One page laid out as the hash library does: offset table at the front, items packed downward.
struct Page {
  std::vector<unsigned char> b;
  bool big;
  uint32_t top;
  explicit Page(uint32_t size, bool big_endian = false) : b(size, 0), big(big_endian), top(size) {}
  void word(size_t at, uint16_t v) {
    b[at + (big ? 1 : 0)] = uint8_t(v);
    b[at + (big ? 0 : 1)] = uint8_t(v >> 8);
  }
  uint16_t place(const std::string& item) {
    top -= uint32_t(item.size());
    std::memcpy(b.data() + top, item.data(), item.size());
    return uint16_t(top);
  }
  void put(uint32_t at, const std::string& bytes) {
    std::memcpy(b.data() + at, bytes.data(), bytes.size());
  }
  void table(const std::vector<std::pair<uint16_t, uint16_t>>& offsets) {
    word(0, uint16_t(2 * offsets.size()));
    for (size_t i = 0; i < offsets.size(); ++i) {
      word(2 + 4 * i, offsets[i].first);
      word(4 + 4 * i, offsets[i].second);
    }
  }
  // A well-formed data page holding `pairs`.
  static Page of(uint32_t size, const Pairs& pairs, bool big_endian = false) {
    Page p(size, big_endian);
    std::vector<std::pair<uint16_t, uint16_t>> offsets;
    for (const auto& [url, name] : pairs) {
      uint16_t k = p.place(key_item(url));
      offsets.emplace_back(k, p.place(data_item(name)));
    }
    p.table(offsets);
    return p;
  }
};

class RecordingSink : public HistoryKeySink {
 public:
  std::vector<std::string> keys;
  void history_key(const char* url) override { keys.emplace_back(url); }
};

// Parses one page through the reader's own buffer. `stale` fills the buffer beyond the page, as
// an earlier, larger read or the copy step would leave it.
struct Parse {
  FakePlatform platform;
  Settings settings;
  std::unique_ptr<PageBuffer> buffer = std::make_unique<PageBuffer>();
  std::unique_ptr<EntryBatch> batch = std::make_unique<EntryBatch>();
  RecordingSink sink;
  int rc = -1;

  int run(const Page& page, const std::string& stale = std::string()) {
    std::memset(buffer->bytes, 0, sizeof buffer->bytes);
    std::memcpy(buffer->bytes, page.b.data(), page.b.size());
    for (size_t i = page.b.size(); i < kPageBufferSize && !stale.empty(); ++i)
      buffer->bytes[i] = uint8_t(stale[(i - page.b.size()) % stale.size()]);
    IndexReader reader;
    reader.cache_size = uint32_t(page.b.size());
    Messages messages(platform);
    rc = parse_page(reader, platform, settings, messages, *buffer, *batch, &sink);
    return rc;
  }
  Pairs entries() const {
    Pairs out;
    EXPECT_LE(batch->entry_count, kBatchSlots);
    for (uint32_t i = 0; i < batch->entry_count && i < kBatchSlots; ++i)
      out.emplace_back(batch->entries[i].url, batch->entries[i].cache_file);
    return out;
  }
};

TEST(ParsePage, WellFormedPagesInBothByteOrders) {
  const Pairs pairs = {{"http://aa.bb.cc/index.html", "M0GQR9J4.HTM"},
                       {"http://aa.bb.cc/a.gif", "M1A2B3C4.GIF"},
                       {"ftp://x.y/pub/", "M0000001"}};
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    Parse p;
    EXPECT_EQ(p.run(Page::of(4096, pairs, big)), 1);
    EXPECT_EQ(p.entries(), pairs);
    EXPECT_EQ(p.settings.intel_cpu, big ? 0 : 1);
    EXPECT_EQ(p.platform.console, "");
  }
}

TEST(ParsePage, ByteOrderSwitchHoldsForTheRestOfTheRun) {
  Pairs six;
  for (int i = 0; i < 6; ++i)
    six.emplace_back("http://h/" + std::to_string(i), "N" + std::to_string(i));
  Page first = Page::of(4096, six, true);
  ASSERT_EQ(first.b[0], 0x00);
  ASSERT_EQ(first.b[1], 0x0C);
  Parse p;
  p.settings.flg_debug = 3;
  EXPECT_EQ(p.run(first), 1);
  EXPECT_EQ(p.settings.intel_cpu, 0);
  EXPECT_EQ(p.entries(), six);
  EXPECT_NE(p.platform.console.find("*fat=000C,  12\ncount=   6\n"), std::string::npos);

  // A little-endian page now reads as big-endian: 02 00 is 512 words, a table past its pairs.
  const Pairs one = {{"http://h/le", "LE"}};
  EXPECT_EQ(p.run(Page::of(4096, one, false)), 1);
  EXPECT_EQ(p.batch->entry_count, 0u);
  EXPECT_EQ(p.settings.intel_cpu, 0);
  EXPECT_EQ(p.run(Page::of(4096, one, true)), 1);
  EXPECT_EQ(p.entries(), one);
}

TEST(ParsePage, ByteOrderTestNeedsZeroThenNonZero) {
  struct Case {
    unsigned char b0, b1;
    int intel_before, intel_after;
  };
  const Case cases[] = {
      {0x00, 0x0C, 1, 0},                      // big-endian count
      {0x0C, 0x00, 1, 1},                      // little-endian count
      {0x00, 0x00, 1, 1},                      // empty or never written page
      {0x01, 0x01, 1, 1}, {0x0C, 0x00, 0, 0},  // never set again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.b0) * 256 + c.b1);
    Page page(4096);
    page.b[0] = c.b0;
    page.b[1] = c.b1;
    Parse p;
    p.settings.intel_cpu = c.intel_before;
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.settings.intel_cpu, c.intel_after);
  }
}

TEST(ParsePage, FirstWordDecidesWhetherThePageIsScanned) {
  struct Case {
    uint16_t word;
    const char* trace;  // debug level 3 lines up to the count
    bool scanned;
    bool taken;
  };
  const Case cases[] = {
      {0, "*fat=0000,   0\ncount=   0\n", false, false},
      {1, "*fat=0001,   1\ncount=   0\n", false, false},
      {0xFFFE, "*fat=FFFFFFFE,  -2\ncount=  -1\n", false, false},
      {0x8000, "*fat=FFFF8000,-32768\ncount=-16384\n", false, false},
      {16386, "*fat=4002,16386\ncount=8193\n", false, false},
      {16384, "*fat=4000,16384\ncount=8192\n", false, false},  // table longer than the page
      {2048, "*fat=0800,2048\ncount=1024\n", false, false},    // 4098 bytes of table
      {2046, "*fat=07FE,2046\ncount=1023\n", true, false},     // fits; the items lie in it
      {3, "*fat=0003,   3\ncount=   1\n", true, true},
      {2, "*fat=0002,   2\ncount=   1\n", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    // Big-endian words read with the switch off: 00 80 would otherwise switch the byte order.
    Page page(4096, true);
    uint16_t k = page.place(key_item("http://h/one"));
    uint16_t d = page.place(data_item("ONE"));
    page.word(2, k);
    page.word(4, d);
    page.word(0, c.word);
    Parse p;
    p.settings.flg_debug = 3;
    p.settings.intel_cpu = 0;
    p.batch->entry_count = 7;  // left over from an earlier page
    int polls = 0;
    p.platform.on_poll = [&](FakePlatform&, int n) { polls = n; };
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.platform.console.rfind(c.trace, 0), 0u) << p.platform.console;
    EXPECT_EQ(p.platform.console.find("Table make\ncache_size=1000,4096\n") != std::string::npos,
              c.scanned);
    EXPECT_EQ(polls, c.scanned ? 1 : 0);
    EXPECT_EQ(p.entries(), (c.taken ? Pairs{{"http://h/one", "ONE"}} : Pairs()));
  }
}

TEST(ParsePage, PairChecksInOrder) {
  struct Case {
    const char* what;
    int key;            // -1: a valid key item, -2: an "INT_" key item; else this offset
    int data;           // -1: a valid data item; else this offset
    const char* trace;  // the level 3 line after the offsets, "" for none
    bool taken;
  };
  const Case cases[] = {
      {"valid", -1, -1, "", true},
      {"INT_ key", -2, -1, "", false},
      {"INT_ key, data offset 0", -2, 0, "", false},
      {"INT_ key, data offset past the page", -2, 5000, "", false},
      {"key offset 0", 0, -1, "offset is zero.\n", false},
      {"data offset 0", -1, 0, "offset is zero.\n", false},
      {"key offset at cache_size", 4096, -1, "offset over cache_size.\n", false},
      {"data offset past cache_size", -1, 0xFFFF, "offset over cache_size.\n", false},
      {"both zero and over", 0, 0xFFFF, "offset is zero.\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page page(4096);
    uint16_t key = c.key == -1   ? page.place(key_item("http://h/x"))
                   : c.key == -2 ? page.place("INT_DiskCacheSize")
                                 : uint16_t(c.key);
    uint16_t data = c.data == -1 ? page.place(data_item("X")) : uint16_t(c.data);
    page.table({{key, data}});
    Parse p;
    p.settings.flg_debug = 3;
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.entries(), (c.taken ? Pairs{{"http://h/x", "X"}} : Pairs()));
    char offsets[128];
    std::snprintf(offsets, sizeof offsets, "No. =1\noffset1=%04X,%4d\noffset2=%04X,%4d\n", key, key,
                  data, data);
    const std::string& out = p.platform.console;
    size_t at = out.find(offsets);
    ASSERT_NE(at, std::string::npos) << out;
    std::string after = out.substr(at + std::strlen(offsets));
    if (c.taken) {
      EXPECT_EQ(after, "No. =1\nhttp= 11:http://h/x\nfile=  2:X\n");
    } else {
      EXPECT_EQ(after, c.trace);
    }
  }
}

TEST(ParsePage, UrlAndNameLengthLimits) {
  const std::string url300 = "http://h/" + std::string(291, 'u');
  const std::string name300(300, 'n');
  struct Case {
    const char* what;
    std::string url;
    uint32_t url_len;
    std::string name;
    uint32_t name_len;
    bool taken;
    size_t url_kept, name_kept;
    const char* http_len;  // "http=%3ld" field as shown
    const char* file_len;
  };
  const Case cases[] = {
      {"URL length 300", url300, 300, "N", 2, true, 259, 1, "259", "  2"},
      {"URL length 261", url300, 261, "N", 2, true, 259, 1, "259", "  2"},
      {"URL length 260", url300, 260, "N", 2, true, 259, 1, "260", "  2"},
      {"URL length 259", url300, 259, "N", 2, true, 259, 1, "259", "  2"},
      {"URL length below the text", url300, 20, "N", 2, true, 20, 1, " 20", "  2"},
      {"URL length 0", url300, 0, "N", 2, true, 0, 1, "  0", "  2"},
      {"URL length 0xFFFFFFFF", url300, 0xFFFFFFFF, "N", 2, true, 259, 1, "259", "  2"},
      {"URL ends early at its NUL", "http://h/short", 200, "N", 2, true, 14, 1, "200", "  2"},
      {"name length 261", "http://h/x", 11, name300, 261, false, 0, 0, "", ""},
      {"name length 0x80000000", "http://h/x", 11, name300, 0x80000000u, false, 0, 0, "", ""},
      {"name length 260", "http://h/x", 11, name300, 260, true, 10, 259, " 11", "260"},
      {"name length 259", "http://h/x", 11, name300, 259, true, 10, 259, " 11", "259"},
      {"name length 3", "http://h/x", 11, name300, 3, true, 10, 3, " 11", "  3"},
      {"name ends early at its NUL", "http://h/x", 11, "SHORT", 100, true, 10, 5, " 11", "100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page page(4096);
    uint16_t k = page.place(key_item(c.url, c.url_len));
    uint16_t d = page.place(data_item(c.name, c.name_len));
    page.table({{k, d}});
    Parse p;
    p.settings.flg_debug = 3;
    EXPECT_EQ(p.run(page), 1);
    const std::string& out = p.platform.console;
    if (!c.taken) {
      EXPECT_EQ(p.batch->entry_count, 0u);
      EXPECT_NE(out.find("filename is long.\n"), std::string::npos);
      continue;
    }
    const std::string url = c.url.substr(0, c.url_kept);
    const std::string name = c.name.substr(0, c.name_kept);
    EXPECT_EQ(p.entries(), (Pairs{{url, name}}));
    EXPECT_NE(out.find(std::string("http=") + c.http_len + ":" + url + "\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find(std::string("file=") + c.file_len + ":" + name + "\n"), std::string::npos)
        << out;
  }
}

TEST(ParsePage, LongNameSlotIsReusedByTheNextPair) {
  Page page(4096);
  uint16_t k1 = page.place(key_item("http://h/first"));
  uint16_t d1 = page.place(data_item("FIRST"));
  uint16_t k2 = page.place(key_item("http://h/dropped"));
  uint16_t d2 = page.place(data_item("DROPPED", 261));
  uint16_t k3 = page.place(key_item("http://h/third"));
  uint16_t d3 = page.place(data_item("THIRD"));
  page.table({{k1, d1}, {k2, d2}, {k3, d3}});
  Parse p;
  EXPECT_EQ(p.run(page), 1);
  EXPECT_EQ(p.entries(), (Pairs{{"http://h/first", "FIRST"}, {"http://h/third", "THIRD"}}));
}

TEST(ParsePage, AtMost240EntriesPerPage) {
  for (int usable : {239, 240, 241, 250}) {
    SCOPED_TRACE(usable);
    Page page(8192);
    const uint16_t shared = page.place(data_item("SHARED"));
    std::vector<std::pair<uint16_t, uint16_t>> offsets;
    Pairs want;
    for (int i = 1; i <= usable; ++i) {
      std::string url = "http://h/" + std::to_string(i);
      offsets.emplace_back(page.place(key_item(url)), shared);
      if (i <= 240) want.emplace_back(url, "SHARED");
    }
    page.table(offsets);
    Parse p;
    int polls = 0;
    p.platform.on_poll = [&](FakePlatform&, int n) { polls = n; };
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.batch->entry_count, uint32_t(std::min(usable, 240)));
    EXPECT_EQ(p.entries(), want);
    EXPECT_EQ(polls, std::min(usable, 240));
  }
}

TEST(ParsePage, EscapeStopsTheScan) {
  Pairs five;
  for (int i = 1; i <= 5; ++i) five.emplace_back("http://h/" + std::to_string(i), "F");
  struct Case {
    int press_at;
    int rc;
    uint32_t taken;
  };
  const Case cases[] = {{1, 0, 0}, {3, 0, 2}, {5, 0, 4}, {6, 1, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.press_at);
    Parse p;
    p.platform.on_poll = [&](FakePlatform& f, int n) {
      if (n == c.press_at) f.keys.push_back(kKeyEscape);
    };
    EXPECT_EQ(p.run(Page::of(4096, five)), c.rc);
    EXPECT_EQ(p.batch->entry_count, c.taken);
  }
  // Another key does not stop it.
  Parse p;
  p.platform.keys = {'a', 224, 72};
  EXPECT_EQ(p.run(Page::of(4096, five)), 1);
  EXPECT_EQ(p.batch->entry_count, 5u);
}

TEST(ParsePage, DebugLevels) {
  const Pairs one = {{"http://h/a", "A"}};
  const std::string level2 =
      "Table make\ncache_size=1000,4096\nNo. =1\nhttp= 11:http://h/a\nfile=  2:A\n";
  char offsets[96];
  Page page = Page::of(4096, one);
  std::snprintf(offsets, sizeof offsets, "No. =1\noffset1=%04X,%4d\noffset2=%04X,%4d\n",
                page.b[2] | page.b[3] << 8, page.b[2] | page.b[3] << 8, page.b[4] | page.b[5] << 8,
                page.b[4] | page.b[5] << 8);
  const std::string level3 = "*fat=0002,   2\ncount=   1\nTable make\ncache_size=1000,4096\n" +
                             std::string(offsets) + "No. =1\nhttp= 11:http://h/a\nfile=  2:A\n";
  const std::pair<int, std::string> cases[] = {{0, ""}, {1, ""}, {2, level2}, {3, level3}};
  for (const auto& [level, want] : cases) {
    SCOPED_TRACE(level);
    Parse p;
    p.settings.flg_debug = level;
    p.run(page);
    EXPECT_EQ(p.platform.console, want);
    EXPECT_EQ(p.entries(), one);
  }
}

TEST(ParsePage, HistoryModeHandsKeysOn) {
  Page page(4096);
  std::vector<std::pair<uint16_t, uint16_t>> offsets;
  auto add = [&](const std::string& key, const std::string& data) {
    uint16_t k = page.place(key);
    offsets.emplace_back(k, page.place(data));
  };
  add(std::string("http://a.b/\0", 12), le32(900000000));
  add("INT_something", le32(1));
  add(std::string("http://c.d/x.html\0", 18), le32(900000001));
  uint16_t k = page.place(std::string("http://e.f/\0", 12));
  offsets.emplace_back(k, uint16_t(4095));  // data never read, only checked
  offsets.emplace_back(k, uint16_t(0));     // data offset 0
  page.table(offsets);
  Parse p;
  p.settings.flg_history_db = 1;
  EXPECT_EQ(p.run(page), 1);
  EXPECT_EQ(p.batch->entry_count, 0u);
  const std::vector<std::string> want = {"http://a.b/", "http://c.d/x.html", "http://e.f/"};
  EXPECT_EQ(p.sink.keys, want);
  EXPECT_EQ(p.platform.console, "http://a.b/\nhttp://c.d/x.html\nhttp://e.f/\n");
}

// Reads past the page end must not happen: the buffer beyond the page holds bytes that would
// change the result if they were read.
TEST(ParsePage, CorruptPagesStayInsideThePage) {
  const uint32_t size = 256;
  struct Case {
    const char* what;
    std::function<void(Page&)> build;
    std::string stale;
    Pairs want;
    bool history = false;
    std::vector<std::string> keys = {};
  };
  // The first item placed ends at the page end.
  auto tail = [](Page& p, const std::string& bytes) {
    EXPECT_EQ(p.top, p.b.size());
    return p.place(bytes);
  };
  const std::string good_key = key_item("http://h/good");
  const std::string good_data = data_item("GOOD");
  const Case cases[] = {
      {"INT_ test at the last two bytes",
       [&](Page& p) {
         uint16_t k = tail(p, "IN");
         p.table({{k, p.place(good_data)}});
       },
       "T_" + le32(4) + "abc",
       {}},
      {"URL length word cut by the page end",
       [&](Page& p) {
         uint16_t k = tail(p, std::string(6, 'k'));
         p.table({{k, p.place(good_data)}});
       },
       le32(0) + "http://stale/",
       {}},
      {"URL text runs past the page end",
       [&](Page& p) {
         uint16_t k = tail(p, key_item("http://h/cut", 100, false));
         uint16_t d = p.place(good_data);
         p.table({{k, d}});
       },
       std::string("more\0", 5),
       {}},
      {"URL text ends exactly at the page end",
       [&](Page& p) {
         uint16_t k = tail(p, key_item("http://h/edge", 13, false));
         uint16_t d = p.place(good_data);
         p.table({{k, d}});
       },
       "stale",
       {{"http://h/edge", "GOOD"}}},
      {"URL ends at a NUL in the last byte",
       [&](Page& p) {
         uint16_t k = tail(p, key_item("http://h/nul", 100));
         uint16_t d = p.place(good_data);
         p.table({{k, d}});
       },
       "stale",
       {{"http://h/nul", "GOOD"}}},
      {"name length word cut by the page end",
       [&](Page& p) {
         uint16_t d = tail(p, std::string(30, 'd'));
         p.table({{p.place(good_key), d}});
       },
       le32(5) + "NAME",
       {}},
      {"name runs past the page end",
       [&](Page& p) {
         uint16_t d = tail(p, data_item("CUT", 50, false));
         p.table({{p.place(good_key), d}});
       },
       std::string("MORE\0", 5),
       {}},
      {"name ends exactly at the page end",
       [&](Page& p) {
         uint16_t d = tail(p, data_item("EDGE", 4, false));
         p.table({{p.place(good_key), d}});
       },
       "stale",
       {{"http://h/good", "EDGE"}}},
      {"history key without NUL",
       [&](Page& p) {
         uint16_t k = tail(p, "http://h/nonul");
         p.table({{k, p.place(le32(1))}});
       },
       std::string("tail\0", 5),
       {},
       true,
       {}},
      {"history key ending at the last byte",
       [&](Page& p) {
         uint16_t k = tail(p, std::string("http://h/last\0", 14));
         p.table({{k, p.place(le32(1))}});
       },
       "tail",
       {},
       true,
       {"http://h/last"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page page(size);
    c.build(page);
    Parse p;
    p.settings.flg_history_db = c.history;
    p.settings.flg_debug = 3;
    EXPECT_EQ(p.run(page, c.stale), 1);
    EXPECT_EQ(p.entries(), c.want);
    EXPECT_EQ(p.sink.keys, c.keys);
    if (c.want.empty() && c.keys.empty()) {
      EXPECT_NE(p.platform.console.find("offset over cache_size.\n"), std::string::npos);
    }
  }
}

// A count whose offset table is longer than the page: only the pairs inside the page are scanned.
// The offset table must fit the page; its end is where items can begin.
TEST(ParsePage, OffsetTableAgainstThePageEnd) {
  const uint32_t size = 256;
  struct Case {
    uint16_t word;
    int polls;
    bool taken;
  };
  const Case cases[] = {
      {2, 1, true},      // table ends at 6, items at 128 and 160
      {62, 31, true},    // table ends at 126; pairs 2 to 31 are zero
      {64, 1, false},    // table ends at 130: the key at 128 lies in it
      {126, 1, false},   // table ends at 254: the first pair points into it
      {128, 0, false},   // 258 bytes of table: not a data page
      {8000, 0, false},  // far past the page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    Page page(size);
    page.put(128, key_item("http://h/good"));
    page.put(160, data_item("GOOD"));
    page.table({{128, 160}});
    page.word(0, c.word);
    Parse p;
    int polls = 0;
    p.platform.on_poll = [&](FakePlatform&, int n) { polls = n; };
    // Beyond the page, stale words that would each be one more copy of the good pair.
    EXPECT_EQ(p.run(page, std::string("\x80\x00\xA0\x00", 4)), 1);
    EXPECT_EQ(p.entries(), (c.taken ? Pairs{{"http://h/good", "GOOD"}} : Pairs()));
    EXPECT_EQ(polls, c.polls);
  }
}

// A big pair's overflow pages as the hash library writes them: the first pair holds a marker in
// its data word (1 partial key, 2 full key, 3 full key and data), the second the next page's
// address and, where the data begins on the page, the data's offset.
TEST(ParsePage, BigPairChainPagesGiveNothing) {
  const uint32_t size = 4096;
  const std::string url = "http://big.example.jp/" + std::string(6000, 'p');
  const std::string key = le32(uint32_t(url.size() + 17)) + le32(uint32_t(url.size() + 1)) + url +
                          std::string(1, '\0') + le32(0);
  const std::string data = le32(300) + le32(5) + std::string(21, '\0') + le32(13) + "M0BIG001.HTM" +
                           std::string(1, '\0') + std::string(200, '\0');
  struct Case {
    const char* what;
    std::function<Page()> build;
  };
  const Case cases[] = {
      {"partial key",
       [&] {
         Page p(size);
         p.put(14, key.substr(0, size - 14));
         p.table({{14, 1}, {2051, 0}});
         p.word(10, 0);
         p.word(12, 14);
         return p;
       }},
      {"full key",
       [&] {
         Page p(size);
         p.put(14, key.substr(0, size - 14));
         p.table({{14, 2}, {2052, 0}});
         p.word(12, 14);
         return p;
       }},
      {"end of the key, start of the data",
       [&] {
         Page p(size);
         const uint16_t k = uint16_t(size - 700);
         p.put(k, key.substr(key.size() - 700));
         p.put(14, data);
         p.table({{k, 3}, {2053, 14}});
         p.word(12, 14);
         return p;
       }},
      {"end of the data",
       [&] {
         Page p(size);
         p.put(2239, data.substr(0, size - 2239));
         p.table({{2239, 3}});
         return p;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int history : {0, 1}) {
      Parse p;
      p.settings.flg_history_db = history;
      EXPECT_EQ(p.run(c.build()), 1);
      EXPECT_EQ(p.entries(), Pairs());
      EXPECT_TRUE(p.sink.keys.empty());
    }
  }
}

TEST(ParsePage, MarkerEndsThePageButKeepsWhatCameBefore) {
  Page page(4096);
  uint16_t k1 = page.place(key_item("http://h/1")), d1 = page.place(data_item("ONE"));
  uint16_t k2 = page.place(key_item("http://h/2")), d2 = page.place(data_item("TWO"));
  uint16_t k3 = page.place(key_item("http://h/3")), d3 = page.place(data_item("THREE"));
  page.put(14, data_item("AT14"));
  struct Case {
    const char* what;
    std::vector<std::pair<uint16_t, uint16_t>> table;
    Pairs want;
  };
  const Case cases[] = {
      {"marker in the data word", {{k1, d1}, {k2, 4}, {k3, d3}}, {{"http://h/1", "ONE"}}},
      {"key offset into the table", {{k1, d1}, {6, d2}, {k3, d3}}, {{"http://h/1", "ONE"}}},
      {"data offset just past the table",
       {{k1, d1}, {k2, d2}, {k3, 14}},
       {{"http://h/1", "ONE"}, {"http://h/2", "TWO"}, {"http://h/3", "AT14"}}},
      {"overflow page pair last, as on every chained page",
       {{k1, d1}, {k2, d2}, {k3, d3}, {0x0803, 0}},
       {{"http://h/1", "ONE"}, {"http://h/2", "TWO"}, {"http://h/3", "THREE"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    page.table(c.table);
    Parse p;
    EXPECT_EQ(p.run(page), 1);
    EXPECT_EQ(p.entries(), c.want);
  }
}

// --- index files ---

using testing::TempDir;

std::string put_file(const TempDir& dir, const std::string& name, const std::string& bytes) {
  dir.write_file(name, bytes);
  return dir.file(name);
}

std::string header(uint32_t size, uint8_t b14, uint8_t b15) {
  std::string h(std::max<uint32_t>(size, 16), '\0');
  h.replace(0, 4, "\x00\x06\x15\x61", 4);
  h[14] = char(b14);
  h[15] = char(b15);
  h.resize(size);
  return h;
}

std::string bytes_of(const Page& p) {
  return std::string(p.b.begin(), p.b.end());
}

class CountingPlatform : public FakePlatform {
 public:
  std::vector<size_t> reads;
  long read_file(FileHandle f, void* buf, size_t n) override {
    reads.push_back(n);
    return FakePlatform::read_file(f, buf, n);
  }
};

struct IndexRun {
  CountingPlatform platform;
  Settings settings;
  IndexReader reader;
  std::unique_ptr<PageBuffer> buffer = std::make_unique<PageBuffer>();
  std::unique_ptr<EntryBatch> batch = std::make_unique<EntryBatch>();
  int opened = -1;
  int pages = 0;
  Pairs entries;

  // The run loop's use of the reader.
  void go(const std::string& path) {
    std::snprintf(settings.fat_filename, sizeof settings.fat_filename, "%s", path.c_str());
    Messages messages(platform);
    std::memset(buffer->bytes, 0x20, sizeof buffer->bytes);  // whatever an earlier use left
    opened = open_index(reader, platform, settings, *buffer);
    if (opened) {
      while (read_page(reader, platform, *buffer)) {
        if (++pages > 1000) {
          ADD_FAILURE() << "no end of file";
          break;
        }
        parse_page(reader, platform, settings, messages, *buffer, *batch, nullptr);
        for (uint32_t i = 0; i < batch->entry_count; ++i)
          entries.emplace_back(batch->entries[i].url, batch->entries[i].cache_file);
      }
    }
    close_index(reader, platform);
  }
};

TEST(IndexFile, OpenAndHeaderPage) {
  const std::string cant = "FAT can't read\n\n";
  struct Case {
    const char* what;
    std::string bytes;
    int opened;
    uint32_t cache_size;
    std::string console;
    std::vector<size_t> reads;  // header reads, then page reads
  };
  const Pairs one = {{"http://h/1", "ONE"}};
  const Case cases[] = {
      {"header page only, 4096-byte pages", header(4096, 0x10, 0), 1, 4096, "", {4096, 4096}},
      {"header page only, 8192-byte pages: two reads",
       header(8192, 0x20, 0),
       1,
       8192,
       "",
       {4096, 4096, 8192}},
      {"32512-byte pages", header(32512, 0x7F, 0), 1, 32512, "", {4096, 28416, 32512}},
      {"256-byte pages", header(4096, 0x01, 0), 1, 256, "", {4096, 256}},
      {"page size 0", header(4096, 0, 0), 1, 0, "", {4096}},
      {"short file", header(100, 0x10, 0), 0, 4096, cant, {4096}},
      {"short file, 8192-byte pages", header(100, 0x20, 0), 0, 8192, cant + cant, {4096, 4096}},
      {"file shorter than the page size field", header(14, 0x20, 0), 0, 0, cant, {4096}},
      {"file of 15 bytes", header(15, 0x20, 0), 0, 0x2000, cant + cant, {4096, 4096}},
      {"empty file", "", 0, 0, cant, {4096}},
      {"8192-byte header cut short", header(6000, 0x20, 0), 0, 8192, cant, {4096, 4096}},
      {"page size 32768", header(4096, 0x80, 0), 0, 0, cant, {4096}},
      {"negative page size", header(4096, 0x00, 0x80), 0, 0, cant, {4096}},
      {"page size -256", header(4096, 0xFF, 0xFF), 0, 0, cant, {4096}},
      {"page size 0x1000 * 256", header(4096, 0x00, 0x10), 0, 0, cant, {4096}},
      {"short file, negative page size", header(100, 0x00, 0x80), 0, 0, cant + cant, {4096}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    IndexRun run;
    run.go(put_file(dir, "FAT.DB", c.bytes));
    EXPECT_EQ(run.opened, c.opened);
    EXPECT_EQ(run.reader.cache_size, c.cache_size);
    EXPECT_EQ(run.platform.console, c.console);
    EXPECT_EQ(run.platform.reads, c.reads);
    EXPECT_EQ(run.pages, 0);
    EXPECT_FALSE(run.reader.is_open());
  }
}

TEST(IndexFile, MissingFile) {
  TempDir dir;
  IndexRun run;
  run.go(put_file(dir, "FAT.DB", "") + ".missing");
  EXPECT_EQ(run.opened, 0);
  EXPECT_FALSE(run.reader.is_open());
  EXPECT_EQ(run.platform.console,
            "FAT can't open '" + std::string(run.settings.fat_filename) + "'.\n\n");
  EXPECT_TRUE(run.platform.reads.empty());
}

TEST(IndexFile, ReadErrorIsAShortRead) {
  TempDir dir;
  IndexRun run;
  run.platform.fail = [](const char* op, const char*) { return std::strcmp(op, "read") == 0; };
  run.go(put_file(dir, "FAT.DB", header(8192, 0x20, 0)));
  EXPECT_EQ(run.opened, 0);
  // Nothing came, so the page size reads 0 and no second read follows.
  EXPECT_EQ(run.platform.console, "FAT can't read\n\n");
  EXPECT_EQ(run.platform.reads, std::vector<size_t>{4096});
}

TEST(IndexFile, PagesInOrderAndShortLastPageIgnored) {
  const Pairs a = {{"http://h/a1", "A1"}, {"http://h/a2", "A2"}};
  const Pairs b = {{"http://h/b1", "B1"}};
  const Pairs c = {{"http://h/c1", "C1"}};
  struct Case {
    uint32_t size;
    uint8_t b14;
  };
  for (const Case& k : {Case{4096, 0x10}, Case{8192, 0x20}, Case{512, 0x02}}) {
    SCOPED_TRACE(k.size);
    std::string head = header(std::max<uint32_t>(k.size, 4096), k.b14, 0);
    std::string file = head + bytes_of(Page::of(k.size, a)) + std::string(k.size, '\0') +
                       bytes_of(Page::of(k.size, b)) + bytes_of(Page::of(k.size, c));
    file.resize(file.size() - 1);  // the last page comes short
    TempDir dir;
    IndexRun run;
    run.go(put_file(dir, "FAT.DB", file));
    EXPECT_EQ(run.opened, 1);
    EXPECT_EQ(run.pages, 3);
    Pairs want = a;
    want.insert(want.end(), b.begin(), b.end());
    EXPECT_EQ(run.entries, want);
    EXPECT_EQ(run.platform.console, "");
  }
}

// Pages smaller than 4096 that lie inside the first 4096 bytes are consumed by the header read.
TEST(IndexFile, SmallPagesInsideTheFirstRead) {
  std::string file = header(256, 0x01, 0);
  for (int i = 1; i <= 17; ++i)
    file += bytes_of(Page::of(256, {{"http://h/" + std::to_string(i), "P"}}));
  TempDir dir;
  IndexRun run;
  run.go(put_file(dir, "FAT.DB", file));
  EXPECT_EQ(run.opened, 1);
  EXPECT_EQ(run.pages, 2);
  EXPECT_EQ(run.entries, (Pairs{{"http://h/16", "P"}, {"http://h/17", "P"}}));
}

}  // namespace
}  // namespace volari
