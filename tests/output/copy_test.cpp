// The copy of a cached file, and the title found on the way.
#include <filesystem>
#include <string>
#include <vector>

#include "output/output_fixture.h"
#include "output/title.h"
#include "support/japanese.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

// A cached file in a cache directory, copied to a nested output path, as the pipeline names them.
constexpr char kCache[] = ".\\CACHE\\M0001.HTM";
constexpr char kOut[] = ".\\OUT\\DIR\\INDEX.HTM";
constexpr char kCacheNative[] = "CACHE/M0001.HTM";
constexpr char kOutNative[] = "OUT/DIR/INDEX.HTM";
constexpr time_t kWritten = 900374721;  // 1998-07-14 00:05:21 UTC

class CopyFiles : public OutputTest {
 protected:
  CopyFiles() { std::filesystem::create_directories("OUT/DIR"); }
};

// A page's copy: its bytes by mode, the title found on the way and the cached file's times.
TEST_F(CopyFiles, ContentTitleAndTimesByMode) {
  std::string long_line(70000, 'a');
  long_line[32510] = '\xa4';  // an EUC character split across two pieces is converted whole
  long_line[32511] = '\xa2';
  std::string long_sjis = long_line;
  long_sjis[32510] = '\x82';
  long_sjis[32511] = '\xa0';
  const std::string mixed = "<title>\xa4\xa2</title>\nline\x1a\0tail\n"s;
  const struct {
    int shiftjis;
    std::string in, out;
    std::string title = "";
  } cases[] = {
      // Text mode: the page converted as it was decided (of several encodings: line by line).
      {1, "\xa4\xa2x\x1b$B\x24\x22\x1b(By\x83\x5c\n", "\x82\xa0x\x82\xa0y\x83\x5c\r\n"},
      {1, "\x1b$B\x30\x21\x30\nZ\n", "\x88\x9f\x30\r\nZ\r\n"},  // an LF ends no pair
      {1, long_line + "\n", long_sjis + "\r\n"},                // arrives in pieces
      // Text mode only with conversion on (any non-zero).
      {0, mixed, mixed, "\xa4\xa2"},
      {7, mixed, "<title>\x82\xa0</title>\r\nline", "\x82\xa0"},
      // The title of a text copy ends with its line, that of a binary one does not.
      {1, "<TITLE>a\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\n"},
      {0, "<TITLE>a\r\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\r\nb"},
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
TEST_F(CopyFiles, TheLinksOfAPageEndWithIt) {
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
TEST_F(CopyFiles, AFailedCopyLeavesWhatWasThere) {
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
  const std::string failed = ja::kCopyFailedFormat;  // "... : %s\n"
  messages.verbose = false;
  put(kCacheNative, std::string(39999, 'x') + "\n");
  for (const int graphic : {0, 1}) {
    for (const bool earlier : {false, true}) {
      for (const auto& f : faults) {
        SCOPED_TRACE(std::to_string(graphic) + (earlier ? " over a copy, op " : " op ") +
                     std::to_string(static_cast<int>(f.op)) + " " + f.where);
        std::filesystem::remove_all("OUT/DIR");
        std::filesystem::create_directories("OUT/DIR");
        if (earlier) put(kOutNative, "good");
        platform.console.clear();
        int calls = 0, hits = 0, opens_of_out = 0;
        platform.fail = [&](Op op, const std::string& path) {
          opens_of_out += op == Op::open && path == kOut;
          const bool hit = op == f.op && path.rfind(f.where, 0) == 0 && ++calls >= f.nth &&
                           (f.nth == 0 || calls == f.nth);
          return hit && ++hits > 0;
        };
        const CopyResult r = copy_cache_file(ctx, EntryFlags{graphic != 0}, kCache, kOut);
        platform.fail = nullptr;
        const bool ok = hits == 0 || f.op == Op::set_file_times;
        EXPECT_EQ(r.ok, ok);
        EXPECT_EQ(platform.console,
                  ok ? "" : failed.substr(0, failed.size() - 3) + "./OUT/DIR/INDEX.HTM\n");
        std::string left;
        for (const auto& e : std::filesystem::directory_iterator("OUT/DIR")) {
          left += e.path().filename().string() + "=" + get(e.path().string()).substr(0, 4) + " ";
        }
        EXPECT_EQ(left, ok ? "INDEX.HTM=xxxx " : earlier ? "INDEX.HTM=good " : "");
        // The times go on through the handle of the copy: the destination is opened once.
        EXPECT_LE(opens_of_out, 1);
      }
    }
  }
}

// The first title a copy shows, as far as the bytes it is shown.
TEST(FindTitle, FirstTitle) {
  const auto title = [](const std::vector<std::string>& pieces, size_t length = 999) {
    TitleFinder finder(true);
    for (const std::string& p : pieces) {
      finder.see(reinterpret_cast<const unsigned char*>(p.data()), std::min(length, p.size()));
    }
    return finder.title();
  };
  EXPECT_EQ(title({"<Title>Welcome</Title>"}), "");
  EXPECT_EQ(title({"<title>a</Title>b</title>c"}), "a</Title>b");
  EXPECT_EQ(title({"<title>ab\0cd</title>"s}), "ab");
  EXPECT_EQ(title({"<title>" + std::string(300, 'x')}), std::string(259, 'x'));
  EXPECT_EQ(title({"<title>One", "<title>Two</title>"}), "One");
  EXPECT_EQ(title({"<title>abcdef</title>"}, 9), "ab");
}

}  // namespace
}  // namespace volari::testing
