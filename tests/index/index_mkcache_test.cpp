// The page reader against the hash library itself: caches written by mkcache through the real
// Berkeley DB 1.85 library, read back by the library's seq() (mkcache --dump) and by our reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "index/index_reader.h"
#include "testlib/fake_platform.h"
#include "testlib/mkcache_runner.h"
#include "testlib/temp_dir.h"

namespace volari {
namespace {

using testing::manifest_escape;
using Pair = std::pair<std::string, std::string>;  // url, cache file

// The whole index as the run loop reads it.
struct Read : HistoryKeySink {
  std::multiset<Pair> entries;
  std::multiset<std::string> keys;
  int opened = -1, intel_cpu = -1;
  std::string console;
  void history_key(const HistoryKey& k) override { keys.insert(k.url); }

  Read(const std::string& path, bool history) {
    testing::FakePlatform platform;
    auto page = std::make_unique<PageBuffer>();
    auto batch = std::make_unique<EntryBatch>();
    IndexReader reader;
    opened = open_index(reader, platform, path.c_str(), false, *page);
    PageScan scan;
    scan.history = history;
    scan.history_keys = this;
    while (opened && read_page(reader, platform, *page)) {
      EXPECT_TRUE(parse_page(reader, *page, scan, *batch));
      for (uint32_t i = 0; i < batch->entry_count; ++i)
        entries.emplace(batch->entries[i].url, batch->entries[i].cache_file);
    }
    close_index(reader, platform);
    intel_cpu = reader.big_endian ? 0 : 1;
    console = platform.console;
  }
};

// What `a` holds beyond `b`, repeats counted.
template <class T>
std::multiset<T> minus(const std::multiset<T>& a, const std::multiset<T>& b) {
  std::multiset<T> out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(out, out.end()));
  return out;
}

// Many buckets and overflow pages, with replaced and deleted keys (stale copies on freed pages),
// long URLs, a POST key, Shift-JIS bytes and big pairs.
TEST(IndexAgainstLibrary, EveryLivePairIsFoundAndExtrasAreStaleCopies) {
  std::string manifest;
  std::set<Pair> ever_put;  // every pair put at some time, URL cut to 259 bytes
  auto put = [&](const std::string& url, const std::string& name, const char* extra = "") {
    manifest += manifest_escape(url) + " " + manifest_escape(name) + " nofile" + extra + "\n";
    ever_put.emplace(url.substr(0, 259), name);
  };
  auto del = [&](const std::string& url) { manifest += "delete " + manifest_escape(url) + "\n"; };
  auto page_url = [](int i) {
    return "http://host" + std::to_string(i % 13) + ".example.com/dir" + std::to_string(i % 5) +
           "/page" + std::to_string(i) + ".html";
  };
  for (int i = 0; i < 900; ++i) put(page_url(i), "M" + std::to_string(1000000 + i) + ".HTM");
  for (int i = 0; i < 900; i += 7) del(page_url(i));
  put("http://www.example.co.jp/dup.html", "M0DUP001.HTM");
  put("http://www.example.co.jp/dup.html", "M0DUP002.HTM");
  put("http://long.example.jp/" + std::string(280, 'a') + ".html", "M0LONG01.HTM");
  put("http://long.example.jp/" + std::string(600, 'b') + ".html", "M0LONG02.HTM");
  put("http://long.example.jp/" + std::string(236, 'c'), "M0LONG03.HTM");  // exactly 259
  put("http://www.example.co.jp/cgi-bin/q.cgi?a=1", "M0POST01.HTM", " post=a=1&b=2");
  put("http://\x82\xA0.example.jp/\x95\x5C.html", "M0SJIS01.HTM");
  put("ftp://ftp.example.org/pub/file.tar.gz", "0A/cache35A1B2C3001A2F4.gz");
  const std::string big = "http://big.example.jp/" + std::string(9000, 'p') + ".html";
  put(big, "M0BIG001.HTM");
  const std::string big2 = "http://big2.example.jp/" + std::string(5000, 'q');
  put(big2, "M0BIG002.HTM");
  del(big2);

  for (const char* bsize : {"4096", "8192"}) {
    for (const char* lorder : {"1234", "4321"}) {
      for (const char* records : {"5", "3"}) {
        const std::string args =
            std::string("--bsize ") + bsize + " --lorder " + lorder + " --records " + records;
        SCOPED_TRACE(args);
        testing::TempDir dir;
        ASSERT_EQ(testing::run_mkcache(dir.file("cache"), manifest, args), 0);
        const std::string index = dir.file("cache/FAT.DB");
        std::multiset<Pair> want;
        int internal = 0, big_pairs = 0, post = 0;  // the cache holds what it should
        for (const testing::DumpedPair& d : testing::dump_index(index)) {
          ASSERT_FALSE(d.is_raw) << d.url;
          internal += d.is_internal, big_pairs += d.url == big, post += d.is_post;
          if (!d.is_internal && d.url != big) want.emplace(d.url.substr(0, 259), d.cache_file);
        }
        ASSERT_EQ(internal, 3);
        ASSERT_EQ(big_pairs, 1);
        ASSERT_EQ(post, 1);
        ASSERT_GT(want.size(), 700u);

        Read got(index, false);
        EXPECT_EQ(got.opened, 1);
        EXPECT_EQ(got.console, "");
        EXPECT_EQ(got.intel_cpu, lorder[0] == '1' ? 1 : 0);
        for (const Pair& p : minus(want, got.entries))
          ADD_FAILURE() << "missing: " << p.first.substr(0, 80) << " -> " << p.second;
        for (const Pair& p : minus(got.entries, want))
          EXPECT_TRUE(ever_put.count(p)) << "unexplained: " << p.first.substr(0, 80);
      }
    }
  }
}

TEST(IndexAgainstLibrary, HistoryFileKeys) {
  auto url = [](int i) {
    return "http://site" + std::to_string(i % 17) + ".example.net/p" + std::to_string(i) +
           "?q=" + std::string(size_t(i % 40), 'x');
  };
  std::string manifest;
  std::set<std::string> urls;
  for (int i = 0; i < 400; ++i) {
    manifest += manifest_escape(url(i)) + " title=T" + std::to_string(i) + "\n";
    urls.insert(url(i));
  }
  for (int i = 0; i < 400; i += 9) manifest += "delete " + manifest_escape(url(i)) + "\n";
  for (const char* form : {"--history=4", "--history=3"}) {
    for (const char* lorder : {"1234", "4321"}) {
      const std::string args = std::string(form) + " --lorder " + lorder;
      SCOPED_TRACE(args);
      testing::TempDir dir;
      ASSERT_EQ(testing::run_mkcache(dir.file("h"), manifest, args), 0);
      const std::string index = dir.file("h/NETSCAPE.HST");
      std::multiset<std::string> want;
      for (const testing::DumpedPair& d : testing::dump_index(index, "--history"))
        want.insert(d.url);
      ASSERT_GT(want.size(), 300u);

      Read got(index, true);
      EXPECT_EQ(got.opened, 1);
      EXPECT_TRUE(got.entries.empty());
      for (const std::string& u : minus(want, got.keys)) ADD_FAILURE() << "missing: " << u;
      for (const std::string& u : got.keys) EXPECT_TRUE(urls.count(u)) << "unexplained: " << u;
      EXPECT_EQ(got.console, "");  // keys are shown only while messages.verbose is on
    }
  }
}

}  // namespace
}  // namespace volari
