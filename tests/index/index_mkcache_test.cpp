// The page reader against the hash library itself: caches written by mkcache through the real
// Berkeley DB 1.85 library, read back by the library's seq() (mkcache --dump) and by our reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "index/index_reader.h"
#include "testlib/fake_platform.h"
#include "testlib/mkcache_runner.h"
#include "testlib/temp_dir.h"

namespace volari {
namespace {

using testing::DumpedPair;
using testing::FakePlatform;
using testing::TempDir;
using Pair = std::pair<std::string, std::string>;  // url, cache file

std::string cut259(const std::string& s) {
  return s.substr(0, 259);
}

struct Manifest {
  std::string text;
  std::set<Pair> ever_put;         // every pair put at some time, URL cut to 259 bytes
  std::set<std::string> big_urls;  // too large for a page: kept on big-pair chains
  void put(const std::string& url, const std::string& name, const std::string& extra = "") {
    text += testing::manifest_escape(url) + " " + testing::manifest_escape(name) + " nofile" +
            extra + "\n";
    ever_put.emplace(cut259(url), name);
  }
  void del(const std::string& url) { text += "delete " + testing::manifest_escape(url) + "\n"; }
};

// Several hundred entries over many buckets and overflow pages, with replaced and deleted keys
// (stale copies on freed pages), long URLs, a POST key, Shift-JIS bytes and big pairs.
Manifest cache_manifest() {
  Manifest m;
  char name[32];
  for (int i = 0; i < 900; ++i) {
    std::snprintf(name, sizeof name, "M%07d.HTM", i);
    m.put("http://host" + std::to_string(i % 13) + ".example.com/dir" + std::to_string(i % 5) +
              "/page" + std::to_string(i) + ".html",
          name);
  }
  for (int i = 0; i < 900; i += 7)
    m.del("http://host" + std::to_string(i % 13) + ".example.com/dir" + std::to_string(i % 5) +
          "/page" + std::to_string(i) + ".html");
  m.put("http://www.example.co.jp/dup.html", "M0DUP001.HTM");
  m.put("http://www.example.co.jp/dup.html", "M0DUP002.HTM");
  m.put("http://long.example.jp/" + std::string(280, 'a') + ".html", "M0LONG01.HTM");
  m.put("http://long.example.jp/" + std::string(600, 'b') + ".html", "M0LONG02.HTM");
  m.put("http://long.example.jp/" + std::string(236, 'c'), "M0LONG03.HTM");  // exactly 259
  m.put("http://www.example.co.jp/cgi-bin/q.cgi?a=1", "M0POST01.HTM", " post=a=1&b=2");
  m.put("http://\x82\xA0.example.jp/\x95\x5C.html", "M0SJIS01.HTM");
  m.put("ftp://ftp.example.org/pub/file.tar.gz", "0A/cache35A1B2C3001A2F4.gz");
  const std::string big = "http://big.example.jp/" + std::string(9000, 'p') + ".html";
  m.put(big, "M0BIG001.HTM");
  m.big_urls.insert(big);
  const std::string big2 = "http://big2.example.jp/" + std::string(5000, 'q');
  m.put(big2, "M0BIG002.HTM");
  m.del(big2);
  m.big_urls.insert(big2);
  return m;
}

struct Read {
  std::multiset<Pair> entries;
  std::vector<std::string> keys;
  int opened = -1;
  int pages = 0;
  int intel_cpu = -1;
  std::string console;
};

class KeyList : public HistoryKeySink {
 public:
  std::vector<std::string>* keys;
  void history_key(const char* url) override { keys->emplace_back(url); }
};

Read read_with_reader(const std::string& path, bool history) {
  Read r;
  FakePlatform platform;
  Settings settings;
  settings.flg_history_db = history;
  std::snprintf(settings.fat_filename, sizeof settings.fat_filename, "%s", path.c_str());
  Messages messages(platform);
  messages.verbose = false;
  auto page = std::make_unique<PageBuffer>();
  auto batch = std::make_unique<EntryBatch>();
  KeyList sink;
  sink.keys = &r.keys;
  IndexReader reader;
  r.opened = open_index(reader, platform, settings, *page);
  while (r.opened && read_page(reader, platform, *page)) {
    ++r.pages;
    EXPECT_EQ(parse_page(reader, platform, settings, messages, *page, *batch, &sink), 1);
    for (uint32_t i = 0; i < batch->entry_count; ++i)
      r.entries.emplace(batch->entries[i].url, batch->entries[i].cache_file);
  }
  close_index(reader, platform);
  r.intel_cpu = settings.intel_cpu;
  r.console = platform.console;
  return r;
}

struct Config {
  unsigned bsize;
  int lorder;
  int records;
};

TEST(IndexAgainstLibrary, EveryLivePairIsFoundAndExtrasAreStaleCopies) {
  const Manifest m = cache_manifest();
  const Config configs[] = {{4096, 1234, 5}, {4096, 4321, 5}, {8192, 1234, 5}, {8192, 4321, 5},
                            {4096, 1234, 3}, {4096, 4321, 3}, {8192, 1234, 3}, {8192, 4321, 3}};
  for (const Config& c : configs) {
    const std::string args = "--bsize " + std::to_string(c.bsize) + " --lorder " +
                             std::to_string(c.lorder) + " --records " + std::to_string(c.records);
    SCOPED_TRACE(args);
    TempDir dir;
    ASSERT_EQ(testing::run_mkcache(dir.file("cache"), m.text, args), 0);
    const std::string index = dir.file("cache/FAT.DB");
    const std::vector<DumpedPair> dumped = testing::dump_index(index);

    std::multiset<Pair> want;
    int internal = 0, big = 0, post = 0;
    for (const DumpedPair& d : dumped) {
      ASSERT_FALSE(d.is_raw) << d.url;
      if (d.is_internal) {
        ++internal;
      } else if (m.big_urls.count(d.url)) {
        ++big;
      } else {
        post += d.is_post;
        want.emplace(cut259(d.url), d.cache_file);
      }
    }
    ASSERT_EQ(internal, 3);
    ASSERT_EQ(big, 1);
    ASSERT_EQ(post, 1);
    ASSERT_GT(want.size(), 700u);

    const Read got = read_with_reader(index, false);
    EXPECT_EQ(got.opened, 1);
    EXPECT_EQ(got.console, "");
    EXPECT_EQ(got.intel_cpu, c.lorder == 1234 ? 1 : 0);
    std::multiset<Pair> extra = got.entries;
    for (const Pair& p : want) {
      auto it = extra.find(p);
      if (it == extra.end()) {
        ADD_FAILURE() << "missing: " << p.first << " -> " << p.second;
      } else {
        extra.erase(it);
      }
    }
    int stale = 0;
    for (const Pair& p : extra) {
      if (m.ever_put.count(p)) {
        ++stale;
      } else {
        ADD_FAILURE() << "unexplained entry: " << p.first.substr(0, 80) << " -> "
                      << p.second.substr(0, 80);
      }
    }
    std::printf("  %s: %zu pages, %zu live pairs, %d stale copies\n", args.c_str(),
                size_t(got.pages), want.size(), stale);
  }
}

TEST(IndexAgainstLibrary, HistoryFileKeys) {
  Manifest m;
  std::set<std::string> urls;
  for (int i = 0; i < 400; ++i) {
    std::string url = "http://site" + std::to_string(i % 17) + ".example.net/p" +
                      std::to_string(i) + "?q=" + std::string(size_t(i % 40), 'x');
    m.text += testing::manifest_escape(url) + " title=T" + std::to_string(i) + "\n";
    urls.insert(url);
  }
  for (int i = 0; i < 400; i += 9) {
    m.del("http://site" + std::to_string(i % 17) + ".example.net/p" + std::to_string(i) +
          "?q=" + std::string(size_t(i % 40), 'x'));
  }
  for (const char* form : {"--history=4", "--history=3"}) {
    for (const char* lorder : {"1234", "4321"}) {
      const std::string args = std::string(form) + " --lorder " + lorder;
      SCOPED_TRACE(args);
      TempDir dir;
      ASSERT_EQ(testing::run_mkcache(dir.file("h"), m.text, args), 0);
      const std::string index = dir.file("h/NETSCAPE.HST");
      std::multiset<std::string> want;
      for (const DumpedPair& d : testing::dump_index(index, "--history")) want.insert(d.url);
      ASSERT_GT(want.size(), 300u);

      const Read got = read_with_reader(index, true);
      EXPECT_EQ(got.opened, 1);
      EXPECT_TRUE(got.entries.empty());
      std::multiset<std::string> extra(got.keys.begin(), got.keys.end());
      for (const std::string& u : want) {
        auto it = extra.find(u);
        if (it == extra.end()) {
          ADD_FAILURE() << "missing: " << u;
        } else {
          extra.erase(it);
        }
      }
      for (const std::string& u : extra) {
        EXPECT_TRUE(urls.count(u)) << "unexplained key: " << u;
      }
      // Keys are shown one per line; messages.verbose is off here, so nothing reaches the console.
      EXPECT_EQ(got.console, "");
    }
  }
}

}  // namespace
}  // namespace volari
