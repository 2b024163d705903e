// The real platform's files, directories and clock conversions, in a scratch directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>

#include "child.h"
#include "platform/posix/posix_platform.h"

namespace volari::platform_test {
namespace {

using PlatformFiles = PlatformDirTest;

TEST_F(PlatformFiles, OpenRefusesWhatIsNoFileAndTimesGoBeyond2038) {
  dir.write_file("sub/f", "");
  for (FileMode mode : {FileMode::read, FileMode::write, FileMode::append}) {
    EXPECT_EQ(kNoFile, p.open_file(at("sub").c_str(), mode)) << static_cast<int>(mode);
  }
  EXPECT_EQ(kNoFile, p.open_file(at("no\\such.txt").c_str(), FileMode::write));
  // In a child: an open of a FIFO that waits for a writer would never end.
  ASSERT_EQ(0, ::mkfifo(dir.file("fifo").c_str(), 0666));
  const std::string fifo = at("fifo");
  const ChildRun run = run_child(
      [&](int out) {
        report(out, PosixPlatform().open_file(fifo.c_str(), FileMode::read) == kNoFile);
      },
      {}, 3000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ("1 ", run.report);
  // The last second of a 32-bit time_t and the first beyond it; 2200.
  for (const UnixTime t : {UnixTime{2147483647}, UnixTime{2147483648}, UnixTime{7258118400}}) {
    const FileHandle f = p.open_file(at("t").c_str(), FileMode::append);
    ASSERT_NE(kNoFile, f);
    EXPECT_TRUE(p.set_file_times(f, t + 1, t));
    UnixTime access = 0, write = 0;
    EXPECT_TRUE(p.file_times(f, &access, &write));
    EXPECT_TRUE(p.close_file(f));
    EXPECT_EQ(access, t + 1);
    EXPECT_EQ(write, t);
  }
  EXPECT_TRUE(p.rename_file(at("t").c_str(), at("sub\\f").c_str()));
  EXPECT_FALSE(p.rename_file(at("t").c_str(), at("sub\\f").c_str()));
  EXPECT_TRUE(p.remove_file(at("sub\\f").c_str()));
  EXPECT_EQ(-1, p.attributes(at("sub\\f").c_str()));
}

// Names are Shift-JIS in program form and UTF-8 on disk.
TEST_F(PlatformFiles, DirectoriesSearchesAndTheCurrentDirectory) {
  for (const char* name : {"INDEX.HTM", "index.html", "README", "a.b.c", "x", "ア", "表"}) {
    dir.write_file(name, "x");
  }
  EXPECT_TRUE(p.make_dir(at("sub").c_str()));
  EXPECT_FALSE(p.make_dir(at("sub").c_str()));
  EXPECT_FALSE(p.make_dir(at("a\\b").c_str()));             // its parent is missing
  EXPECT_TRUE(p.make_dir(at("\x93\xfa\x96\x7b").c_str()));  // 日本
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("日本")));
  EXPECT_EQ(kAttrDirectory, p.attributes(at("sub").c_str()) & kAttrDirectory);
  EXPECT_EQ(0, p.attributes(at("README").c_str()) & kAttrDirectory);
  EXPECT_TRUE(p.set_path_time(at("sub").c_str(), 4102444800));
  struct stat st;
  ASSERT_EQ(0, ::stat(dir.file("sub").c_str(), &st));
  EXPECT_EQ(4102444800, static_cast<UnixTime>(st.st_mtim.tv_sec));

  const auto found = [&](const std::string& pattern) {
    std::vector<std::string> names;
    auto search = p.find_files(pattern.c_str());
    if (!search) return std::vector<std::string>{"(null)"};
    FoundEntry e;
    while (search->next(&e)) names.push_back(std::string(e.name) + (e.directory ? "/" : ""));
    return names;
  };
  EXPECT_EQ(found(at("*")),
            (std::vector<std::string>{"./", "../", "INDEX.HTM", "README", "a.b.c", "index.html",
                                      "sub/", "x", "\x83\x41", "\x93\xfa\x96\x7b/", "\x95\x5c"}));
  EXPECT_EQ(found(at("?")), (std::vector<std::string>{"./", "x", "\x83\x41", "\x95\x5c"}));
  EXPECT_EQ(found(at("missing\\*.*")), std::vector<std::string>{"(null)"});

  const auto saved = std::filesystem::current_path();
  EXPECT_TRUE(p.change_dir(at("\x93\xfa\x96\x7b").c_str()));
  char out[PATH_MAX];
  EXPECT_TRUE(p.current_dir(out, sizeof out));
  EXPECT_EQ(std::string(out), at("\x93\xfa\x96\x7b"));
  EXPECT_FALSE(p.current_dir(out, std::strlen(out)));  // no room for the terminator
  EXPECT_FALSE(p.change_dir(""));
  std::filesystem::current_path(saved);
}

TEST(PlatformWildcards, DosRules) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.*", "README", true},  // as on Windows: "*.*" is every name
      {"*.HTM", "index.htm", true},
      {"*.htm", "INDEX.HTML", false},
      {"INDEX.*", "index", true},
      {"INDEX.", "INDEX", true},
      {"?", "xy", false},
      {"a*c", "a.b.c", true},
      {"[a]", "a", false},
      {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"\x83\x41", "\x83\x61", false},  // ア and ャ differ in a second byte that reads 'A' / 'a'
      {"?", "\x83\x41", true},          // '?' takes a whole double-byte character
      {"*\x5c", "\x95\x5c", false},     // the second byte of 表 is no character of its own
  };
  for (const auto& [pattern, name, matches] : cases) {
    EXPECT_EQ(matches, dos_wildcard_match(pattern, name)) << pattern << " / " << name;
  }
}

TEST(PlatformClock, FileTimesBrokenDownWhereWindowsCanHoldThem) {
  setenv("TZ", "Asia/Tokyo", 1);
  tzset();
  const std::tuple<bool, UnixTime, const char*> cases[] = {
      {true, -1, "1969-12-31 23:59:59 3"},
      {true, 2147483648, "2038-01-19 03:14:08 2"},
      {true, -11644473600, "1601-01-01 00:00:00 1"},
      {true, 910692730085, "30828-09-14 02:48:05 4"},
      {false, 4102444800, "2100-01-01 09:00:00 5"},
      {true, -11644473601, nullptr},
      {true, 910692730086, nullptr},
  };
  Platform& p = system_platform();
  for (const auto& [utc, t, shown] : cases) {
    DateTime d;
    const bool ok = utc ? p.to_utc(t, &d) : p.to_local(t, &d);
    EXPECT_EQ(ok, shown != nullptr) << t;
    if (!ok || !shown) continue;
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u %u", d.year, d.month, d.day,
                  d.hour, d.minute, d.second, d.day_of_week);
    EXPECT_STREQ(text, shown) << t;
  }
  EXPECT_FALSE(p.set_local_time(DateTime{1998, 7, 2, 14, 10, 0, 0, 0}));
}

}  // namespace
}  // namespace volari::platform_test
