// What a run writes for an entry: its copy, the title found on the way, its history lines.
#include <filesystem>
#include <optional>
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

// A page's copy: its bytes by mode, the title found on the way, its links, the cached file's times.
TEST_F(OutputTest, ContentTitleLinksAndTimesByMode) {
  // An EUC character split between two pieces of a long line.
  const std::string a(32510, 'a'), long_line = a + "\xa4\xa2" + a, long_sjis = a + "\x82\xa0" + a;
  const std::string mixed = "<title>\xa4\xa2</title>\nline\x1a\0tail\n"s;
  const std::string titles = "<Title>x<title>a\r\n</Title>b</title>c";
  const std::string filler(40000, 'x'), to_b = "<a href=\"http://h/b.htm\">";
  const struct {
    int shiftjis;
    std::string in, out;
    std::string title = "";
    bool links = false;
  } cases[] = {
      // Text mode: CR LF line ends, the page converted as it was decided, a line in pieces.
      {1, long_line + "\n", long_sjis + "\r\n"},
      // Text mode only with conversion on (any non-zero); its copy ends at ^Z.
      {0, mixed, mixed, "\xa4\xa2"},
      {7, mixed, "<title>\x82\xa0</title>\r\nline", "\x82\xa0"},
      // The first title, tags in upper or lower case: that of a text copy ends with its line,
      // that of a binary one does not.
      {1, "<TITLE>a\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\n"},
      {0, titles, titles, "a\r\n</Title>b"},
      // Its charset declarations name the copy's, even across lines; not in a page of another.
      {1, "<meta http-equiv=\"Content-Type\"\n content=\"text/html; charset=EUC-JP\">\n\xa4\xa2",
       "<meta http-equiv=\"Content-Type\"\r\n content=\"text/html; "
       "charset=Shift_JIS\">\r\n\x82\xa0"},
      {1, "<meta charset=iso-8859-1>\xfc\n", "<meta charset=iso-8859-1>\xfc\r\n"},
      // Links of a page longer than the pieces the rewriter takes, each written once.
      {1, "<a href=b.htm>" + filler + "\n<a href=b.htm>\n", to_b + filler + "\r\n" + to_b + "\r\n",
       "", true},
      // A tag the page leaves open is written all the same, in either mode.
      {1, "<a href=b.htm>\n<a", "<a href=\"http://h/b.htm\">\r\n<a", "", true},
      {0, "<a href=b.htm>\n<a", "<a href=\"http://h/b.htm\">\n<a", "", true},
  };
  // Ahead of the clock, so that reading the source does not move it (relatime).
  const time_t accessed = time(nullptr) + 7200;
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    settings.flg_shiftjis = c.shiftjis;
    put(kCacheNative, c.in);
    set_times(kCacheNative, accessed, kWritten);
    std::optional<LinkRewriter> links;
    if (c.links) links.emplace("http://h/", kOut, nullptr);
    const CopyResult r =
        copy_cache_file(ctx, EntryFlags{false}, kCache, kOut, {}, links ? &*links : nullptr);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(get(kOutNative) == c.out) << get(kOutNative).substr(0, 99);
    EXPECT_EQ(r.title, c.title);
    EXPECT_EQ(status(kOutNative).st_mtime, kWritten);
    EXPECT_EQ(status(kOutNative).st_atime, accessed);
  }
  EXPECT_EQ(platform.console, "");
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
      int calls = 0, hits = 0;
      platform.fail = [&](Op op, const std::string& path) {
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
  const std::string u = "http://h/";
  const struct {
    int mode, type, shiftjis;
    std::string title;  // found during the copy
    const char* out;
    std::string lines;
    EntryFlags flags = EntryFlags{false};
    const char* url_filename = "index.htm";
  } cases[] = {
      {2, 2, 1, "T", "A", line("file://A", u)},
      // The title, converted only when pages were not; cached text adds no markup.
      {2, 1, 0, "\xa4\xa2\x1b$B\x24\x22\x1b(B", "A", line("file://A", "\x82\xa0\x82\xa0")},
      {2, 1, 1, "a<b", "A", line("file://A", "a&lt;b")},
      {2, 2, 1, "", "D:\\OUT\\H.HTM", line("file:///D|/OUT/H.HTM", u)},
      // The entries a mode chooses: 2 index pages, 3 pages and FTP files without name.
      {2, 2, 1, "", "A", line("file://A", u), EntryFlags{true, false, true}, "Index.HTML"},
      {2, 2, 1, "", "A", "", EntryFlags{false, false, true}, "XINDEX.HTM"},
      {3, 2, 1, "", "A", line("file://A", u), EntryFlags{true, true, false}, ""},
      {3, 2, 1, "", "A", "", EntryFlags{true, true, true}, "a.zip"},
  };
  for (const auto& c : cases) {
    settings.flg_hst_mode = c.mode;
    settings.flg_hst_type = c.type;
    settings.flg_shiftjis = c.shiftjis;
    std::filesystem::remove(kPage);
    close_history(ctx);  // a new run
    put_history_entry(ctx, c.flags, c.title, u.c_str(), c.url_filename, c.out);
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
