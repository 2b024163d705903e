#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "child.h"
#include "platform/posix/posix_platform.h"

namespace volari::platform_test {
namespace {

TEST(PlatformWildcards, DosRules) {
  const struct {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.*", "README", true},       // as on Windows: "*.*" is every name
      {"*.HTM", "index.htm", true},  // ASCII letters without regard to case
      {"*.htm", "INDEX.HTML", false},
      {"INDEX.*", "index", true},
      {"INDEX.", "INDEX", true},
      {"INDEX.TXT", "INDEX", false},
      {"?", "xy", false},
      {"?", "", false},
      {"a*c", "a.b.c", true},
      {"[a]", "a", false},  // no bracket sets
      {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      // 0x83 0x41 (ア) and 0x83 0x61 (ャ) differ only in a second byte that reads as 'A' / 'a'.
      {"\x83\x41", "\x83\x61", false},
      {"?", "\x83\x41", true},       // '?' takes a whole double-byte character
      {"*\x5c", "\x95\x5c", false},  // the second byte of 表 is no character of its own
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.matches, dos_wildcard_match(c.pattern, c.name)) << c.pattern << " / " << c.name;
  }
}

class PlatformDirs : public PlatformDirTest {
 protected:
  void SetUp() override {
    for (const char* name : {"INDEX.HTM", "index.html", "README", "a.b.c", "x", "\x83\x41"}) {
      dir.write_file(name, "x");
    }
    ASSERT_EQ(0, ::mkdir(dir.file("sub").c_str(), 0777));
  }
  // Names found for `pattern` (program form), "/" after a directory's name.
  std::vector<std::string> found(const std::string& pattern) {
    std::vector<std::string> names;
    auto search = p.find_files(pattern.c_str());
    if (!search) return {"(null)"};
    FoundEntry e;
    while (search->next(&e)) names.push_back(std::string(e.name) + (e.directory ? "/" : ""));
    return names;
  }
};

TEST_F(PlatformDirs, FindFilesSortsNamesAndMarksDirectories) {
  EXPECT_EQ((std::vector<std::string>{"./", "../", "INDEX.HTM", "README", "a.b.c", "index.html",
                                      "sub/", "x", "\x83\x41"}),
            found(at("*")));
  EXPECT_EQ((std::vector<std::string>{"./", "x", "\x83\x41"}), found(at("?")));  // "." too
  EXPECT_EQ(std::vector<std::string>{"(null)"}, found(at("missing\\*.*")));
}

TEST_F(PlatformDirs, MakeDirAttributesAndDirectoryTimes) {
  EXPECT_TRUE(p.make_dir(at("new").c_str()));
  EXPECT_FALSE(p.make_dir(at("new").c_str()));
  EXPECT_FALSE(p.make_dir(at("a\\b").c_str()));  // its parent is missing
  EXPECT_EQ(kAttrDirectory, p.attributes(at("new").c_str()) & kAttrDirectory);
  const int file = p.attributes(at("README").c_str());
  EXPECT_NE(-1, file);
  EXPECT_EQ(0, file & kAttrDirectory);
  EXPECT_EQ(-1, p.attributes(at("missing").c_str()));
  for (UnixTime t : {UnixTime{900000000}, UnixTime{4102444800}}) {
    EXPECT_TRUE(p.set_path_time(at("new").c_str(), t));
    struct stat st;
    ASSERT_EQ(0, ::stat(dir.file("new").c_str(), &st));
    EXPECT_EQ(t, static_cast<UnixTime>(st.st_mtim.tv_sec));
    EXPECT_EQ(t, static_cast<UnixTime>(st.st_atim.tv_sec));
  }
  EXPECT_FALSE(p.set_path_time(at("missing").c_str(), 900000000));
}

TEST_F(PlatformDirs, CurrentDirectoryInProgramForm) {
  const auto saved = std::filesystem::current_path();
  std::string expected = std::filesystem::canonical(dir.path()).string();
  path_from_native(expected.data());

  EXPECT_TRUE(p.change_dir(at("sub").c_str()));
  EXPECT_TRUE(p.change_dir(".."));
  char out[PATH_MAX];
  EXPECT_TRUE(p.current_dir(out, sizeof out));
  EXPECT_EQ(expected, out);
  EXPECT_FALSE(p.current_dir(out, expected.size()));  // no room for the terminator
  EXPECT_TRUE(p.current_dir(out, expected.size() + 1));

  EXPECT_EQ(std::vector<std::string>{"README"}, found("READ*"));  // in the current directory
  EXPECT_FALSE(p.change_dir(""));
  EXPECT_FALSE(p.change_dir(at("missing").c_str()));
  std::filesystem::current_path(saved);
}

}  // namespace
}  // namespace volari::platform_test
