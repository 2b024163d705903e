#include "support/disk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

using DiskTest = testing::TempTree;

// Records every directory creation asked of the platform.
struct Recorder {
  testing::FakePlatform fake;
  std::vector<std::string> made;
  Recorder() {
    fake.fail = [this](const char* op, const char* path) {
      if (std::string(op) == "make_dir") made.emplace_back(path);
      return false;
    };
  }
};

bool is_dir(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST_F(DiskTest, FileAndDirectoryTests) {
  put("F.TXT", "x");
  mkdir("D", 0777);
  Platform& p = system_platform();
  const struct {
    const char* path;
    int file;
    int dir;
  } cases[] = {
      {"F.TXT", 1, 0}, {"D", 0, 1},   {"MISSING", 0, 0}, {"Q:", 0, 1},
      {"q:", 0, 1},    {"QQ:", 0, 0}, {"1:", 0, 0},      {"Q:\\", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(file_exists(p, c.path), c.file) << c.path;
    EXPECT_EQ(dir_exists(p, c.path), c.dir) << c.path;
  }
}

struct MakeCase {
  std::string path;
  int result;
  std::vector<std::string> made;
};

TEST_F(DiskTest, MakeDirsCreatesEachMissingPrefix) {
  mkdir("E", 0777);
  mkdir("E/F", 0777);
  put("FILE", "x");
  const std::string l(200, 'L');
  const std::string m62(62, 'M');
  const MakeCase cases[] = {
      {"A\\B\\C", 0, {"A", "A\\B", "A\\B\\C"}},
      {"A\\B\\C", -1, {"A\\B\\C"}},  // all there: only the last is tried
      {"E\\F\\G", 0, {"E\\F\\G"}},
      {"Q:\\OUT", -1, {"Q:\\OUT"}},  // the drive is taken as there
      {"FILE\\SUB", -1, {"FILE", "FILE\\SUB"}},
      {"\x95\x5C\\D", 0, {"\x95\x5C", "\x95\x5C\\D"}},  // 0x5C ends no name inside a character
      {"\xB1\\K", 0, {"\xB1", "\xB1\\K"}},              // half-width katakana is one byte
      {l + "\\" + m62, 0, {l, l + "\\" + m62}},         // 263 bytes: the longest
      {l + "\\" + m62 + "N", -1, {}},
      {std::string(5000, 'Z') + "\\Y", -1, {}},
  };
  for (const auto& c : cases) {
    Recorder r;
    EXPECT_EQ(make_dirs(r.fake, c.path.c_str()), c.result) << c.path.substr(0, 20);
    EXPECT_EQ(r.made, c.made) << c.path.substr(0, 20);
  }
  EXPECT_TRUE(is_dir("A/B/C"));
  EXPECT_TRUE(is_dir("\x95\x5C/D"));
}

TEST_F(DiskTest, LeadingSeparatorSkipsTheEmptyPrefix) {
  char here[1024];
  ASSERT_TRUE(system_platform().current_dir(here, sizeof here));
  ASSERT_EQ(here[0], '\\');
  const std::string path = std::string(here) + "\\N\\M";
  Recorder r;
  EXPECT_EQ(make_dirs(r.fake, path.c_str()), 0);
  ASSERT_FALSE(r.made.empty());
  EXPECT_EQ(r.made.front(), std::string(here) + "\\N");
  EXPECT_TRUE(is_dir("N/M"));
}

TEST_F(DiskTest, StampedDirectoriesCarryTheReferenceTime) {
  const time_t cached = utc(1998, 7, 14, 1, 0, 0);  // 10:00 JST
  const time_t before = utc(2005, 1, 1, 0, 0, 0);
  put("CACHE.HTM", "x");
  set_times("CACHE.HTM", cached, cached);
  mkdir("OLD", 0777);
  set_times("OLD", before, before);
  testing::FakePlatform fake;
  DatedDirs dated;
  make_dirs_dated(fake, "OLD\\NEW\\LEAF", "CACHE.HTM", dated);
  ASSERT_EQ(dated.stamped.size(), 2u);
  EXPECT_EQ(dated.stamped[0].first, "OLD\\NEW");
  EXPECT_EQ(dated.stamped[1].first, "OLD\\NEW\\LEAF");
  EXPECT_EQ(status("OLD/NEW").st_mtime, cached);
  EXPECT_EQ(status("OLD/NEW/LEAF").st_mtime, cached);
  EXPECT_NE(status("OLD").st_mtime, cached);
  EXPECT_TRUE(fake.clock_sets.empty());

  put("OLD/NEW/PAGE.HTM", "x");
  EXPECT_NE(status("OLD/NEW").st_mtime, cached);
  restamp_dated_dirs(fake, dated);
  EXPECT_EQ(status("OLD/NEW").st_mtime, cached);
  EXPECT_EQ(status("OLD/NEW/LEAF").st_atime, cached);

  make_dirs_dated(fake, "PLAIN\\DIR", "NO-SUCH-FILE", dated);
  EXPECT_TRUE(is_dir("PLAIN/DIR"));
  EXPECT_EQ(dated.stamped.size(), 2u);
}

TEST_F(DiskTest, ClockDatingSetsTheClockAroundTheCreation) {
  put("CACHE.HTM", "x");
  set_times("CACHE.HTM", 0, utc(1998, 7, 14, 1, 0, 0));
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
  EXPECT_TRUE(is_dir("X/Y"));
  EXPECT_TRUE(created_with_clock_set);
  EXPECT_TRUE(dated.stamped.empty());
  ASSERT_EQ(fake.clock_sets.size(), 2u);
  const DateTime& utc_set = fake.clock_sets[0];
  EXPECT_EQ(utc_set.year, 1998);
  EXPECT_EQ(utc_set.month, 7);
  EXPECT_EQ(utc_set.day, 14);
  EXPECT_EQ(utc_set.hour, 1);
  EXPECT_EQ(fake.clock_sets[1].hour, kept.hour);
  EXPECT_EQ(fake.clock_sets[1].millisecond, kept.millisecond);

  fake.clock_sets.clear();
  make_dirs_dated(fake, "Z", "NO-SUCH-FILE", dated);
  EXPECT_TRUE(fake.clock_sets.empty());
  EXPECT_TRUE(is_dir("Z"));
}

TEST_F(DiskTest, CopyFileTimes) {
  const time_t a = utc(1999, 2, 3, 4, 5, 6);
  const time_t w = utc(1998, 1, 2, 3, 4, 5);
  const struct {
    time_t access;
    time_t want_access;
    bool fail;
    int result;
  } cases[] = {{a, a, false, 0}, {0, w, false, 0}, {a, 0, true, -1}};
  for (const auto& c : cases) {
    put("SRC", "s");
    put("DST", "d");
    set_times("SRC", c.access, w);
    testing::FakePlatform fake;
    fake.fail = [&](const char* op, const char*) {
      return c.fail && std::string(op) == "set_file_times";
    };
    FileHandle src = fake.open_file("SRC", FileMode::read);
    FileHandle dst = fake.open_file("DST", FileMode::append);
    EXPECT_EQ(copy_file_times(fake, src, dst), c.result);
    fake.close_file(src);
    fake.close_file(dst);
    if (c.fail) continue;
    EXPECT_EQ(status("DST").st_atime, c.want_access);
    EXPECT_EQ(status("DST").st_mtime, w);
  }
}

}  // namespace
}  // namespace volari
