#include "support/disk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

using DiskTest = testing::TempTree;

constexpr time_t kCached = 900378000;  // 1998-07-14 01:00:00 UTC, 10:00 in Tokyo

TEST_F(DiskTest, FileAndDirectoryTests) {
  put("F.TXT", "x");
  put("D/x", "");
  const struct {
    const char* path;
    int file, dir;
  } cases[] = {{"F.TXT", 1, 0}, {"D", 0, 1},  {"MISSING", 0, 0}, {"Q:", 0, 1},
               {"q:", 0, 1},    {"1:", 0, 0}, {"Q:\\", 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(file_exists(system_platform(), c.path), c.file) << c.path;
    EXPECT_EQ(dir_exists(system_platform(), c.path), c.dir) << c.path;
  }
}

TEST_F(DiskTest, MakeDirsCreatesEachMissingPrefix) {
  put("E/F/x", "");
  put("FILE", "x");
  char here[1024];  // "\tmp\..."
  ASSERT_TRUE(system_platform().current_dir(here, sizeof here));
  const std::string h = here, l(200, 'L'), m62(62, 'M');
  const struct {
    std::string path;
    int result;
    std::vector<std::string> made;  // every make_dir asked for
  } cases[] = {
      {"A\\B\\C", 0, {"A", "A\\B", "A\\B\\C"}},
      {"A\\B\\C", -1, {"A\\B\\C"}},  // all there: only the last is tried
      {"E\\F\\G", 0, {"E\\F\\G"}},
      {"Q:\\OUT", -1, {"Q:\\OUT"}},  // the drive is taken as there
      {"FILE\\SUB", -1, {"FILE", "FILE\\SUB"}},
      {"\x95\x5C\\D", 0, {"\x95\x5C", "\x95\x5C\\D"}},  // 0x5C ends no name inside a character
      {"\xB1\\K", 0, {"\xB1", "\xB1\\K"}},              // half-width katakana is one byte
      {h + "\\N\\M", 0, {h + "\\N", h + "\\N\\M"}},     // no empty prefix before the leading '\'
      {l + "\\" + m62, 0, {l, l + "\\" + m62}},         // 263 bytes: the longest
      {l + "\\" + m62 + "N", -1, {}},
  };
  for (const auto& c : cases) {
    testing::FakePlatform fake;
    std::vector<std::string> made;
    fake.fail = [&](const char* op, const char* path) {
      if (std::string(op) == "make_dir") made.emplace_back(path);
      return false;
    };
    EXPECT_EQ(make_dirs(fake, c.path.c_str()), c.result) << c.path.substr(0, 20);
    EXPECT_EQ(made, c.made) << c.path.substr(0, 20);
  }
}

TEST_F(DiskTest, StampedDirectoriesCarryTheReferenceTime) {
  put("CACHE.HTM", "x");
  set_times("CACHE.HTM", kCached, kCached);
  put("OLD/x", "");
  testing::FakePlatform fake;
  DatedDirs dated;
  make_dirs_dated(fake, "OLD\\NEW\\LEAF", "CACHE.HTM", dated);
  const decltype(dated.stamped) stamped = {{"OLD\\NEW", kCached}, {"OLD\\NEW\\LEAF", kCached}};
  EXPECT_EQ(dated.stamped, stamped);
  EXPECT_EQ(status("OLD/NEW").st_mtime, kCached);
  EXPECT_EQ(status("OLD/NEW/LEAF").st_mtime, kCached);
  EXPECT_NE(status("OLD").st_mtime, kCached);
  EXPECT_TRUE(fake.clock_sets.empty());

  put("OLD/NEW/PAGE.HTM", "x");
  ASSERT_NE(status("OLD/NEW").st_mtime, kCached);
  restamp_dated_dirs(fake, dated);
  EXPECT_EQ(status("OLD/NEW").st_mtime, kCached);
  EXPECT_EQ(status("OLD/NEW/LEAF").st_atime, kCached);

  make_dirs_dated(fake, "PLAIN\\DIR", "NO-SUCH-FILE", dated);
  EXPECT_TRUE(std::filesystem::is_directory("PLAIN/DIR"));
  EXPECT_EQ(dated.stamped, stamped);
}

TEST_F(DiskTest, ClockDatingSetsTheClockAroundTheCreation) {
  put("CACHE.HTM", "x");
  set_times("CACHE.HTM", 0, kCached);
  testing::FakePlatform fake;
  fake.dating = DirDating::by_clock;
  const DateTime kept = fake.now;
  bool created_with_clock_set = false;
  fake.fail = [&](const char* op, const char*) {
    if (std::string(op) == "make_dir") created_with_clock_set = fake.clock_sets.size() == 1;
    return false;
  };
  DatedDirs dated;
  make_dirs_dated(fake, "X\\Y", "CACHE.HTM", dated);
  EXPECT_TRUE(std::filesystem::is_directory("X/Y"));
  EXPECT_TRUE(created_with_clock_set);
  EXPECT_TRUE(dated.stamped.empty());
  ASSERT_EQ(fake.clock_sets.size(), 2u);
  const DateTime& set = fake.clock_sets[0];  // UTC
  EXPECT_EQ((std::vector<int>{set.year, set.month, set.day, set.hour}),
            (std::vector<int>{1998, 7, 14, 1}));
  EXPECT_EQ(fake.clock_sets[1].hour, kept.hour);
  EXPECT_EQ(fake.clock_sets[1].millisecond, kept.millisecond);

  fake.clock_sets.clear();
  make_dirs_dated(fake, "Z", "NO-SUCH-FILE", dated);
  EXPECT_TRUE(fake.clock_sets.empty());
  EXPECT_TRUE(std::filesystem::is_directory("Z"));
}

TEST_F(DiskTest, CopyFileTimes) {
  const time_t a = 918014706, w = 883710245;  // 1999-02-03, 1998-01-02
  const struct {
    time_t access, want_access;
    bool fail;  // the destination refuses its times
  } cases[] = {{a, a, false}, {0, w, false}, {a, a, true}};
  for (const auto& c : cases) {
    put("SRC", "s");
    put("DST", "d");
    set_times("SRC", c.access, w);
    testing::FakePlatform fake;
    const FileHandle src = fake.open_file("SRC", FileMode::read);
    const FileHandle dst = fake.open_file("DST", FileMode::append);
    fake.fail = [&](const char* op, const char*) { return c.fail && std::string(op) != "close"; };
    EXPECT_EQ(copy_file_times(fake, src, dst), c.fail ? -1 : 0);
    fake.close_file(src);
    fake.close_file(dst);
    if (c.fail) continue;
    EXPECT_EQ(status("DST").st_atime, c.want_access);
    EXPECT_EQ(status("DST").st_mtime, w);
  }
}

}  // namespace
}  // namespace volari
