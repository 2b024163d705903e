// What a run writes for an entry: its copy, the title found on the way, its history lines.
#include <filesystem>
#include <string>

#include "output/copy.h"
#include "output/history.h"
#include "support/japanese.h"
#include "support/temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

// A cached file in a cache directory, copied to a nested output path, as the pipeline names them.
constexpr char kCache[] = ".\\CACHE\\M0001.HTM";
constexpr char kOut[] = ".\\OUT\\DIR\\INDEX.HTM";
constexpr char kCacheNative[] = "CACHE/M0001.HTM";
constexpr char kOutNative[] = "OUT/DIR/INDEX.HTM";
constexpr time_t kWritten = 900374721;  // 1998-07-14 00:05:21 UTC

// A run's output state in a fresh current directory.
class OutputTest : public TempTree {
 protected:
  OutputTest() { std::filesystem::create_directories("OUT/DIR"); }
  ~OutputTest() override { close_history(ctx); }

  FakePlatform platform;
  Settings settings;
  Messages messages{platform};
  OutputState state{platform};
  OutputContext ctx{platform, settings, messages, state};
};

// A page's copy: its bytes by mode, the title found on the way and the cached file's times.
TEST_F(OutputTest, ContentTitleAndTimesByMode) {
  // An EUC character split between two pieces of a long line.
  const std::string a(32510, 'a'), long_line = a + "\xa4\xa2" + a, long_sjis = a + "\x82\xa0" + a;
  const std::string mixed = "<title>\xa4\xa2</title>\nline\x1a\0tail\n"s, x300(300, 'x');
  const struct {
    int shiftjis;
    std::string in, out;
    std::string title = "";
  } cases[] = {
      // Text mode: CR LF line ends, the page converted as it was decided, a line in pieces.
      {1, long_line + "\n", long_sjis + "\r\n"},
      // Text mode only with conversion on (any non-zero).
      {0, mixed, mixed, "\xa4\xa2"},
      {7, mixed, "<title>\x82\xa0</title>\r\nline", "\x82\xa0"},
      // The first title: that of a text copy ends with its line, that of a binary one does not;
      // tags in upper or lower case, no more than 259 bytes.
      {1, "<TITLE>a\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\n"},
      {0, "<TITLE>a\r\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\r\nb"},
      {0, "<Title>x<title>a</Title>b</title>c", "<Title>x<title>a</Title>b</title>c", "a</Title>b"},
      {0, "<title>" + x300, "<title>" + x300, x300.substr(0, 259)},
  };
  // Ahead of the clock, so that reading the source does not move it (relatime).
  const time_t accessed = time(nullptr) + 7200;
  for (const auto& c : cases) {
    settings.flg_shiftjis = c.shiftjis;
    put(kCacheNative, c.in);
    set_times(kCacheNative, accessed, kWritten);
    const CopyResult r = copy_cache_file(ctx, EntryFlags{false}, kCache, kOut);
    EXPECT_TRUE(r.ok) << &c - cases;
    EXPECT_TRUE(get(kOutNative) == c.out) << &c - cases << ": " << get(kOutNative).substr(0, 99);
    EXPECT_EQ(r.title, c.title) << &c - cases;
    EXPECT_EQ(status(kOutNative).st_mtime, kWritten) << &c - cases;
    EXPECT_EQ(status(kOutNative).st_atime, accessed) << &c - cases;
  }
  EXPECT_EQ(platform.console, "");
}

// A tag the page leaves open is written all the same, in either mode.
TEST_F(OutputTest, TheLinksOfAPageEndWithIt) {
  put(kCacheNative, "<a href=b.htm>\n<a");
  for (const int shiftjis : {1, 0}) {
    settings.flg_shiftjis = shiftjis;
    LinkRewriter links("http://h/", kOut, nullptr);
    ASSERT_TRUE(copy_cache_file(ctx, EntryFlags{false}, kCache, kOut, {}, &links).ok);
    EXPECT_EQ(get(kOutNative),
              shiftjis ? "<a href=\"http://h/b.htm\">\r\n<a" : "<a href=\"http://h/b.htm\">\n<a");
  }
}

// A fault at any step fails the copy (the times excepted) with its error line, even when messages
// are quiet, and leaves what the name held before: the earlier copy whole, or nothing.
TEST_F(OutputTest, AFailedCopyLeavesWhatWasThere) {
  const struct {
    Op op;
    const char* where;  // the start of the paths it fails for
    int nth;            // its n-th such call fails (0: every one)
  } faults[] = {{Op::open, kCache, 1},
                {Op::open, ".\\OUT", 0},
                {Op::read, kCache, 2},
                {Op::write, ".\\OUT", 2},
                {Op::close, ".\\OUT", 1},
                {Op::rename, ".\\OUT", 1},
                {Op::set_file_times, ".\\OUT", 1}};
  std::string error = ja::kCopyFailedFormat;
  error.replace(error.find("%s"), 2, "./OUT/DIR/INDEX.HTM");
  messages.verbose = false;
  put(kCacheNative, std::string(39999, 'x') + "\n");
  for (int run = 0; run < 4; ++run) {
    const bool graphic = run & 1, earlier = run & 2;
    for (const auto& f : faults) {
      SCOPED_TRACE(std::to_string(run) + " op " + std::to_string(int(f.op)) + " " + f.where);
      std::filesystem::remove_all("OUT/DIR");
      std::filesystem::create_directories("OUT/DIR");
      if (earlier) put(kOutNative, "good");
      platform.console.clear();
      int calls = 0, hits = 0, opens_of_out = 0;
      platform.fail = [&](Op op, const std::string& path) {
        opens_of_out += op == Op::open && path == kOut;
        const bool hit = op == f.op && path.rfind(f.where, 0) == 0 && (++calls == f.nth || !f.nth);
        return hits += hit, hit;
      };
      const CopyResult r = copy_cache_file(ctx, EntryFlags{graphic}, kCache, kOut);
      platform.fail = nullptr;
      const bool ok = hits == 0 || f.op == Op::set_file_times;
      EXPECT_EQ(r.ok, ok);
      EXPECT_EQ(platform.console, ok ? "" : error);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator("OUT/DIR"), {}), ok || earlier);
      const std::string left = ok ? "xxxx" : earlier ? "good" : "";
      EXPECT_EQ(left.empty() ? "" : get(kOutNative).substr(0, 4), left);
      EXPECT_LE(opens_of_out, 1);  // the times go on through the handle of the copy
    }
  }
}

const std::string kPageHeader =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n"
    "<TITLE>History from VOLARI</TITLE>\r\n<H2>History from VOLARI</H2>\r\n<DL><P>\r\n";
constexpr char kPage[] = "HISTORY.HTM";

std::string line(const std::string& target, const std::string& text) {
  return "    <DT><A HREF=\"" + target + "\">" + text + "</A>\r\n";
}

// One entry of a fresh run, by mode and type: its lines, title and local link; "" for no page.
TEST_F(OutputTest, EntryLines) {
  const std::string u = "http://h/", long_url = u + std::string(300, 'p');
  const std::string lt(259, '<');
  std::string lt_text;
  for (int i = 0; i < 259; ++i) lt_text += "&lt;";
  const struct {
    int mode, type, shiftjis;
    std::string title;  // found during the copy
    std::string url;
    const char* out;
    std::string lines;
    EntryFlags flags = EntryFlags{false};
    const char* url_filename = "index.htm";
  } cases[] = {
      {2, 2, 1, "T", u, "A", line("file://A", u)},
      // The title: the URL when the copy found none; converted only when pages were not.
      {2, 1, 0, "", u + "\xa4\xa2", "A", line("file://A", u + "\xa4\xa2")},
      {2, 1, 1, "", long_url, "A", line("file://A", long_url.substr(0, 259))},
      {2, 1, 0, "\xa4\xa2\x1b$B\x24\x22\x1b(B", u, "A", line("file://A", "\x82\xa0\x82\xa0")},
      // Cached text adds no markup; the longest title is never cut.
      {2, 1, 1, lt, u, "A", line("file://A", lt_text)},
      // The local link: a drive, a 0x5C inside a character (表), half-width katakana.
      {2, 2, 1, "", u, "D:\\OUT\\H.HTM", line("file:///D|/OUT/H.HTM", u)},
      {2, 2, 1, "", u, "O\\\x95\x5c\\\xb1\\A", line("file://O/\x95\x5c/\xb1/A", u)},
      // The entries a mode chooses: 2 index pages, 3 pages and FTP files without name.
      {2, 2, 1, "", u, "A", line("file://A", u), EntryFlags{true, false, true}, "Index.HTML"},
      {2, 2, 1, "", u, "A", "", EntryFlags{false, false, true}, "XINDEX.HTM"},
      {3, 2, 1, "", u, "A", line("file://A", u), EntryFlags{true, true, false}, ""},
      {3, 2, 1, "", u, "A", "", EntryFlags{true, true, true}, "a.zip"},
  };
  for (const auto& c : cases) {
    settings.flg_hst_mode = c.mode;
    settings.flg_hst_type = c.type;
    settings.flg_shiftjis = c.shiftjis;
    std::filesystem::remove(kPage);
    close_history(ctx);  // a new run
    put_history_entry(ctx, c.flags, c.title, c.url.c_str(), c.url_filename, c.out);
    close_history(ctx);
    EXPECT_EQ(dir.exists(kPage) ? get(kPage) : "", c.lines.empty() ? "" : kPageHeader + c.lines)
        << "row " << &c - cases;
  }
}

// A page that cannot be opened is tried again by the next text; one that cannot be written is
// reported. Either way the run hears of it.
TEST_F(OutputTest, PageThatCannotBeWritten) {
  bool refuse = true;
  platform.fail = [&](Op op, const std::string&) { return refuse && op == Op::open; };
  hst_printf(ctx, "first\n");
  refuse = false;
  hst_printf(ctx, "%s", std::string(3000, 'b').c_str());
  EXPECT_FALSE(close_history(ctx));
  EXPECT_EQ(get(kPage), kPageHeader + std::string(2047, 'b'));  // a text is cut to 2047 bytes
  platform.console.clear();
  platform.fail = [&](Op op, const std::string&) { return op == Op::write; };
  messages.verbose = false;  // not a verbose message: shown all the same
  hst_printf(ctx, "third\n");
  EXPECT_FALSE(close_history(ctx));
  EXPECT_EQ(platform.console, "file can't write './HISTORY.HTM'.\n\n");
}

}  // namespace
}  // namespace volari::testing
