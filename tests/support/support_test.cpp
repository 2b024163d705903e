// The support library: text-mode streams, directory making and dating, small helpers.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/disk.h"
#include "support/find_byte.h"
#include "support/key_set.h"
#include "support/sjis.h"
#include "support/temp_tree.h"
#include "support/text_file.h"
#include "testlib/fake_platform.h"

namespace volari::testing {
namespace {

using Support = TempTree;
using Lines = std::vector<std::string>;

TEST_F(Support, TextFilesTranslateLineEndsAndStopAtEndOfText) {
  const std::string x(16383, 'x');
  const struct {
    std::string bytes;
    Lines lines;
    size_t size = 40000;
  } cases[] = {
      {"a\rb\r\n\r\nc", {"a\rb\n", "\n", "c"}},
      {"a\r\r\n", {"a\r\n"}},
      {"abc\x1Azz\n", {"abc"}},
      {x + "\r\ny\r\n", {x + "\n", "y\n"}},  // the CR ends the first fill
      {x + "\rz", {x + "\rz"}},
      {x + "ab\x1A\n", {x + "ab"}},
      {"abcdef\r\n", {"abc", "def", "\n"}, 4},
      {"ab\r\ncd\r", {"ab\n", "cd\r"}, 4},
  };
  TextFile f(system_platform());
  for (const auto& c : cases) {
    put("T.TXT", c.bytes);
    ASSERT_TRUE(f.open("T.TXT", TextMode::read));
    Lines lines;
    std::vector<char> buf(c.size);
    while (size_t n = f.gets(buf.data(), c.size)) lines.emplace_back(buf.data(), n);
    EXPECT_EQ(lines, c.lines) << c.bytes.substr(0, 9);
  }
  // Runs that fill the buffer to its last byte and beyond; an append after them.
  const std::string runs = std::string(16382, 'a') + "\n" + std::string(20000, 'b') + "\nc";
  for (const std::string& text : {runs, std::string("\n")}) {
    ASSERT_TRUE(f.open("A.TXT", TextMode::append));
    EXPECT_TRUE(f.puts(text.c_str()));
    EXPECT_TRUE(f.close());
  }
  EXPECT_EQ(get("A.TXT"), std::string(16382, 'a') + "\r\n" + std::string(20000, 'b') + "\r\nc\r\n");
  ASSERT_TRUE(f.open("A.TXT", TextMode::write));
  EXPECT_TRUE(f.close());
  EXPECT_EQ(get("A.TXT"), "");
  EXPECT_FALSE(f.open(".", TextMode::read));
}

TEST_F(Support, MakeDirsCreatesEachMissingPrefix) {
  put("E/F/x", "");
  put("FILE", "x");
  char here[1024];  // "\tmp\..."
  ASSERT_TRUE(system_platform().current_dir(here, sizeof here));
  const std::string h = here, l(200, 'L'), m62(62, 'M');
  const struct {
    std::string path;
    bool made_last;
    Lines made;  // every make_dir asked for
  } cases[] = {
      {"A\\B\\C", true, {"A", "A\\B", "A\\B\\C"}},
      {"A\\B\\C", false, {"A\\B\\C"}},
      {"E\\F\\G", true, {"E\\F\\G"}},
      {"Q:\\OUT", false, {"Q:\\OUT"}},
      {"FILE\\SUB", false, {"FILE", "FILE\\SUB"}},
      {"\x95\x5C\\D", true, {"\x95\x5C", "\x95\x5C\\D"}},  // 0x5C ends no name inside a character
      {h + "\\N\\M", true, {h + "\\N", h + "\\N\\M"}},     // no empty prefix before the '\\'
      {l + "\\" + m62, true, {l, l + "\\" + m62}},         // 263 bytes: the longest
      {l + "\\" + m62 + "N", false, {}},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    Lines made;
    fake.fail = [&](Op op, const std::string& path) {
      if (op == Op::make_dir) made.push_back(path);
      return false;
    };
    EXPECT_EQ(make_dirs(fake, c.path.c_str()), c.made_last) << c.path.substr(0, 20);
    EXPECT_EQ(made, c.made) << c.path.substr(0, 20);
  }
}

TEST_F(Support, DatedDirectoriesTakeTheStampOfTheirFile) {
  constexpr time_t kCached = 900378000;  // 1998-07-14 10:00 in Tokyo
  put("CACHE.HTM", "x");
  set_times("CACHE.HTM", kCached, kCached);
  put("OLD/x", "");
  FakePlatform fake;
  DatedDirs dated;
  make_dirs_dated(fake, "OLD\\NEW\\LEAF", "CACHE.HTM", dated);
  put("OLD/NEW/PAGE.HTM", "x");
  restamp_dated_dirs(fake, dated);
  EXPECT_EQ(status("OLD/NEW").st_mtime, kCached);
  EXPECT_EQ(status("OLD/NEW/LEAF").st_atime, kCached);
  EXPECT_NE(status("OLD").st_mtime, kCached);
  make_dirs_dated(fake, "PLAIN", "NO-SUCH-FILE", dated);
  EXPECT_EQ(dated.stamped.size(), 2u);
  EXPECT_TRUE(fake.clock_sets.empty());
}

TEST(Strings, UpperCaseDirectoryPartAndPackedTimes) {
  const std::pair<std::string, std::string> upper[] = {
      {"Mixed-Case_09.z~`{", "MIXED-CASE_09.Z~`{"},
      {"\x82\x61x", "\x82\x61X"},  // a second byte in 'a'..'z' keeps its value
      {"\xB1zz", "\xB1zZ"},        // half-width katakana protects the byte after it
      {"ab\x82", "AB\x82"},
  };
  for (auto [in, out] : upper) {
    sjis_upper(in);
    EXPECT_EQ(in, out);
  }
  EXPECT_EQ(last_separator("A\\\x95\x5C\\B\x95\x5C"), 4u);  // the second bytes of 表 are no '\\'
  EXPECT_EQ(last_separator("\x95\x5C"), std::string::npos);
  const std::pair<const char*, const char*> dirs[] = {
      {"D:\\X.EXE", "D:\\"}, {"D:\\A\\X", "D:\\A"}, {"D:X.EXE", "D:"}, {"\x95\x5CX", "\x95\x5C"}};
  for (const auto& [path, dir] : dirs) {
    char out[64] = "junk";
    EXPECT_TRUE(path_dir_part(path, out)) << path;
    EXPECT_STREQ(out, dir) << path;
  }
  // 1998-07-14 10:30:21 packs as the MS-DOS date and time; years wrap after 2079.
  EXPECT_EQ(pack_date_time(DateTime{1998, 7, 0, 14, 10, 30, 21, 0}), 0x24EE53CAu);
  EXPECT_EQ(pack_date_time(DateTime{2079, 12, 0, 31, 23, 59, 59, 0}) >> 25, 99u);
  EXPECT_EQ(pack_date_time(DateTime{2080, 1, 0, 1, 0, 0, 0, 0}) >> 25, 0u);
  const PackedFields f = unpack_date_time(0xFFFFFFFFu);
  EXPECT_EQ(f.year_field + f.month + f.day + f.hour + f.minute + f.seconds,
            127u + 15 + 31 + 31 + 63 + 62);
}

// find_byte and find_any_byte agree with string_view::find at every place and length (the
// sixteen- and eight-byte steps and their tails), and read nothing past the view (ASan).
TEST(Strings, FindByteSeesEveryPlace) {
  for (size_t n = 0; n <= 40; ++n) {
    const std::string text(n, 'a');
    EXPECT_EQ(find_byte(std::string_view(text.data(), n), 0, '<'), std::string_view::npos);
    for (size_t at = 0; at < n; ++at) {
      std::string marked = text;
      marked[at] = at % 3 == 0 ? '>' : at % 3 == 1 ? '"' : '\'';
      const std::string_view view(marked.data(), n);
      EXPECT_EQ(find_any_byte(view, at / 2, '>', '"', '\''), at) << n;
      marked[at] = '<';
      EXPECT_EQ(find_byte(view, at / 2, '<'), at) << n;
      EXPECT_EQ(find_byte(view, at + 1, '<'), std::string_view::npos) << n;
    }
  }
}

TEST(Strings, KeySetHoldsWhatWasPut) {
  KeySet set;
  for (uint64_t k = 0; k < 5000; ++k) set.insert(k * 0x100000000ull);  // 0 among them
  set.insert(0);
  EXPECT_EQ(set.size(), 5000u);
  for (uint64_t k = 0; k < 5000; ++k) {
    EXPECT_TRUE(set.contains(k * 0x100000000ull));
    EXPECT_FALSE(set.contains(k * 0x100000000ull + 7));
  }
}

}  // namespace
}  // namespace volari::testing
