#include <cstring>
#include <string>

#include "output/output_fixture.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;
using CopyTest = OutputTest;

EntryFlags page_flags() {
  EntryFlags f;
  f.flg_graphic = 0;
  return f;
}

// A cached file in a cache directory, copied to a nested output path, as the pipeline names them.
constexpr char kCache[] = ".\\CACHE\\M0001.HTM";
constexpr char kOut[] = ".\\OUT\\DIR\\INDEX.HTM";
constexpr char kCacheNative[] = "CACHE/M0001.HTM";
constexpr char kOutNative[] = "OUT/DIR/INDEX.HTM";

class CopyFiles : public CopyTest {
 protected:
  void SetUp() override {
    CopyTest::SetUp();
    std::filesystem::create_directories("CACHE");
    std::filesystem::create_directories("OUT/DIR");
  }
  int copy(const std::string& content, const EntryFlags& flags) {
    put(kCacheNative, content);
    return copy_cache_file(ctx, flags, kCache, kOut);
  }
};

struct TextCase {
  const char* name;
  std::string in;
  std::string out;
};

const TextCase kTextCases[] = {
    {"bare LF becomes CR LF", "<html>\nline\n", "<html>\r\nline\r\n"},
    {"CR LF stays CR LF", "a\r\nb\r\n", "a\r\nb\r\n"},
    {"last line without a line end", "a\nb", "a\r\nb"},
    {"0x1A ends the input",
     "a\nb\x1a"
     "c\nd\n",
     "a\r\nb"},
    {"euc converted, byte count kept", "\xa4\xa2\xa4\xa4\n", "\x82\xa0\x82\xa2\r\n"},
    {"jis converted, escapes dropped", "x\x1b$B\x24\x22\x1b(By\n", "x\x82\xa0y\r\n"},
    {"line break inside a jis run joins lines", "\x1b$B\x30\x21\x30\nA\n",
     "\x88\x9f\x88\x88"
     "A\r\n"},
    {"sjis kept", "\x83\x5c\x95\x5c\n", "\x83\x5c\x95\x5c\r\n"},
    {"lead byte at the end of the file", "AB\x82", "AB\x82"},
    {"empty", "", ""},
};

TEST_F(CopyFiles, TextMode) {
  for (const TextCase& c : kTextCases) {
    EXPECT_EQ(copy(c.in, page_flags()), 1) << c.name;
    EXPECT_EQ(get(kOutNative), c.out) << c.name;
  }
  EXPECT_EQ(platform.console, "");
}

TEST_F(CopyFiles, LongLineArrivesInPiecesAndLosesNothing) {
  std::string line(70000, 'a');
  line[32510] = '\xa4';  // an EUC character split across two pieces stays two bytes
  line[32511] = '\xa2';
  ASSERT_EQ(copy(line + "\n", page_flags()), 1);
  EXPECT_EQ(get(kOutNative), line + "\r\n");
}

struct ModeCase {
  const char* name;
  int graphic;
  int shiftjis;
  bool text;
};

const ModeCase kModes[] = {
    {"page, conversion on", 0, 1, true},
    {"page, conversion off", 0, 0, false},
    {"image, conversion on", 1, 1, false},
    {"image, conversion off", 1, 0, false},
    {"flag other than 1 counts as a page", 2, 1, true},
    {"any non-zero setting converts", 0, 7, true},
};

TEST_F(CopyFiles, ModeByImageFlagAndSetting) {
  const std::string content = "<title>\xa4\xa2</title>\nline\x1a\0tail\n"s;
  const std::string as_text = "<title>\x82\xa0</title>\r\nline";
  for (const ModeCase& m : kModes) {
    settings.flg_shiftjis = m.shiftjis;
    EntryFlags f;
    f.flg_graphic = m.graphic;
    ASSERT_EQ(copy(content, f), 1) << m.name;
    EXPECT_EQ(get(kOutNative), m.text ? as_text : content) << m.name;
  }
}

TEST_F(CopyFiles, BinaryCopyMovesWholeChunks) {
  std::string image(100000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 251);
  put(kCacheNative, image);
  platform.reads.clear();
  platform.writes.clear();
  ASSERT_EQ(copy_cache_file(ctx, EntryFlags{}, kCache, kOut), 1);
  const std::vector<size_t> chunks = {32512, 32512, 32512, 2464};
  EXPECT_EQ(platform.reads, chunks);
  EXPECT_EQ(platform.writes, chunks);
  EXPECT_EQ(get(kOutNative), image);
}

TEST_F(CopyFiles, EmptyFileGivesEmptyCopyWithTimes) {
  const time_t written = utc(1998, 7, 14, 0, 5, 21);
  for (int graphic : {0, 1}) {
    put(kCacheNative, "");
    set_times(kCacheNative, written + 100, written);
    EntryFlags f;
    f.flg_graphic = graphic;
    ASSERT_EQ(copy_cache_file(ctx, f, kCache, kOut), 1);
    EXPECT_TRUE(exists(kOutNative));
    EXPECT_EQ(get(kOutNative), "");
    EXPECT_EQ(status(kOutNative).st_mtime, written) << graphic;
  }
}

TEST_F(CopyFiles, CopyGetsTheCachedFilesTimes) {
  struct {
    int graphic;
    std::string content;
  } cases[] = {{0, "<html>\n"}, {1, std::string(40000, 'x')}};
  const time_t written = utc(1998, 7, 14, 0, 5, 21);
  // Ahead of the clock, so that reading the source does not move it (relatime).
  const time_t accessed = time(nullptr) + 7200;
  for (const auto& c : cases) {
    put(kCacheNative, c.content);
    set_times(kCacheNative, accessed, written);
    EntryFlags f;
    f.flg_graphic = c.graphic;
    ASSERT_EQ(copy_cache_file(ctx, f, kCache, kOut), 1);
    EXPECT_EQ(status(kOutNative).st_mtime, written) << c.graphic;
    EXPECT_EQ(status(kOutNative).st_atime, status(kCacheNative).st_atime) << c.graphic;
    EXPECT_EQ(status(kOutNative).st_atime, accessed) << c.graphic;
  }
}

TEST_F(CopyFiles, FailedTimeStampKeepsCopyButNotTimes) {
  put(kCacheNative, "data\n");
  set_times(kCacheNative, utc(1998, 7, 14, 0, 5, 21), utc(1998, 7, 14, 0, 5, 21));
  for (int graphic : {0, 1}) {
    int opens_of_out = 0;
    platform.fail = [&](const char* op, const char* path) {
      if (std::strcmp(op, "open") == 0 && std::strcmp(path, kOut) == 0) ++opens_of_out;
      return std::strcmp(op, "set_file_times") == 0;
    };
    EntryFlags f;
    f.flg_graphic = graphic;
    EXPECT_EQ(copy_cache_file(ctx, f, kCache, kOut), 1) << graphic;
    EXPECT_EQ(opens_of_out, 1);  // the times go on through the handle of the copy
    EXPECT_EQ(get(kOutNative), graphic ? "data\n" : "data\r\n");
    EXPECT_NE(status(kOutNative).st_mtime, utc(1998, 7, 14, 0, 5, 21));
    platform.fail = nullptr;
  }
  EXPECT_EQ(platform.console, "");
}

struct FailCase {
  const char* name;
  int graphic;
  const char* op;  // the operation made to fail
  const char* path;
  int nth;                  // its n-th call fails (1 = the first)
  bool destination_exists;  // after the copy
  size_t kept;              // bytes the destination keeps
};

const FailCase kFails[] = {
    {"text: source does not open", 0, "open", kCache, 1, false, 0},
    {"binary: source does not open", 1, "open", kCache, 1, false, 0},
    {"text: destination does not open", 0, "open", kOut, 1, false, 0},
    {"binary: destination does not open", 1, "open", kOut, 1, false, 0},
    {"binary: read fails", 1, "read", "", 1, true, 0},
    {"binary: second read fails", 1, "read", "", 2, true, 32512},
    {"binary: second write fails", 1, "write", "", 2, true, 32512},
    {"binary: close fails", 1, "close", "", 1, true, 40000},
    {"text: write fails", 0, "write", "", 1, true, 0},
    {"text: close fails", 0, "close", "", 1, true, 40001},
};

TEST_F(CopyFiles, FailuresReturnZeroAndSayWhy) {
  const std::string content = std::string(39999, 'x') + "\n";
  for (const FailCase& c : kFails) {
    std::filesystem::remove(kOutNative);
    put(kCacheNative, content);
    platform.console.clear();
    int calls = 0;
    platform.fail = [&](const char* op, const char* path) {
      return std::strcmp(op, c.op) == 0 && std::strcmp(path, c.path) == 0 && ++calls == c.nth;
    };
    EntryFlags f;
    f.flg_graphic = c.graphic;
    EXPECT_EQ(copy_cache_file(ctx, f, kCache, kOut), 0) << c.name;
    platform.fail = nullptr;
    EXPECT_EQ(platform.console, kCopyFailedBytes) << c.name;
    EXPECT_EQ(exists(kOutNative), c.destination_exists) << c.name;
    if (c.destination_exists) {
      EXPECT_EQ(get(kOutNative).size(), c.kept) << c.name;
    }
  }
}

TEST_F(CopyFiles, FailedSourceLeavesAnEarlierCopyAlone) {
  put(kOutNative, "earlier copy");
  EXPECT_EQ(copy_cache_file(ctx, page_flags(), ".\\CACHE\\MISSING", kOut), 0);
  EXPECT_EQ(get(kOutNative), "earlier copy");
}

TEST_F(CopyFiles, FailureMessageOnlyWhileVerbose) {
  messages.verbose = false;
  EXPECT_EQ(copy_cache_file(ctx, page_flags(), ".\\CACHE\\MISSING", kOut), 0);
  EXPECT_EQ(platform.console, "");
}

TEST_F(CopyFiles, DebugLines) {
  struct {
    int level;
    int graphic;
    std::string console;
  } cases[] = {
      {0, 0, ""},
      {1, 0, std::string(kCache) + " -> " + kOut + "\n"},
      {2, 1, std::string(kCache) + " -> " + kOut + "\n"},
      {3, 1, std::string(kCache) + " -> " + kOut + "\n"},
      {3, 0,
       std::string(kCache) + " -> " + kOut +
           "\ncopybuf=\xa4\xa2\n\ncache  =\x82\xa0\n\ncopybuf=z\ncache  =z\n"},
  };
  for (const auto& c : cases) {
    settings.flg_debug = c.level;
    platform.console.clear();
    EntryFlags f;
    f.flg_graphic = c.graphic;
    ASSERT_EQ(copy("\xa4\xa2\nz", f), 1);
    EXPECT_EQ(platform.console, c.console) << c.level << " " << c.graphic;
  }
}

TEST_F(CopyFiles, TitleIsFoundDuringTheCopy) {
  struct {
    const char* name;
    int graphic;
    int shiftjis;
    std::string content;
    std::string title;
  } cases[] = {
      {"text", 0, 1, "<html><title>Welcome</title>\n", "Welcome"},
      {"text, converted", 0, 1, "<title>\xa4\xa2</title>\n", "\x82\xa0"},
      {"text, stops at the line end", 0, 1, "<TITLE>Welcome\nback</TITLE>\n", "Welcome\n"},
      {"binary, across lines", 0, 0, "<TITLE>Welcome\r\nback</TITLE>\n", "Welcome\r\nback"},
      {"binary, not converted", 0, 0, "<title>\xa4\xa2</title>", "\xa4\xa2"},
      {"no title", 0, 1, "<html>\n", ""},
  };
  for (const auto& c : cases) {
    settings.flg_shiftjis = c.shiftjis;
    std::strcpy(state->page_title, "left from the entry before");
    EntryFlags f;
    f.flg_graphic = c.graphic;
    ASSERT_EQ(copy(c.content, f), 1) << c.name;
    EXPECT_EQ(std::string(state->page_title), c.title) << c.name;
  }
}

TEST_F(CopyFiles, PageTitleEmptiedAlsoWhenTheCopyFails) {
  std::strcpy(state->page_title, "stale");
  EXPECT_EQ(copy_cache_file(ctx, page_flags(), ".\\CACHE\\MISSING", kOut), 0);
  EXPECT_STREQ(state->page_title, "");
}

}  // namespace
}  // namespace volari::testing
