// The bundled sample cache: the committed files are what the manifest makes, and the program
// converts them with the demo settings as `make demo` shows.
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "e2e/e2e_fixture.h"
#include "support/japanese.h"
#include "testlib/console_text.h"

namespace volari::testing {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = std::string(VOLARI_SOURCE_DIR) + "/examples";

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool is_regular_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Name -> bytes of every file directly in `dir`.
std::map<std::string, std::string> files_in(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    if (e.is_regular_file()) files[e.path().filename().string()] = read_bytes(e.path().string());
  }
  return files;
}

// UTF-8 text in Shift-JIS, by glibc's converter.
std::string sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("SHIFT_JIS", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv has no SHIFT_JIS";
    return "";
  }
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in_p = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_p = &out[0];
  size_t out_left = out.size();
  if (iconv(cd, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1) || in_left != 0)
    ADD_FAILURE() << "not convertible to Shift-JIS: " << utf8;
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

// The values of every HREF="..." on the page, in order.
std::vector<std::string> hrefs(const std::string& page) {
  std::vector<std::string> found;
  const std::string open = "HREF=\"";
  for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
    at += open.size();
    const size_t end = page.find('"', at);
    if (end == std::string::npos) break;
    found.push_back(page.substr(at, end - at));
  }
  return found;
}

size_t count_of(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

TEST(ExamplesTest, CommittedCacheIsWhatTheManifestMakes) {
  TempDir dir;
  ProcessResult r = run_process(
      {"/bin/bash", std::string(VOLARI_SOURCE_DIR) + "/tools/make-examples.sh", dir.file("cache")},
      dir.path(), {"TZ=Asia/Tokyo", std::string("MKCACHE=") + VOLARI_MKCACHE}, 120);
  ASSERT_EQ(r.status, 0) << r.output;

  const std::map<std::string, std::string> fresh = files_in(dir.file("cache"));
  const std::map<std::string, std::string> committed = files_in(kExamples + "/cache");
  std::set<std::string> fresh_names, committed_names;
  for (const auto& f : fresh) fresh_names.insert(f.first);
  for (const auto& f : committed) committed_names.insert(f.first);
  EXPECT_EQ(fresh_names, committed_names) << "run tools/make-examples.sh and commit examples/cache";
  // The index and one file for each of the 73 entries but the two that have lost theirs; the
  // deleted entry's file stays, as the browser left it.
  EXPECT_EQ(fresh.size(), 72u);
  EXPECT_EQ(fresh.count("FAT.DB"), 1u);
  for (const auto& f : fresh) {
    const auto c = committed.find(f.first);
    if (c == committed.end()) continue;
    EXPECT_TRUE(c->second == f.second)
        << f.first << " differs: run tools/make-examples.sh and commit examples/cache";
  }
}

// The repository's layout in a scratch directory: examples/ (the real one, linked) beside
// demo-out/, which holds the program and the demo settings file, as tools/demo.sh lays them out.
class ExamplesDemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(symlink(kExamples.c_str(), dir.file("examples").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("demo-out").c_str(), 0755), 0);
    ASSERT_EQ(symlink(VOLARI_VOLD32, dir.file("demo-out/vold32").c_str()), 0);
    dir.write_file("demo-out/VOLARI.INI", read_bytes(kExamples + "/VOLARI.INI"));
    out = fs::canonical(dir.file("demo-out")).string();
  }

  ProcessResult run() {
    return run_process({dir.file("demo-out/vold32")}, dir.file("demo-out"), {"TZ=Asia/Tokyo"});
  }

  std::string history() const { return read_bytes(out + "/HISTORY.HTM"); }

  TempDir dir;
  std::string out;  // the output directory as the program sees it
};

TEST_F(ExamplesDemoTest, ConvertsTheSampleCache) {
  const ProcessResult r = run();
  ASSERT_EQ(r.status, 0) << r.output;

  // Counted by hand from examples/manifest.txt and the demo settings.
  const std::string counts = summary(
      // The manifest's 73 entries less the deleted one; the INT_ keys are no entries.
      72,
      // 72 less the 9 skipped below and the file: URL, which SKIP_URL=6 leaves out uncounted.
      62,
      // Pages: 29 .html and .htm files, the seven URLs that end in '/' (stored as INDEX.HTM)
      // and download/README (stored as README.HTM).
      37,
      // Images: 22 GIF and JPEG files, clock.js, Ticker.class and order.cgi (the answer to the
      // POST, whose name is not a page's).
      25,
      // LAST_FROM=0: the time of the last run plays no part.
      0,
      // images/bullet.gif and news/1998/1120.html have lost their cache files.
      2,
      // The two ftp: URLs.
      2,
      // CGI_FILE=0 refuses the five names with a query: count.cgi, Count.cgi, query,
      // search.cgi and search.
      5);
  const std::string tail = std::string(ja::kEndMessage) + counts;
  ASSERT_GE(r.output.size(), tail.size()) << r.output;
  EXPECT_EQ(r.output.substr(r.output.size() - tail.size()), tail);
  EXPECT_EQ(read_bytes(out + "/LOG.TXT"), crlf(r.output));

  // Numbers, ports, user names, escapes and aliases as the host naming makes them.
  std::string out_dos = out;
  for (char& c : out_dos) c = c == '/' ? '\\' : c;
  const struct {
    const char* url;
    const char* path;
  } arrows[] = {
      {"http://192.0.2.10/manual/index.html", "\\00.DOM\\manual\\index.html"},
      {"http://dev.example.net:8080/test/index.html", "\\NET\\EXAMPLE\\DEV.DOM\\test\\index.html"},
      {"http://guest@members.example.org/club/news.html",
       "\\ORG\\EXAMPLE\\MEMBERS.DOM\\club\\news.html"},
      {"http://www02.example.ne.jp/%7Eyamada/", "\\ISP.DOM\\~yamada\\INDEX.HTM"},
      {"http://search.example.ne.jp/", "\\ISP\\SEARCH.DOM\\INDEX.HTM"},
      {"http://www.example.com/download/README", "\\COM\\EXAMPLE.DOM\\download\\README.HTM"},
  };
  for (const auto& a : arrows) {
    const std::string want = std::string(a.url) + "\n -> " + out_dos + a.path + "\n";
    EXPECT_NE(r.output.find(want), std::string::npos) << want;
  }

  // Every page gets a title line and a URL line, and every link opens a copied file.
  const std::string page = history();
  const std::vector<std::string> links = hrefs(page);
  EXPECT_EQ(links.size(), 2u * 37u);
  std::set<std::string> files;
  for (const std::string& link : links) {
    ASSERT_EQ(link.rfind("file://" + out + "/", 0), 0u) << link;
    const std::string path = link.substr(7);
    EXPECT_TRUE(is_regular_file(path)) << path;
    files.insert(path);
  }
  EXPECT_EQ(files.size(), 37u);

  // Titles in Shift-JIS, whichever character set the page had.
  const struct {
    const char* path;
    const char* title;  // UTF-8
  } titles[] = {
      {"/JP/CO/EXAMPLE/HANABI.DOM/INDEX.HTM", "花火工房あさひ ホームページ"},         // Shift_JIS
      {"/JP/OR/EXAMPLE/TENKI.DOM/index.html", "お天気ネット - 全国の天気予報"},       // EUC-JP
      {"/ISP.DOM/~yamada/diary/9811.html", "日記 1998年11月"},                        // ISO-2022-JP
      {"/JP/CO/EXAMPLE/HANABI.DOM/products/価格表.html", "価格表 - 花火工房あさひ"},  // escaped
      {"/00.DOM/manual/mail.html", "電子メールの設定"},
  };
  for (const auto& t : titles) {
    const std::string want =
        "<A HREF=\"file://" + out + sjis(t.path) + "\">" + sjis(t.title) + "</A>";
    EXPECT_NE(page.find(want), std::string::npos) << t.path;
  }

  // Pages stored in EUC-JP or ISO-2022-JP are copied in Shift-JIS, with CR LF line ends; a
  // Shift-JIS page keeps its bytes; an image is copied as it is.
  const std::string content = kExamples + "/content/";
  EXPECT_TRUE(read_bytes(out + "/JP/OR/EXAMPLE/TENKI.DOM/index.html") ==
              crlf(sjis(read_bytes(content + "euc-jp/tenki/index.html"))));
  EXPECT_TRUE(read_bytes(out + "/ISP.DOM/~yamada/diary/9811.html") ==
              crlf(sjis(read_bytes(content + "iso-2022-jp/yamada/diary/9811.html"))));
  EXPECT_TRUE(read_bytes(out + "/JP/CO/EXAMPLE/HANABI.DOM/company/access.html") ==
              sjis(read_bytes(content + "shift_jis/hanabi/company/access.html")));
  EXPECT_TRUE(read_bytes(out + "/JP/OR/EXAMPLE/TENKI.DOM/map/japan.jpg") ==
              read_bytes(content + "raw/tenki/japan.jpg"));

  // Nothing of the skipped entries: ftp, file, CGI names with a query.
  EXPECT_FALSE(fs::exists(out + "/JP/AC"));
  EXPECT_FALSE(fs::exists(out + "/00.DOM/C|"));
  EXPECT_FALSE(fs::exists(out + "/JP/CO/EXAMPLE/HANABI.DOM/cgi-bin"));
  EXPECT_FALSE(fs::exists(out + "/ISP/SEARCH.DOM/cgi-bin"));

  // The time of the run goes into the settings file beside the program.
  const std::string settings = read_bytes(out + "/VOLARI.INI");
  EXPECT_EQ(settings.find("LAST_TIME=\r\n"), std::string::npos);
  EXPECT_NE(settings.find("\r\nLAST_TIME=2"), std::string::npos);
  EXPECT_NE(settings.find("\r\nFATNAME=../examples/cache/FAT.DB\r\n"), std::string::npos);
}

TEST_F(ExamplesDemoTest, SecondRunAddsASectionAndATranscript) {
  const ProcessResult first = run();
  ASSERT_EQ(first.status, 0) << first.output;
  const ProcessResult second = run();
  ASSERT_EQ(second.status, 0) << second.output;
  // LAST_FROM=0: the second run converts everything again.
  EXPECT_EQ(first.output.substr(first.output.find(ja::kEndMessage)),
            second.output.substr(second.output.find(ja::kEndMessage)));

  const std::string page = history();
  EXPECT_EQ(count_of(page, "<TITLE>History from VOLARI</TITLE>"), 1u);
  // HISTORYDATE=10: a section per run.
  EXPECT_EQ(count_of(page, "</DL>\r\n<HR><DT><H3>"), 2u);
  EXPECT_EQ(hrefs(page).size(), 2u * 2u * 37u);
  EXPECT_EQ(read_bytes(out + "/LOG.TXT"), crlf(first.output + second.output));
}

}  // namespace
}  // namespace volari::testing
