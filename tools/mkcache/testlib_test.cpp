// Tests of the shared test helpers (TempDir, run_mkcache, dump_index) and of what mkcache puts on
// the pages. The pages are walked here independently of mkcache's own code.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "testlib/mkcache_runner.h"
#include "testlib/temp_dir.h"

namespace volari::testing {
namespace {

uint32_t be32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

struct Item {
  std::string key, data;
};

struct Pages {
  uint32_t lorder = 0, bsize = 0;
  std::vector<Item> items;  // every ordinary pair on every page, stale copies included
};

// Walks the hash file page by page as laid out by the library: pair offsets packed down from the
// end of the page; big pairs and overflow links (marker words below 5) end a page's list.
Pages walk(const std::string& file) {
  Pages p;
  if (file.size() < 64) return p;
  p.lorder = be32(file, 8);
  p.bsize = be32(file, 12);
  const uint32_t hdrpages = be32(file, 60);
  auto word = [&](const std::string& page, size_t at) -> unsigned {
    const unsigned a = static_cast<unsigned char>(page[at]);
    const unsigned b = static_cast<unsigned char>(page[at + 1]);
    return p.lorder == 4321 ? a << 8 | b : b << 8 | a;
  };
  for (size_t off = size_t{hdrpages} * p.bsize; off + p.bsize <= file.size(); off += p.bsize) {
    const std::string page = file.substr(off, p.bsize);
    const unsigned n = word(page, 0);
    if (n == 0 || n % 2 != 0 || 2 * n + 6 > p.bsize) continue;
    unsigned prev = p.bsize;
    for (unsigned i = 0; i < n / 2; ++i) {
      const unsigned k = word(page, 2 + 4 * i);
      const unsigned d = word(page, 4 + 4 * i);
      if (d < 5 || !(d < k && k < prev)) break;
      p.items.push_back({page.substr(k, prev - k), page.substr(d, k - d)});
      prev = d;
    }
  }
  return p;
}

// URL -> cache file name as the browser's reader sees them on the pages (INT_ keys left out).
std::map<std::string, std::string> pairs_on_pages(const Pages& p) {
  std::map<std::string, std::string> out;
  for (const Item& it : p.items) {
    if (it.key.compare(0, 4, "INT_") == 0 || it.key.size() < 9 || it.data.size() < 34) continue;
    const std::string url = it.key.substr(8, it.key.find('\0', 8) - 8);
    const std::string name = it.data.substr(33, it.data.find('\0', 33) - 33);
    out[url] = name;
  }
  return out;
}

const Item* find_item(const Pages& p, const std::string& url) {
  for (const Item& it : p.items)
    if (it.key.size() > 8 && it.key.compare(8, url.size() + 1, url + '\0') == 0) return &it;
  return nullptr;
}

// ---------------------------------------------------------------- TempDir

TEST(TempDir, CreatesAUniqueDirectoryAndRemovesItsWholeTree) {
  std::string kept;
  {
    TempDir a, b;
    kept = a.path();
    EXPECT_NE(a.path(), b.path());
    EXPECT_EQ(a.path()[0], '/');
    EXPECT_NE(a.path().back(), '/');
    struct stat st;
    ASSERT_EQ(stat(a.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    a.write_file("deep/er/file.bin", "x");
    a.write_file("ro/inner.txt", "y");
    ASSERT_EQ(chmod(a.file("ro").c_str(), 0500), 0);
  }
  struct stat st;
  EXPECT_NE(stat(kept.c_str(), &st), 0);
}

TEST(TempDir, FilesRoundTripByteForByte) {
  TempDir t;
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  bytes += "\r\n\x1a\r\n";
  t.write_file("a/b/c.bin", bytes);
  EXPECT_EQ(t.read_file("a/b/c.bin"), bytes);
  EXPECT_TRUE(t.exists("a/b"));
  EXPECT_TRUE(t.exists("a/b/c.bin"));
  EXPECT_FALSE(t.exists("a/b/d.bin"));
  t.write_file("a/b/c.bin", "");
  EXPECT_EQ(t.read_file("a/b/c.bin"), "");
  EXPECT_THROW(t.read_file("missing"), std::runtime_error);
  EXPECT_EQ(t.file(""), t.path());
  EXPECT_EQ(t.file("x/y"), t.path() + "/x/y");
}

TEST(TempDir, HonoursTmpdir) {
  TempDir outer;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", (outer.path() + "/").c_str(), 1);
  {
    TempDir inner;
    EXPECT_EQ(inner.path().rfind(outer.path() + "/volari-test-", 0), 0u) << inner.path();
  }
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

// ---------------------------------------------------------------- run_mkcache / dump_index

TEST(Mkcache, EveryByteOfAUrlSurvivesTheManifestAndTheDump) {
  TempDir t;
  std::string url = "http://h/";
  for (int c = 1; c < 256; ++c) url.push_back(static_cast<char>(c));
  const std::string name = std::string("a\tb\nc\\d=e #\x95\x5c.htm", 17);
  const std::string manifest = manifest_escape(url) + " " + manifest_escape(name) + " nofile\n" +
                               manifest_escape("delete") + " " + manifest_escape("post") +
                               " text=" + manifest_escape("x y=z") + "\n";
  ASSERT_EQ(run_mkcache(t.path(), manifest, "--no-intkeys"), 0);
  const std::vector<DumpedPair> pairs = dump_index(t.file("FAT.DB"));
  ASSERT_EQ(pairs.size(), 2u);
  std::map<std::string, DumpedPair> by_url;
  for (const DumpedPair& p : pairs) by_url[p.url] = p;
  ASSERT_EQ(by_url.count(url), 1u);
  EXPECT_EQ(by_url[url].cache_file, name);
  ASSERT_EQ(by_url.count("delete"), 1u);
  EXPECT_EQ(by_url["delete"].cache_file, "post");
  EXPECT_EQ(t.read_file("post"), "x y=z");
  EXPECT_FALSE(by_url[url].is_post || by_url[url].is_internal || by_url[url].is_raw);
}

TEST(Mkcache, InternalKeysCountTheEntriesThatRemain) {
  TempDir t;
  const std::string manifest =
      "http://a/1.html A1.HTM gen=100\n"
      "http://a/2.html A2.HTM gen=20 post\n"
      "http://a/3.html A3.HTM gen=3 nofile\n"
      "http://a/4.html A4.HTM gen=4000\n"
      "delete http://a/4.html\n";
  ASSERT_EQ(run_mkcache(t.path(), manifest), 0);
  std::map<std::string, DumpedPair> by_url;
  for (const DumpedPair& p : dump_index(t.file("FAT.DB"))) by_url[p.url] = p;
  ASSERT_EQ(by_url.size(), 6u);
  EXPECT_TRUE(by_url["INT_DiskCacheSize"].is_internal);
  EXPECT_EQ(by_url["INT_DiskCacheSize"].cache_file, "123");
  EXPECT_EQ(by_url["INT_DiskCacheNumber"].cache_file, "3");
  EXPECT_EQ(by_url["INT_ExternalCacheNameString"].cache_file, "Netscape Internal Disk Cache");
  EXPECT_TRUE(by_url["http://a/2.html"].is_post);
  EXPECT_FALSE(by_url["http://a/1.html"].is_post);
  EXPECT_EQ(by_url.count("http://a/4.html"), 0u);
  EXPECT_EQ(t.read_file("A4.HTM").size(), 4000u);  // deleting the key leaves the file
  EXPECT_FALSE(t.exists("A3.HTM"));
}

struct LayoutCase {
  unsigned bsize;
  int lorder;
  int records;
};

class RecordLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLayout, PagesHoldTheRecordsAsTheBrowserWroteThem) {
  const LayoutCase c = GetParam();
  TempDir t;
  setenv("TZ", "Asia/Tokyo", 1);
  std::string manifest;
  for (int i = 0; i < 400; ++i)
    manifest += "http://host" + std::to_string(i % 9) + ".example.jp/d/p" + std::to_string(i) +
                ".html - gen=" + std::to_string(i) + "\n";
  manifest +=
      "http://x.jp/t.gif T.GIF text=abc mtime=1998-05-06 07:08:09 atime=@900000000 "
      "expires=@900000001 type=image/gif\n"
      "http://x.jp/q.cgi Q.HTM post=k=v\n"
      "http://x.jp/long.html L.HTM urllen=300 namelen=261 nofile\n";
  const std::string args = "--bsize " + std::to_string(c.bsize) + " --lorder " +
                           std::to_string(c.lorder) + " --records " + std::to_string(c.records);
  ASSERT_EQ(run_mkcache(t.path(), manifest, args), 0);
  const std::string file = t.read_file("FAT.DB");
  ASSERT_EQ(file.substr(0, 8), std::string("\0\x06\x15\x61\0\0\0\x02", 8));
  const Pages pages = walk(file);
  EXPECT_EQ(pages.lorder, static_cast<uint32_t>(c.lorder));
  EXPECT_EQ(pages.bsize, c.bsize);
  // The page size as the reader takes it: bytes 14-15 little-endian, times 256.
  EXPECT_EQ(
      (static_cast<unsigned char>(file[14]) | static_cast<unsigned char>(file[15]) << 8) * 256u,
      c.bsize);

  // Whatever the page walk finds is what seq() returns, and nothing of it is missing.
  std::map<std::string, std::string> dumped;
  for (const DumpedPair& p : dump_index(t.file("FAT.DB")))
    if (!p.is_internal) dumped[p.url] = p.cache_file;
  EXPECT_EQ(pairs_on_pages(pages), dumped);
  EXPECT_EQ(dumped.size(), 403u);

  const Item* gif = find_item(pages, "http://x.jp/t.gif");
  ASSERT_NE(gif, nullptr);
  const std::string& k = gif->key;
  EXPECT_EQ(le32(k, 0), k.size());
  EXPECT_EQ(le32(k, 4), 18u);  // strlen + 1
  EXPECT_EQ(k.substr(k.size() - 4), std::string(4, '\0'));
  const std::string& d = gif->data;
  EXPECT_EQ(le32(d, 0), d.size());
  EXPECT_EQ(le32(d, 4), static_cast<uint32_t>(c.records));
  EXPECT_EQ(le32(d, 8), 894406089u);  // 1998-05-05 22:08:09 UTC
  EXPECT_EQ(le32(d, 12), 900000000u);
  EXPECT_EQ(le32(d, 16), 900000001u);
  EXPECT_EQ(le32(d, 20), 3u);
  EXPECT_EQ(le32(d, 29), 6u);
  EXPECT_EQ(d.substr(33, 6), std::string("T.GIF\0", 6));
  EXPECT_NE(d.find(std::string("\x0a\0\0\0image/gif\0", 14)), std::string::npos);
  // Zero padding of the URL's length + 20 at the end.
  EXPECT_EQ(d.substr(d.size() - 37), std::string(37, '\0'));
  EXPECT_EQ(le32(d, d.size() - 37 - (c.records == 5 ? 8 : 4)), 3u);  // real content length

  const Item* post = find_item(pages, "http://x.jp/q.cgi");
  ASSERT_NE(post, nullptr);
  EXPECT_EQ(post->key.size(), 8u + 18 + 4 + 16);
  EXPECT_EQ(le32(post->key, 26), 16u);

  const Item* odd = find_item(pages, "http://x.jp/long.html");
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(le32(odd->key, 4), 300u);
  EXPECT_EQ(le32(odd->data, 29), 261u);
  EXPECT_EQ(odd->data.substr(33, 6), std::string("L.HTM\0", 6));
  EXPECT_FALSE(t.exists("L.HTM"));
}

INSTANTIATE_TEST_SUITE_P(Mkcache, RecordLayout,
                         ::testing::Values(LayoutCase{4096, 1234, 5}, LayoutCase{4096, 4321, 3},
                                           LayoutCase{8192, 1234, 3}, LayoutCase{8192, 4321, 5},
                                           LayoutCase{512, 1234, 5}, LayoutCase{16384, 4321, 5}));

TEST(Mkcache, AUrlLongerThanThePageIsABigPairOffThePages) {
  TempDir t;
  const std::string url = "http://big.jp/" + std::string(5000, 'b') + ".html";
  ASSERT_EQ(run_mkcache(t.path(), url + " BIG.HTM text=1\nhttp://small.jp/ S.HTM\n"), 0);
  std::set<std::string> dumped;
  for (const DumpedPair& p : dump_index(t.file("FAT.DB"))) dumped.insert(p.url);
  EXPECT_EQ(dumped.count(url), 1u);
  const Pages pages = walk(t.read_file("FAT.DB"));
  EXPECT_EQ(find_item(pages, url), nullptr);
  EXPECT_NE(find_item(pages, "http://small.jp/"), nullptr);
}

TEST(Mkcache, GeneratedNamesAndContentAreDeterministic) {
  TempDir a, b;
  const std::string manifest =
      "http://x.jp/index.html - gen=1000\nhttp://x.jp/ - gen=10\nhttp://x.jp/a.jpeg?q=1 -\n";
  ASSERT_EQ(run_mkcache(a.path(), manifest), 0);
  ASSERT_EQ(run_mkcache(b.path(), manifest), 0);
  const std::vector<DumpedPair> pa = dump_index(a.file("FAT.DB"));
  std::map<std::string, std::string> names;
  for (const DumpedPair& p : pa)
    if (!p.is_internal) names[p.url] = p.cache_file;
  ASSERT_EQ(names.size(), 3u);
  EXPECT_TRUE(std::regex_match(names["http://x.jp/index.html"], std::regex("M[0-9A-V]{7}\\.HTM")));
  EXPECT_TRUE(std::regex_match(names["http://x.jp/"], std::regex("M[0-9A-V]{7}")));
  EXPECT_TRUE(std::regex_match(names["http://x.jp/a.jpeg?q=1"], std::regex("M[0-9A-V]{7}\\.JPE")));
  const std::string content = a.read_file(names["http://x.jp/index.html"]);
  EXPECT_EQ(content.size(), 1000u);
  EXPECT_EQ(content, b.read_file(names["http://x.jp/index.html"]));
  EXPECT_NE(content, std::string(1000, content[0]));

  TempDir u;
  ASSERT_EQ(run_mkcache(u.path(), "names unix\nhttp://x.jp/a/b.html - mtime=@900000000\n"), 0);
  const std::vector<DumpedPair> pu = dump_index(u.file("FAT.DB"));
  std::string unix_name;
  for (const DumpedPair& p : pu)
    if (!p.is_internal) unix_name = p.cache_file;
  EXPECT_TRUE(
      std::regex_match(unix_name, std::regex("[0-9A-F]{2}/cache35A4E900[0-9A-F]{7}\\.html")))
      << unix_name;
  EXPECT_TRUE(u.exists(unix_name));
}

TEST(Mkcache, FileTimesFollowTheManifest) {
  TempDir t;
  setenv("TZ", "Asia/Tokyo", 1);
  t.write_file("src/page.html", "<title>x</title>");
  ASSERT_EQ(run_mkcache(t.path() + "/out",
                        "http://a/ sub/P.HTM file=../src/page.html mtime=1998-05-06 07:08:09 "
                        "atime=@950000000\nhttp://b/ Q.HTM\n",
                        "--time @800000000"),
            0);
  struct stat st;
  ASSERT_EQ(stat(t.file("out/sub/P.HTM").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 894406089);
  EXPECT_EQ(st.st_atime, 950000000);
  EXPECT_EQ(st.st_size, 16);
  ASSERT_EQ(stat(t.file("out/Q.HTM").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 800000000);
  EXPECT_EQ(st.st_atime, 800000000);
}

TEST(Mkcache, HistoryFilesInBothForms) {
  TempDir t;
  const std::string manifest =
      "http://a.jp/ title=\\x93\\xfa\\x96\\x7b mtime=@900000000 first=@800000000 visits=7\n"
      "http://b.jp/x.html\n";
  for (const char* form : {"--history", "--history=3"}) {
    ASSERT_EQ(run_mkcache(t.path(), manifest, form), 0);
    const std::vector<DumpedPair> pairs = dump_index(t.file("NETSCAPE.HST"), "--history");
    std::set<std::string> urls;
    for (const DumpedPair& p : pairs) {
      urls.insert(p.url);
      EXPECT_EQ(p.cache_file, "");
    }
    EXPECT_EQ(urls, (std::set<std::string>{"http://a.jp/", "http://b.jp/x.html"}));
    const Pages pages = walk(t.read_file("NETSCAPE.HST"));
    const Item* a = nullptr;
    for (const Item& it : pages.items)
      if (it.key == std::string("http://a.jp/\0", 13)) a = &it;
    ASSERT_NE(a, nullptr) << form;
    if (std::string(form) == "--history") {
      EXPECT_EQ(a->data.size(), 16u + 5);
      EXPECT_EQ(le32(a->data, 0), 900000000u);
      EXPECT_EQ(le32(a->data, 4), 800000000u);
      EXPECT_EQ(le32(a->data, 8), 7u);
      EXPECT_EQ(le32(a->data, 12), 1u);
      EXPECT_EQ(a->data.substr(16), "\x93\xfa\x96\x7b" + std::string(1, '\0'));
    } else {
      EXPECT_EQ(a->data.size(), 4u);
      EXPECT_EQ(le32(a->data, 0), 900000000u);
    }
  }
}

TEST(Mkcache, RefusesBadInputWithAFailureStatus) {
  TempDir t;
  const char* const bad[] = {
      "http://a/ A.HTM text=\\q\n",          // unknown escape
      "http://a/ A.HTM B.HTM\n",             // two names
      "http://a/ A.HTM gen=x\n",             // size not a number
      "http://a/ A.HTM mtime=1998-13-01\n",  // bad date
      "http://a/ ../A.HTM text=x\n",         // file outside the output directory
      "http://a/ /tmp/A.HTM text=x\n",       // absolute name
      "http://a/ FAT.DB text=x\n",           // would be overwritten by the index
      "http://a/ A.HTM file=missing.bin\n",  // content file missing
      "delete http://nowhere/\n",            // nothing to delete
      "bsize 1000\n",                        // not a power of two
      "lorder 3412\n",
      "records 4\n",
      "http://a/ A.HTM colour=red\n",
  };
  for (const char* manifest : bad) {
    TempDir out;
    EXPECT_NE(run_mkcache(out.path() + "/o", manifest), 0) << manifest;
    EXPECT_FALSE(out.exists("A.HTM")) << manifest;
  }
  EXPECT_NE(run_mkcache(t.path(), "http://a/ A.HTM\n", "--bsize 65536"), 0);
  EXPECT_NE(run_mkcache(t.path(), "http://a/ A.HTM\n", "--frobnicate 1"), 0);
}

}  // namespace
}  // namespace volari::testing
