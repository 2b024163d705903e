// The page reader against the hash library itself: caches and history files written by mkcache
// through the real Berkeley DB 1.85 library, read back by the library's seq() (mkcache --dump)
// and by our reader.
#include <gtest/gtest.h>

#include <algorithm>
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
using Pairs = std::multiset<std::pair<std::string, std::string>>;  // url, cache file ("": a key)

// The whole index as the run loop reads it.
struct Read : HistoryKeySink {
  Pairs got;
  IndexReader reader;
  void history_key(const HistoryKey& k) override { got.emplace(k.url, ""); }

  Read(const std::string& path, bool history) {
    testing::FakePlatform platform;
    auto page = std::make_unique<PageBuffer>();
    auto batch = std::make_unique<EntryBatch>();
    EXPECT_TRUE(open_index(reader, platform, path.c_str(), false, *page));
    PageScan scan;
    scan.history = history;
    scan.history_keys = this;
    while (read_page(reader, platform, *page)) {
      EXPECT_TRUE(parse_page(reader, *page, scan, *batch));
      for (uint32_t i = 0; i < batch->entry_count; ++i)
        got.emplace(batch->entries[i].url, batch->entries[i].cache_file);
    }
    close_index(reader, platform);
    EXPECT_EQ(platform.console, "");  // keys are shown only while messages.verbose is on
  }
};

// What `a` holds beyond `b`, repeats counted.
Pairs minus(const Pairs& a, const Pairs& b) {
  Pairs out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(out, out.end()));
  return out;
}

// Many buckets and overflow pages, with replaced and deleted keys (stale copies on freed pages),
// long URLs, a POST key, Shift-JIS bytes and big pairs (which the reader leaves out).
TEST(IndexAgainstLibrary, EveryLivePairIsFoundAndExtrasAreStaleCopies) {
  std::string cache, history;
  std::set<std::pair<std::string, std::string>> ever_put;  // URL cut to 259 bytes
  auto put = [&](const std::string& url, const std::string& name, const char* extra = "") {
    cache += manifest_escape(url) + " " + manifest_escape(name) + " nofile" + extra + "\n";
    ever_put.emplace(url.substr(0, 259), name);
  };
  auto page_url = [](int i) {
    return "http://host" + std::to_string(i % 13) + ".example.com/dir" + std::to_string(i % 5) +
           "/page" + std::to_string(i) + ".html?q=" + std::string(size_t(i % 40), 'x');
  };
  for (int i = 0; i < 900; ++i) {
    put(page_url(i), "M" + std::to_string(1000000 + i) + ".HTM");
    history += manifest_escape(page_url(i)) + " title=T" + std::to_string(i) + "\n";
    ever_put.emplace(page_url(i), "");
  }
  for (int i = 0; i < 900; i += 7) {
    cache += "delete " + manifest_escape(page_url(i)) + "\n";
    history += "delete " + manifest_escape(page_url(i)) + "\n";
  }
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
  cache += "delete " + manifest_escape(big2) + "\n";

  for (const char* form :
       {"--bsize 4096 --records 5", "--bsize 4096 --records 3", "--bsize 8192 --records 5",
        "--bsize 8192 --records 3", "--history=4", "--history=3"}) {
    for (const char* lorder : {"1234", "4321"}) {
      const std::string args = std::string(form) + " --lorder " + lorder;
      SCOPED_TRACE(args);
      const bool is_history = args.find("history") != std::string::npos;
      testing::TempDir dir;
      ASSERT_EQ(testing::run_mkcache(dir.file("c"), is_history ? history : cache, args), 0);
      const std::string index = dir.file(is_history ? "c/NETSCAPE.HST" : "c/FAT.DB");
      Pairs want;
      int bigs = 0;
      for (const auto& f : testing::dump_index(index, is_history ? "--history" : "")) {
        ASSERT_NE(f[0], "RAW");
        const std::string& u = f[f.size() == 3 ? 1 : 0];
        bigs += u == big;
        if (f[0] != "INT" && u != big) want.emplace(u.substr(0, 259), is_history ? "" : f.back());
      }
      ASSERT_GT(want.size(), 700u);
      ASSERT_EQ(bigs, is_history ? 0 : 1);

      Read read(index, is_history);
      EXPECT_EQ(read.reader.big_endian, lorder[0] == '4');
      for (const auto& p : minus(want, read.got))
        ADD_FAILURE() << "missing: " << p.first.substr(0, 80) << " -> " << p.second;
      for (const auto& p : minus(read.got, want))
        EXPECT_TRUE(ever_put.count(p)) << "unexplained: " << p.first.substr(0, 80);
    }
  }
}

}  // namespace
}  // namespace volari
