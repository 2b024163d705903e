// What the whole-program transcripts do not reach in the settings file: stores into odd files,
// refused and failed writes.
#include <cstring>
#include <iterator>

#include "config/profile.h"
#include "support/temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

class Config : public TempTree {
 protected:
  static long entries(const char* dir = ".") {
    return std::distance(std::filesystem::directory_iterator(dir), {});
  }
  FakePlatform platform_;
};

// Stores K=v in section DIR: every byte of the old text stays, new lines end as its first line.
// The value already there is not written again (the same file stays); an empty one is. A file
// reached through a link is rewritten where it lies, with its permission bits.
TEST_F(Config, ProfilePutKeepsTheRest) {
  const std::pair<std::string, std::string> cases[] = {
      {"-", "[DIR]\r\nK=v\r\n"},  // no file
      {"", "\r\n[DIR]\r\nK=v\r\n"},
      {"[DIR]\nF=1", "[DIR]\nF=1\nK=v\n"},
      {"[A]\nX=1", "[A]\nX=1\n[DIR]\nK=v\n"},
      {"[DIR]\nK=1\n[DIR]\nK=2\n", "[DIR]\nK=v\n[DIR]\nK=2\n"},
      {"\xEF\xBB\xBF[DIR]\nK=1\nY=\x1a\0!\n"s, "\xEF\xBB\xBF[DIR]\nK=v\nY=\x1a\0!\n"s},
  };
  for (const auto& [before, after] : cases) {
    std::filesystem::remove("VOLARI.INI");
    if (before != "-") put("VOLARI.INI", before);
    EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", "v"));
    EXPECT_EQ(get("VOLARI.INI"), after);
    EXPECT_EQ(entries(), 1);
  }
  for (const char* value : {"v", ""}) {
    put("VOLARI.INI", "[DIR]\nK="s + value + "\n");
    const ino_t before = status("VOLARI.INI").st_ino;
    EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", value));
    EXPECT_EQ(status("VOLARI.INI").st_ino == before, value[0] != '\0') << value;
  }
  put("real/VOLARI.INI", "[DIR]\nK=1\n");
  chmod("real/VOLARI.INI", 0640);
  std::filesystem::create_symlink("real/VOLARI.INI", "LINK.INI");
  EXPECT_TRUE(profile_put(platform_, "LINK.INI", "DIR", "K", "2"));
  EXPECT_EQ(get("real/VOLARI.INI"), "[DIR]\nK=2\n");
  EXPECT_EQ(status("real/VOLARI.INI").st_mode & 07777, 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink("LINK.INI"));
  EXPECT_EQ(entries("real"), 1);
}

// Nothing is written for names or values that could not be read back, no file name or an
// unreadable file; a failure at any step of the rewrite (a full disk, no write permission) leaves
// the old text (or no file) and no temporary file, and says so. The next call, without the fault,
// succeeds, passing over a temporary name that another run holds.
TEST_F(Config, ProfilePutRefusalsAndFailuresLoseNothing) {
  const char* const cases[][4] = {
      {"VOLARI.INI", "DIR", "K", "a\nb=c"},     {"VOLARI.INI", "DIR", "K=X", "v"},
      {"VOLARI.INI", "D]R", "K", "v"},          {"", "DIR", "K", "v"},
      {"VOLARI.INI", "DIR", "K", "unreadable"},
  };
  for (const auto& c : cases) {
    put("VOLARI.INI", "[DIR]\nK=1\n");
    platform_.fail = [&](Op op, const std::string& path) {
      return std::strcmp(c[3], "unreadable") == 0 && op == Op::open && path == "VOLARI.INI";
    };
    EXPECT_FALSE(profile_put(platform_, c[0], c[1], c[2], c[3])) << c[2] << c[3];
    EXPECT_EQ(get("VOLARI.INI"), "[DIR]\nK=1\n");
    EXPECT_EQ(entries(), 1);
  }
  const auto text = [](char k) {
    return "; mine\n[DIR]\nK="s + k + "\nX=" + std::string(150, 'x') + "\n\n[OPTION]\nA=1\n";
  };
  for (const Op fault : {Op::open, Op::read, Op::write, Op::close, Op::rename}) {
    for (bool has_file : {true, false}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(fault)) + (has_file ? " existing" : " missing"));
      std::filesystem::remove("VOLARI.INI");
      if (has_file) put("VOLARI.INI", text('1'));
      // Every open for writing fails; a read of the settings only after profile_put's own check.
      int hits = 0, reads = 0;
      platform_.fail = [&](Op op, const std::string& path) {
        if (op != fault || (op == Op::open && path == "VOLARI.INI" && has_file)) return false;
        if (op == Op::read && ++reads < 3) return false;
        return ++hits > 0;
      };
      const bool stored = profile_put(platform_, "VOLARI.INI", "DIR", "K", "2");
      EXPECT_EQ(stored, hits == 0);
      EXPECT_EQ(entries(), has_file || hits == 0);
      EXPECT_EQ(has_file ? get("VOLARI.INI") : "", has_file ? text(hits > 0 ? '1' : '2') : "");
      platform_.fail = nullptr;
      put("~VL08B35.TMP", "another run's");
      EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", "2"));
      EXPECT_EQ(get("VOLARI.INI"), has_file ? text('2') : "[DIR]\r\nK=2\r\n");
      std::filesystem::remove("~VL08B35.TMP");
    }
  }
}

}  // namespace
}  // namespace volari::testing
