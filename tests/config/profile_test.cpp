#include "config/profile.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "config/config_fixture.h"

namespace volari::testing {
namespace {

using ProfileTest = ConfigTest;
using namespace std::string_literals;

struct GetCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::string value;  // "-": not found
};

const std::string k77(77, 'a');
const std::string k150(150, 'x');
const std::string k300(300, 'b');

// Files with LF line ends unless the name says otherwise.
const GetCase kGetCases[] = {
    {"cr lf line ends", "[DIR]\r\nA=1\r\nFATNAME=E:\\FAT.DB\r\n", "DIR", "FATNAME", "E:\\FAT.DB"},
    {"last line without line end", "[DIR]\nA=whole value", "DIR", "A", "whole value"},
    {"empty value", "[DIR]\nLOG=\n", "DIR", "LOG", ""},
    {"nothing trimmed", "[DIR]\nKEY = v  \n", "DIR", "KEY ", " v  "},
    {"blank before key", "[DIR]\n KEY=v\n", "DIR", "KEY", "-"},
    {"first = splits", "[DIR]\nKEY=a=b\n", "DIR", "KEY", "a=b"},
    {"key in another section", "KEY=v\n[A]\nKEY=v\n[DIR]\nX=1\n", "DIR", "KEY", "-"},
    {"only the first section", "[DIR]\nA=1\n[DIR]\nKEY=2\n", "DIR", "KEY", "-"},
    {"search ends at [", "[DIR]\n[junk\nKEY=1\n", "DIR", "KEY", "-"},
    {"key case", "[DIR]\nfatname=x\n", "DIR", "FATNAME", "-"},
    {"section case", "[dir]\nFATNAME=x\n", "DIR", "FATNAME", "-"},
    {"name ends at the first ]", "[DI]R] ; x\nKEY=v\n", "DI", "KEY", "v"},
    {"[ without ]", "[DIR\nKEY=v\n", "DIR", "KEY", "-"},
    {"empty section name", "[]\nKEY=v\n", "", "KEY", "v"},
    // Lines are read whole: a long path is not cut, and no part of a line counts as a line.
    {"long value read whole", "[DIR]\nK=" + k77 + "tail\n", "DIR", "K", k77 + "tail"},
    {"no key inside a long line", "[DIR]\nK=" + k77 + "X=yes\n", "DIR", "X", "-"},
    {"no header inside a long line", "[DIR]\nK=" + k77 + "[B]\nX=1\n", "DIR", "X", "1"},
    {"value cut to its buffer", "[DIR]\nK=" + k300 + "\nX=1\n", "DIR", "K",
     k300.substr(0, kProfileValue - 1)},
    {"key after a line longer than any", "[DIR]\nA=" + std::string(2000, 'c') + "\nX=1\n", "DIR",
     "X", "1"},
    {"0x1A ends the text", "[DIR]\n\x1aKEY=v\n", "DIR", "KEY", "-"},
    {"an editor's utf-8 mark", "\xEF\xBB\xBF[DIR]\nKEY=v\n", "DIR", "KEY", "v"},
};

TEST_F(ProfileTest, GetTable) {
  for (const GetCase& c : kGetCases) {
    SCOPED_TRACE(c.name);
    put("VOLARI.INI", c.text);
    char out[kProfileValue];
    std::memset(out, 'z', sizeof out);
    const bool found = c.value != "-";
    EXPECT_EQ(profile_get(platform_, "VOLARI.INI", c.section, c.key, out), found);
    EXPECT_EQ(out, found ? c.value : "");
  }
  char out[kProfileValue] = "old";
  EXPECT_FALSE(profile_get(platform_, "NOSUCH.INI", "DIR", "KEY", out));
  EXPECT_STREQ(out, "");
}

const std::string kLongIn = "A=" + k77 + "[B]=zz";  // its second piece begins with '['

// Stores K=v in section DIR. Every byte of the old text stays; new lines end as its first line.
const struct {
  const char* name;
  std::string before;  // "-" for no file
  std::string after;
} kPutCases[] = {
    {"missing file", "-", "[DIR]\r\nK=v\r\n"},
    {"key replaced in place",
     "; set\n[DOS32]\nDIR=DIR\n\n[DIR]\nF=1\nK=old\nLOG=\n\n[OPTION]\nK=3\n",
     "; set\n[DOS32]\nDIR=DIR\n\n[DIR]\nF=1\nK=v\nLOG=\n\n[OPTION]\nK=3\n"},
    {"cr lf kept", "[DIR]\r\nK=old\r\nA=1\n", "[DIR]\r\nK=v\r\nA=1\n"},
    {"new key before the next header", "[DIR]\nF=1\n; end of dir\n\n[OPTION]\nA=1\n",
     "[DIR]\nF=1\n; end of dir\n\nK=v\n[OPTION]\nA=1\n"},
    {"new key at the end of the last section", "[A]\r\nX=1\r\n[DIR]\r\nF=1\r\n",
     "[A]\r\nX=1\r\n[DIR]\r\nF=1\r\nK=v\r\n"},
    {"unterminated last line kept whole", "[DIR]\nF=1", "[DIR]\nF=1\nK=v\n"},
    {"new section after an empty line", "[A]\nX=1\n", "[A]\nX=1\n\n[DIR]\nK=v\n"},
    {"new section after an unterminated line", "[A]\nX=1", "[A]\nX=1\n[DIR]\nK=v\n"},
    {"empty file", "", "\r\n[DIR]\r\nK=v\r\n"},
    {"only the first of two sections", "[DIR]\nK=1\n[DIR]\nK=2\n", "[DIR]\nK=v\n[DIR]\nK=2\n"},
    {"long lines elsewhere survive", "[A]\nX=" + k150 + "\n[DIR]\nK=1\n; " + k150 + "\n",
     "[A]\nX=" + k150 + "\n[DIR]\nK=v\n; " + k150 + "\n"},
    {"long line in the section is not split", "[DIR]\n" + kLongIn + "\n",
     "[DIR]\n" + kLongIn + "\nK=v\n"},
    {"long old key line replaced whole", "[DIR]\nK=" + k150 + "=x\nB=2\n", "[DIR]\nK=v\nB=2\n"},
    // An editor's UTF-8 mark, an end-of-file byte and a NUL change nothing around them.
    {"utf-8 mark", "\xEF\xBB\xBF[DIR]\nK=1\n", "\xEF\xBB\xBF[DIR]\nK=v\n"},
    {"0x1a and nul",
     "[A]\nX=\x1a"
     "1\n[DIR]\nK=1\nY=\0!\n"s,
     "[A]\nX=\x1a"
     "1\n[DIR]\nK=v\nY=\0!\n"s},
};

TEST_F(ProfileTest, PutTable) {
  for (const auto& c : kPutCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("VOLARI.INI");
    if (c.before != "-") put("VOLARI.INI", c.before);
    EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", "v"));
    EXPECT_EQ(get("VOLARI.INI"), c.after);
    EXPECT_EQ(names(), std::vector<std::string>{"VOLARI.INI"});
  }
  // The value already there: nothing is written (the same file stays); an empty value is written
  // all the same.
  for (const char* value : {"v", ""}) {
    put("VOLARI.INI", std::string("[DIR]\nK=") + value + "\n");
    const ino_t before = status("VOLARI.INI").st_ino;
    EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", value));
    EXPECT_EQ(status("VOLARI.INI").st_ino == before, value[0] != '\0') << value;
  }
  // The file keeps its permission bits; one reached through a link is rewritten where it lies,
  // the link left as it is.
  put("real/VOLARI.INI", "[DIR]\nK=1\n");
  chmod(dir_.file("real/VOLARI.INI").c_str(), 0640);
  std::filesystem::create_symlink("real/VOLARI.INI", "LINK.INI");
  EXPECT_TRUE(profile_put(platform_, "LINK.INI", "DIR", "K", "2"));
  EXPECT_EQ(get("real/VOLARI.INI"), "[DIR]\nK=2\n");
  EXPECT_EQ(status("real/VOLARI.INI").st_mode & 07777, 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink("LINK.INI"));
  EXPECT_EQ(names("real"), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(ProfileTest, RefusedWritesChangeNothing) {
  // Names or values that could not be read back, and no file name.
  const char* const cases[][4] = {
      {"VOLARI.INI", "DIR", "K", "a\nb=c"},
      {"VOLARI.INI", "DIR", "K", "a\rb"},
      {"VOLARI.INI", "DIR", "K=X", "v"},
      {"VOLARI.INI", "DIR", "K\n", "v"},
      {"VOLARI.INI", "D]R", "K", "v"},
      {"VOLARI.INI", "DIR\n", "K", "v"},
      {"", "DIR", "K", "v"},
      {"VOLARI.INI", "DIR", "K", "unreadable"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c[0]) + "/" + c[1] + "/" + c[2] + "/" + c[3]);
    put("VOLARI.INI", "[DIR]\nK=1\n");
    // A file that is there but cannot be read is never replaced.
    platform_.fail = [&](Op op, const std::string& path) {
      return std::strcmp(c[3], "unreadable") == 0 && op == Op::open && path == "VOLARI.INI";
    };
    EXPECT_FALSE(profile_put(platform_, c[0], c[1], c[2], c[3]));
    EXPECT_EQ(get("VOLARI.INI"), "[DIR]\nK=1\n");
    EXPECT_EQ(names(), std::vector<std::string>{"VOLARI.INI"});
  }
}

// A failure at any step of the rewrite (a full disk, a folder without write permission) leaves
// the complete old text (or no file) and no temporary file, and says so; the next call, without
// the fault, succeeds. A temporary name that another run holds is passed over.
TEST_F(ProfileTest, FailuresLoseNothing) {
  const std::string old_text = "; mine\n[DIR]\nK=1\nX=" + k150 + "\n\n[OPTION]\nA=1\n";
  const std::string new_text = "; mine\n[DIR]\nK=2\nX=" + k150 + "\n\n[OPTION]\nA=1\n";
  for (const Op fault : {Op::open, Op::read, Op::write, Op::close, Op::rename}) {
    for (bool has_file : {true, false}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(fault)) + (has_file ? " existing" : " missing"));
      std::filesystem::remove("VOLARI.INI");
      if (has_file) put("VOLARI.INI", old_text);
      int hits = 0;
      // Every open for writing fails; a read of the settings only after profile_put's own check.
      int reads = 0;
      platform_.fail = [&](Op op, const std::string& path) {
        if (op != fault || (op == Op::open && path == "VOLARI.INI" && has_file)) return false;
        if (op == Op::read && ++reads < 3) return false;
        ++hits;
        return true;
      };
      const bool stored = profile_put(platform_, "VOLARI.INI", "DIR", "K", "2");
      EXPECT_EQ(stored, hits == 0);
      EXPECT_EQ(names(), has_file || hits == 0 ? std::vector<std::string>{"VOLARI.INI"}
                                               : std::vector<std::string>{});
      if (has_file && hits > 0) {
        EXPECT_EQ(get("VOLARI.INI"), old_text);
      }
      platform_.fail = nullptr;
      put("~VL08B35.TMP", "another run's");
      EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", "2"));
      EXPECT_EQ(get("VOLARI.INI"), has_file ? new_text : "[DIR]\r\nK=2\r\n");
      std::filesystem::remove("~VL08B35.TMP");
    }
  }
}

}  // namespace
}  // namespace volari::testing
