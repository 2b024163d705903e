#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/disk.h"
#include "temp_tree.h"

namespace volari {
namespace {

class ScanDirTest : public testing::TempTree {
 protected:
  void SetUp() override {
    TempTree::SetUp();
    std::filesystem::create_directories("S/T/sub");
    std::filesystem::create_directories("S/T/.hid");
    for (const char* f :
         {"S/T/a.htm", "S/T/b.htm", "S/T/c.htm", "S/T/d.gif", "S/T/.dot", "S/x.htm"})
      put(f, "x");
  }

  // Every (result, path) of one scan, up to and including the -1.
  std::vector<std::pair<int, std::string>> scan_all(const char* pattern, int flags) {
    std::vector<std::pair<int, std::string>> got;
    for (int i = 0; i < 20; ++i) {
      char out[260] = "junk";
      const int r = scan_dir(system_platform(), state_, pattern, out, flags);
      got.emplace_back(r, out);
      if (r == -1) break;
    }
    return got;
  }

  ScanState state_;
};

using Results = std::vector<std::pair<int, std::string>>;

TEST_F(ScanDirTest, MatchingFilesThenEnd) {
  EXPECT_EQ(scan_all("S\\T\\*.htm", 1),
            (Results{{1, "S\\T\\a.htm"}, {1, "S\\T\\b.htm"}, {1, "S\\T\\c.htm"}, {-1, ""}}));
  EXPECT_FALSE(state_.active);
  // The same pattern again starts over.
  EXPECT_EQ(scan_all("S\\T\\*.htm", 1).size(), 4u);
  // A single-level directory part keeps its separator, and one more is added.
  EXPECT_EQ(scan_all("S\\*.htm", 1), (Results{{1, "S\\\\x.htm"}, {-1, ""}}));
  put("R.x", "x");
  EXPECT_EQ(scan_all("*.x", 1), (Results{{1, "R.x"}, {-1, ""}}));
}

TEST_F(ScanDirTest, DotEntriesOnlyWithFlagFour) {
  const Results plain{{1, "S\\T\\.dot"},
                      {1, "S\\T\\a.htm"},
                      {1, "S\\T\\b.htm"},
                      {1, "S\\T\\c.htm"},
                      {1, "S\\T\\d.gif"},
                      {2, "S\\T\\sub"},
                      {-1, ""}};
  EXPECT_EQ(scan_all("S\\T\\*.*", 1), plain);
  EXPECT_EQ(scan_all("S\\T\\*.*", 0), plain);
  Results dots{{4, "S\\T\\."}, {4, "S\\T\\.."}};
  Results all = scan_all("S\\T\\*.*", 4);
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(Results(all.begin(), all.begin() + 2), dots);
  EXPECT_EQ(all.size(), plain.size() + 3);  // ".", ".." and ".hid"
  EXPECT_NE(std::find(all.begin(), all.end(), std::make_pair(4, std::string("S\\T\\.hid"))),
            all.end());
}

TEST_F(ScanDirTest, NewPatternRestarts) {
  char out[260];
  EXPECT_EQ(scan_dir(system_platform(), state_, "S\\T\\*.htm", out, 1), 1);
  EXPECT_EQ(scan_dir(system_platform(), state_, "S\\T\\*.htm", out, 1), 1);
  EXPECT_STREQ(out, "S\\T\\b.htm");
  EXPECT_EQ(scan_dir(system_platform(), state_, "S\\T\\*.gif", nullptr, 1), 1);
  EXPECT_EQ(scan_dir(system_platform(), state_, "S\\T\\*.htm", out, 1), 1);
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
  const std::string dir(200, 'D');
  const std::string name(100, 'n');
  std::filesystem::create_directories("S/" + dir);
  put("S/" + dir + "/" + name, "x");
  struct {
    char out[260];
    char guard[8];
  } buf;
  std::memset(buf.guard, 'G', sizeof buf.guard);
  const std::string pattern = "S\\" + dir + "\\*";
  EXPECT_EQ(scan_dir(system_platform(), state_, pattern.c_str(), buf.out, 1), 1);
  EXPECT_EQ(std::string(buf.out), ("S\\" + dir + "\\" + name).substr(0, 259));
  EXPECT_EQ(std::string(buf.guard, 8), "GGGGGGGG");
}

}  // namespace
}  // namespace volari
