#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "child.h"
#include "platform/platform.h"
#include "platform/posix/posix_platform.h"
#include "testlib/temp_dir.h"

namespace volari {
namespace {

using testing::TempDir;

void touch(const std::string& native) {
  std::ofstream(native, std::ios::binary) << "x";
}

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

const MatchCase kMatch[] = {
    {"*", "INDEX.HTM", true},
    {"*.*", "INDEX.HTM", true},
    {"*.*", "README", true},  // as on Windows: "*.*" is every name
    {"*.*", ".", true},
    {"*.*", "..", true},
    {"*.HTM", "index.htm", true},  // ASCII letters without regard to case
    {"*.htm", "INDEX.HTML", false},
    {"INDEX.*", "index", true},
    {"INDEX.", "INDEX", true},
    {"INDEX.TXT", "INDEX", false},
    {"?", "x", true},
    {"?", "xy", false},
    {"?", "", false},
    {"a?c", "abc", true},
    {"a?c", "ac", false},
    {"a*c", "a.b.c", true},
    {"a*c", "a.b.cd", false},
    {"*x*", "index.html", true},
    {"[a]", "a", false},  // no bracket sets
    {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    // 0x83 0x41 (ア) and 0x83 0x61 (ャ) differ only in a second byte that reads as 'A' / 'a'.
    {"\x83\x41", "\x83\x61", false},
    {"\x83\x41", "\x83\x41", true},
    {"?", "\x83\x41", true},  // '?' takes a whole double-byte character
    {"??", "\x83\x41", false},
    {"?.txt", "\x95\x5c.txt", true},
    {"*\x5c", "\x95\x5c", false},  // the second byte of 表 is no character of its own
};

TEST(PlatformWildcards, DosRules) {
  for (const MatchCase& c : kMatch) {
    EXPECT_EQ(c.matches, dos_wildcard_match(c.pattern, c.name)) << c.pattern << " / " << c.name;
  }
}

class PlatformDirs : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"INDEX.HTM", "index.html", "README", "a.b.c", "x", "\x83\x41"}) {
      touch(dir.file(name));
    }
    ASSERT_EQ(0, ::mkdir(dir.file("sub").c_str(), 0777));
  }
  // Names found for `pattern` in the directory, "/" after a directory's name.
  std::vector<std::string> found(const std::string& pattern) {
    std::vector<std::string> names;
    auto search = p.find_files(at(pattern).c_str());
    if (!search) return {"(null)"};
    FoundEntry e;
    while (search->next(&e)) names.push_back(std::string(e.name) + (e.directory ? "/" : ""));
    return names;
  }
  // Program-form path of `name` in the directory.
  std::string at(const std::string& name) const { return platform_test::prog(dir.path(), name); }
  Platform& p = system_platform();
  TempDir dir;
};

struct FindCase {
  const char* pattern;
  std::vector<std::string> names;
};

TEST_F(PlatformDirs, FindFilesTakesDosWildcardsAndSortsNames) {
  const FindCase cases[] = {
      {"*", {"./", "../", "INDEX.HTM", "README", "a.b.c", "index.html", "sub/", "x", "\x83\x41"}},
      {"*.*", {"./", "../", "INDEX.HTM", "README", "a.b.c", "index.html", "sub/", "x", "\x83\x41"}},
      {"*.htm", {"INDEX.HTM"}},
      {"index.*", {"INDEX.HTM", "index.html"}},
      {"?", {"./", "x", "\x83\x41"}},  // "." is one character too
      {"README.*", {"README"}},
      {"S*", {"sub/"}},
      {"nothing*", {}},
  };
  for (const FindCase& c : cases) EXPECT_EQ(c.names, found(c.pattern)) << c.pattern;
}

TEST_F(PlatformDirs, FindFilesInAMissingDirectoryIsNull) {
  EXPECT_EQ(nullptr, p.find_files(at("missing\\*.*").c_str()));
}

TEST_F(PlatformDirs, AttributesTellDirectoriesFromFiles) {
  EXPECT_EQ(kAttrDirectory, p.attributes(at("sub").c_str()) & kAttrDirectory);
  const int file = p.attributes(at("README").c_str());
  EXPECT_NE(-1, file);
  EXPECT_EQ(0, file & kAttrDirectory);
  EXPECT_EQ(-1, p.attributes(at("missing").c_str()));
}

TEST_F(PlatformDirs, MakeDirCreatesOneDirectoryOnce) {
  EXPECT_TRUE(p.make_dir(at("new").c_str()));
  struct stat st;
  ASSERT_EQ(0, ::stat(dir.file("new").c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_FALSE(p.make_dir(at("new").c_str()));
  EXPECT_FALSE(p.make_dir(at("a\\b").c_str()));  // its parent is missing
}

TEST_F(PlatformDirs, SetPathTimeStampsADirectory) {
  for (UnixTime t : {UnixTime{900000000}, UnixTime{4102444800}}) {
    EXPECT_TRUE(p.set_path_time(at("sub").c_str(), t));
    struct stat st;
    ASSERT_EQ(0, ::stat(dir.file("sub").c_str(), &st));
    EXPECT_EQ(t, static_cast<UnixTime>(st.st_mtim.tv_sec));
    EXPECT_EQ(t, static_cast<UnixTime>(st.st_atim.tv_sec));
  }
  EXPECT_FALSE(p.set_path_time(at("missing").c_str(), 900000000));
}

TEST_F(PlatformDirs, CurrentDirectoryInProgramForm) {
  char saved[PATH_MAX];
  ASSERT_NE(nullptr, ::getcwd(saved, sizeof saved));
  char real[PATH_MAX];
  ASSERT_NE(nullptr, ::realpath(dir.path().c_str(), real));
  std::string expected = real;
  path_from_native(expected.data());

  EXPECT_TRUE(p.change_dir(at("sub").c_str()));
  EXPECT_TRUE(p.change_dir(".."));
  char out[PATH_MAX];
  EXPECT_TRUE(p.current_dir(out, sizeof out));
  EXPECT_EQ(expected, out);
  EXPECT_FALSE(p.current_dir(out, expected.size()));  // no room for the terminator
  EXPECT_TRUE(p.current_dir(out, expected.size() + 1));

  EXPECT_EQ(std::vector<std::string>{"README"}, [&] {
    std::vector<std::string> names;
    auto search = p.find_files("READ*");  // relative to the current directory
    FoundEntry e;
    while (search && search->next(&e)) names.push_back(e.name);
    return names;
  }());

  EXPECT_FALSE(p.change_dir(""));
  EXPECT_FALSE(p.change_dir(at("missing").c_str()));
  ASSERT_EQ(0, ::chdir(saved));
}

}  // namespace
}  // namespace volari
