#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "output/output_fixture.h"
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

// Every copy: its bytes by mode, the title found on the way and the cached file's times.
TEST_F(CopyFiles, ContentTitleAndTimesByMode) {
  std::string long_line(70000, 'a');
  long_line[32510] = '\xa4';  // an EUC character split across two pieces is converted whole
  long_line[32511] = '\xa2';
  std::string long_sjis = long_line;
  long_sjis[32510] = '\x82';
  long_sjis[32511] = '\xa0';
  const std::string mixed = "<title>\xa4\xa2</title>\nline\x1a\0tail\n"s;
  const std::string mixed_text = "<title>\x82\xa0</title>\r\nline";
  const struct {
    int graphic, shiftjis;
    std::string in, out;
    std::string title = "";
  } cases[] = {
      // Text mode: CR LF line ends, the input ends at 0x1A, the page converted as it was decided
      // (a page of several encodings, line by line).
      {0, 1, "a\nb\r\nc", "a\r\nb\r\nc"},
      {0, 1, "a\nb\x1az\nd\n", "a\r\nb"},
      {0, 1, "\xa4\xa2x\x1b$B\x24\x22\x1b(By\x83\x5c\n", "\x82\xa0x\x82\xa0y\x83\x5c\r\n"},
      {0, 1, "\x1b$B\x30\x21\x30\nZ\n",
       "\x88\x9f"
       "0\r\nZ\r\n"},                                // an LF ends no pair
      {0, 1, "AB\x82", "AB\x82"},                    // lead byte at the end of the file
      {0, 1, long_line + "\n", long_sjis + "\r\n"},  // arrives in pieces
      {0, 1, "", ""},
      {1, 1, "", ""},
      // Text mode only for a page (any flag other than 1) with conversion on (any non-zero).
      {0, 0, mixed, mixed, "\xa4\xa2"},
      {1, 1, mixed, mixed, "\xa4\xa2"},
      {0, 7, mixed, mixed_text, "\x82\xa0"},
      // The title of a text copy ends with its line, that of a binary one does not.
      {0, 1, "<TITLE>a\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\n"},
      {0, 0, "<TITLE>a\r\nb</TITLE>", "<TITLE>a\r\nb</TITLE>", "a\r\nb"},
  };
  // Ahead of the clock, so that reading the source does not move it (relatime).
  const time_t accessed = time(nullptr) + 7200;
  for (const auto& c : cases) {
    settings.flg_shiftjis = c.shiftjis;
    put(kCacheNative, c.in);
    set_times(kCacheNative, accessed, kWritten);
    const CopyResult r = copy_cache_file(ctx, EntryFlags{c.graphic != 0}, kCache, kOut);
    EXPECT_TRUE(r.ok) << &c - cases;
    EXPECT_TRUE(get(kOutNative) == c.out) << &c - cases << ": " << get(kOutNative).substr(0, 99);
    EXPECT_EQ(r.title, c.title) << &c - cases;
    EXPECT_EQ(status(kOutNative).st_mtime, kWritten) << &c - cases;
    EXPECT_EQ(status(kOutNative).st_atime, accessed) << &c - cases;
  }
  EXPECT_EQ(platform.console, "");
}

TEST_F(CopyFiles, BinaryCopyMovesWholeChunks) {
  std::string image(100000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 251);
  put(kCacheNative, image);
  platform.reads.clear();
  platform.writes.clear();
  ASSERT_TRUE(copy_cache_file(ctx, EntryFlags{}, kCache, kOut).ok);
  const std::vector<size_t> chunks = {32512, 32512, 32512, 2464};
  EXPECT_EQ(platform.reads, chunks);
  EXPECT_EQ(platform.writes, chunks);
  EXPECT_EQ(get(kOutNative), image);
}

// A fault at any step fails the copy (the times excepted) with its error line, even when messages
// are quiet, and leaves what the name held before: the earlier copy whole, or nothing.
TEST_F(CopyFiles, AFailedCopyLeavesWhatWasThere) {
  const struct {
    Op op;
    const char* where;  // the start of the paths it fails for
    int nth;            // its n-th such call fails (0: every one)
  } faults[] = {
      {Op::open, kCache, 1},
      {Op::open, ".\\OUT", 0},
      {Op::read, kCache, 2},
      {Op::write, ".\\OUT", 2},
      {Op::close, ".\\OUT", 1},
      {Op::rename, ".\\OUT", 1},
      {Op::set_file_times, ".\\OUT", 1},
  };
  const std::string content = std::string(39999, 'x') + "\n";
  const std::string failed = ja::kCopyFailedFormat;  // "... : %s\n"
  messages.verbose = false;
  for (const int graphic : {0, 1}) {
    for (const bool earlier : {false, true}) {
      for (const auto& f : faults) {
        const std::string name = std::to_string(graphic) +
                                 (earlier ? " over a copy, op " : " op ") +
                                 std::to_string(static_cast<int>(f.op)) + " " + f.where;
        std::filesystem::remove_all("OUT/DIR");
        std::filesystem::create_directories("OUT/DIR");
        if (earlier) put(kOutNative, "good");
        put(kCacheNative, content);
        platform.console.clear();
        platform.opens.clear();
        int calls = 0, hits = 0;
        platform.fail = [&](Op op, const std::string& path) {
          const bool hit = op == f.op && path.rfind(f.where, 0) == 0 && ++calls >= f.nth &&
                           (f.nth == 0 || calls == f.nth);
          return hit && ++hits > 0;
        };
        const CopyResult r = copy_cache_file(ctx, EntryFlags{graphic != 0}, kCache, kOut);
        platform.fail = nullptr;
        const bool ok = hits == 0 || f.op == Op::set_file_times;
        EXPECT_EQ(r.ok, ok) << name;
        EXPECT_EQ(platform.console,
                  ok ? "" : failed.substr(0, failed.size() - 3) + "./OUT/DIR/INDEX.HTM\n")
            << name;
        std::string left;
        for (const auto& e : std::filesystem::directory_iterator("OUT/DIR")) {
          left += e.path().filename().string() + "=" + get(e.path().string()).substr(0, 4) + " ";
        }
        EXPECT_EQ(left, ok ? "INDEX.HTM=xxxx " : earlier ? "INDEX.HTM=good " : "") << name;
        // The times go on through the handle of the copy: the destination is opened once.
        EXPECT_LE(std::count(platform.opens.begin(), platform.opens.end(), kOut), 1) << name;
      }
    }
  }
}

}  // namespace
}  // namespace volari::testing
