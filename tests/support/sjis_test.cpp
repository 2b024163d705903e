#include "support/sjis.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace volari {
namespace {

TEST(SjisUpper, StepsOverDoubleByteCharacters) {
  const std::pair<const char*, const char*> cases[] = {
      {"Mixed-Case_09.z~`{", "MIXED-CASE_09.Z~`{"},
      {"\x82\x61x", "\x82\x61X"},    // second byte in 'a'..'z' keeps its value
      {"a\xE0\x7Az", "A\xE0\x7AZ"},  // lead byte of the upper range
      {"\xB1zz", "\xB1zZ"},          // half-width katakana protects the byte after it
      {"ab\x82", "AB\x82"},          // a high byte at the end stops the walk
  };
  for (const auto& [in, out] : cases) {
    char buf[32];
    copy_text(buf, in);
    EXPECT_STREQ(sjis_upper(buf), out) << in;
    std::string s = in;
    sjis_upper(s);
    EXPECT_EQ(s, out) << in;
  }
}

TEST(PathDirPart, CutsAtLastSeparatorOrColon) {
  const struct {
    const char* path;
    const char* dir;
    int result;
  } cases[] = {
      {"D:\\X.EXE", "D:\\", 1},   {"X.EXE", "", 0},
      {"DIR\\X.EXE", "DIR\\", 1}, {"D:\\A\\X.EXE", "D:\\A", 1},
      {"D:X.EXE", "D:", 1},       {"\x95\x5CX", "\x95\x5C", 1},  // single bytes only
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
