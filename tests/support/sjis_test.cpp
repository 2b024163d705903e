#include "support/sjis.h"

#include <gtest/gtest.h>

#include <string>

namespace volari {
namespace {

struct UpperCase {
  const char* in;
  const char* out;
};

TEST(SjisUpper, StepsOverDoubleByteCharacters) {
  const UpperCase cases[] = {
      {"index.htm", "INDEX.HTM"},
      {"Mixed-Case_09.z~", "MIXED-CASE_09.Z~"},
      {"\x82\x61x", "\x82\x61X"},    // second byte in 'a'..'z' keeps its value
      {"a\xE0\x7Az", "A\xE0\x7AZ"},  // lead byte of the upper range
      {"\xB1"
       "a"
       "b",
       "\xB1"
       "a"
       "B"},                 // half-width katakana protects the byte after it
      {"ab\x82", "AB\x82"},  // a high byte at the end stops the walk
      {"", ""},
  };
  for (const auto& c : cases) {
    char buf[32];
    copy_text(buf, c.in);
    EXPECT_STREQ(sjis_upper(buf), c.out) << c.in;
    std::string s = c.in;
    sjis_upper(s);
    EXPECT_EQ(s, c.out) << c.in;
  }
}

struct DirCase {
  const char* path;
  const char* dir;
  int result;
};

TEST(PathDirPart, CutsAtLastSeparatorOrColon) {
  const DirCase cases[] = {
      {"D:\\X.EXE", "D:\\", 1},
      {"X.EXE", "", 0},
      {"\\X.EXE", "\\", 1},
      {"DIR\\X.EXE", "DIR\\", 1},
      {"D:\\A\\X.EXE", "D:\\A", 1},
      {"D:\\A\\B\\X.EXE", "D:\\A\\B", 1},
      {"D:X.EXE", "D:", 1},
      {"\x95\x5C"
       "X",
       "\x95\x5C", 1},  // single bytes only
  };
  for (const auto& c : cases) {
    char out[64] = "junk";
    EXPECT_EQ(path_dir_part(c.path, out), c.result) << c.path;
    EXPECT_STREQ(out, c.dir) << c.path;
  }
}

TEST(CopyText, CutsToFitAndTerminates) {
  char small[4];
  EXPECT_EQ(copy_text(small, "abcdef"), 3u);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(copy_text(small, "ab"), 2u);
  EXPECT_STREQ(small, "ab");
}

}  // namespace
}  // namespace volari
