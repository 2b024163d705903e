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

TEST_F(CopyFiles, FailuresReturnZeroAndSayWhy) {
  const Op kTimes = Op::set_file_times;
  const struct {
    int graphic;
    Op op;  // the operation made to fail
    const char* path;
    int nth;     // its n-th call fails (1 = the first)
    long kept;   // bytes the destination keeps; -1: not even created
    int result;  // a copy without its times still counts
  } cases[] = {
      {0, Op::open, kCache, 1, -1, 0},    {1, Op::open, kCache, 1, -1, 0},
      {0, Op::open, kOut, 1, -1, 0},      {1, Op::open, kOut, 1, -1, 0},
      {1, Op::read, kCache, 2, 32512, 0}, {1, Op::write, kOut, 2, 32512, 0},
      {1, Op::close, kOut, 1, 40000, 0},  {0, Op::read, kCache, 1, 0, 0},
      {0, Op::write, kOut, 1, 0, 0},      {0, Op::close, kOut, 1, 40001, 0},
      {0, kTimes, kOut, 1, 40001, 1},     {1, kTimes, kOut, 1, 40000, 1},
  };
  const std::string content = std::string(39999, 'x') + "\n";
  for (const auto& c : cases) {
    std::filesystem::remove(kOutNative);
    put(kCacheNative, content);
    platform.console.clear();
    platform.opens.clear();
    int calls = 0;
    platform.fail = [&](Op op, const std::string& path) {
      return op == c.op && path == c.path && ++calls == c.nth;
    };
    const std::string name =
        std::to_string(c.graphic) + " " + std::to_string(static_cast<int>(c.op)) + " " + c.path;
    const CopyResult r = copy_cache_file(ctx, EntryFlags{c.graphic != 0}, kCache, kOut);
    EXPECT_EQ(r.ok, c.result != 0) << name;
    platform.fail = nullptr;
    EXPECT_EQ(platform.console, c.result ? "" : ja::kCopyFailed) << name;
    EXPECT_EQ(dir.exists(kOutNative) ? static_cast<long>(get(kOutNative).size()) : -1, c.kept)
        << name;
    EXPECT_EQ(r.title, "") << name;
    // The times go on through the handle of the copy: the destination is opened once.
    EXPECT_LE(std::count(platform.opens.begin(), platform.opens.end(), kOut), 1) << name;
  }
  messages.verbose = false;  // the failure is a verbose message
  platform.console.clear();
  EXPECT_FALSE(copy_cache_file(ctx, EntryFlags{false}, ".\\CACHE\\MISSING", kOut).ok);
  EXPECT_EQ(platform.console, "");
}

}  // namespace
}  // namespace volari::testing
