#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/disk.h"
#include "temp_tree.h"

namespace volari {
namespace {

using Results = std::vector<std::pair<int, std::string>>;

class ScanDirTest : public testing::TempTree {
 protected:
  ScanDirTest() {
    for (const char* f : {"S/T/a.htm", "S/T/b.htm", "S/T/c.htm", "S/T/d.gif", "S/T/.dot",
                          "S/T/sub/x", "S/T/.hid/x", "S/x.htm"})
      put(f, "x");
  }
  // Every (result, path) of one scan, up to and including the -1.
  Results scan_all(const char* pattern, int flags) {
    Results got;
    for (int i = 0; i < 20; ++i) {
      char out[260] = "junk";
      got.emplace_back(scan_dir(system_platform(), state_, pattern, out, flags), out);
      if (got.back().first == -1) break;
    }
    return got;
  }
  int scan(const char* pattern, char* out) {
    return scan_dir(system_platform(), state_, pattern, out, 1);
  }

  ScanState state_;
};

TEST_F(ScanDirTest, MatchingFilesThenEnd) {
  const Results htm{{1, "S\\T\\a.htm"}, {1, "S\\T\\b.htm"}, {1, "S\\T\\c.htm"}, {-1, ""}};
  EXPECT_EQ(scan_all("S\\T\\*.htm", 1), htm);
  EXPECT_FALSE(state_.active);
  EXPECT_EQ(scan_all("S\\T\\*.htm", 1), htm);  // the same pattern again starts over
  // A single-level directory part keeps its separator, and one more is added.
  EXPECT_EQ(scan_all("S\\*.htm", 1), (Results{{1, "S\\\\x.htm"}, {-1, ""}}));
  put("R.x", "x");
  EXPECT_EQ(scan_all("*.x", 1), (Results{{1, "R.x"}, {-1, ""}}));
}

TEST_F(ScanDirTest, DotEntriesOnlyWithFlagFour) {
  Results plain;
  for (const char* f : {".dot", "a.htm", "b.htm", "c.htm", "d.gif"})
    plain.emplace_back(1, std::string("S\\T\\") + f);
  plain.insert(plain.end(), {{2, "S\\T\\sub"}, {-1, ""}});
  EXPECT_EQ(scan_all("S\\T\\*.*", 1), plain);
  EXPECT_EQ(scan_all("S\\T\\*.*", 0), plain);
  Results all = plain;  // the platform sorts by name
  all.insert(all.begin() + 1, {4, "S\\T\\.hid"});
  all.insert(all.begin(), {{4, "S\\T\\."}, {4, "S\\T\\.."}});
  EXPECT_EQ(scan_all("S\\T\\*.*", 4), all);
}

TEST_F(ScanDirTest, NewPatternRestarts) {
  char out[260];
  EXPECT_EQ(scan("S\\T\\*.htm", out), 1);
  EXPECT_EQ(scan("S\\T\\*.htm", out), 1);
  EXPECT_STREQ(out, "S\\T\\b.htm");
  EXPECT_EQ(scan("S\\T\\*.gif", nullptr), 1);
  EXPECT_EQ(scan("S\\T\\*.htm", out), 1);
  EXPECT_STREQ(out, "S\\T\\a.htm");
}

TEST_F(ScanDirTest, MissingDirectoryOrOverlongPatternEnds) {
  // Would match, but its copy cannot hold it.
  const std::string overlong = "S\\T\\" + std::string(300, '*') + ".htm";
  for (const std::string& pattern : {std::string("NONE\\*.*"), overlong}) {
    EXPECT_EQ(scan_all(pattern.c_str(), 4), (Results{{-1, ""}}));
    EXPECT_FALSE(state_.active);
  }
}

TEST_F(ScanDirTest, LongPathIsCutToTheBuffer) {
  const std::string dir(200, 'D'), name(100, 'n');
  put("S/" + dir + "/" + name, "x");
  std::vector<char> buf(268, 'G');  // 260 for the path, 8 to show an overrun
  EXPECT_EQ(scan(("S\\" + dir + "\\*").c_str(), buf.data()), 1);
  EXPECT_EQ(std::string(buf.data()), ("S\\" + dir + "\\" + name).substr(0, 259));
  EXPECT_EQ(std::string(buf.data() + 260, 8), "GGGGGGGG");
}

}  // namespace
}  // namespace volari
