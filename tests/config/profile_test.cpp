#include "config/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstring>
#include <string>

#include "config/config_fixture.h"

namespace volari::testing {
namespace {

using ProfileTest = ConfigTest;

struct GetCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  int found;
  const char* value;
};

const std::string k77(77, 'a');
const std::string k77_tail = k77 + "tail";
const std::string k300(300, 'b');
const std::string k300_cut = k300.substr(0, kProfileValue - 1);
const std::string k2000(2000, 'c');

const GetCase kGetCases[] = {
    {"plain", "[DIR]\r\nFATNAME=E:\\FAT.DB\r\n", "DIR", "FATNAME", 1, "E:\\FAT.DB"},
    {"second key", "[DIR]\r\nA=1\r\nB=2\r\n", "DIR", "B", 1, "2"},
    {"lf line ends", "[DIR]\nA=1\nB=2\n", "DIR", "B", 1, "2"},
    {"last line without line end", "[DIR]\r\nA=whole value", "DIR", "A", 1, "whole value"},
    {"empty value", "[DIR]\r\nLOG=\r\n", "DIR", "LOG", 1, ""},
    {"blanks around =", "[DIR]\r\nKEY = v\r\n", "DIR", "KEY", 0, ""},
    {"key with its blank", "[DIR]\r\nKEY = v\r\n", "DIR", "KEY ", 1, " v"},
    {"blank before key", "[DIR]\r\n KEY=v\r\n", "DIR", "KEY", 0, ""},
    {"trailing blanks kept", "[DIR]\r\nKEY=v  \r\n", "DIR", "KEY", 1, "v  "},
    {"first = splits", "[DIR]\r\nKEY=a=b\r\n", "DIR", "KEY", 1, "a=b"},
    {"key before any header", "KEY=v\r\n[DIR]\r\n", "DIR", "KEY", 0, ""},
    {"key in another section", "[A]\r\nKEY=v\r\n[DIR]\r\nX=1\r\n", "DIR", "KEY", 0, ""},
    {"only the first section", "[DIR]\r\nA=1\r\n[DIR]\r\nKEY=2\r\n", "DIR", "KEY", 0, ""},
    {"first of two sections", "[DIR]\r\nKEY=1\r\n[DIR]\r\nKEY=2\r\n", "DIR", "KEY", 1, "1"},
    {"search ends at [", "[DIR]\r\n[junk\r\nKEY=1\r\n", "DIR", "KEY", 0, ""},
    {"comment skipped", "[DIR]\r\n;KEY=c\r\nKEY=v\r\n", "DIR", "KEY", 1, "v"},
    {"commented header", ";[DIR]\r\nKEY=v\r\n", "DIR", "KEY", 0, ""},
    {"key case", "[DIR]\r\nfatname=x\r\n", "DIR", "FATNAME", 0, ""},
    {"section case", "[dir]\r\nFATNAME=x\r\n", "DIR", "FATNAME", 0, ""},
    {"text after ]", "[DIR] ; main\r\nKEY=v\r\n", "DIR", "KEY", 1, "v"},
    {"[ without ]", "[DIR\r\nKEY=v\r\n", "DIR", "KEY", 0, ""},
    {"section name ends at first ]", "[DI]R]\r\nKEY=v\r\n", "DI", "KEY", 1, "v"},
    {"empty section name", "[]\r\nKEY=v\r\n", "", "KEY", 1, "v"},
    {"value filling the first piece", "[DIR]\r\nK=" + k77 + "\r\n", "DIR", "K", 1, k77.c_str()},
    // Lines are read whole: a long path is not cut, and no part of a line counts as a line.
    {"long value read whole", "[DIR]\r\nK=" + k77 + "tail\r\n", "DIR", "K", 1, k77_tail.c_str()},
    {"no key inside a long line", "[DIR]\r\nK=" + k77 + "X=yes\r\n", "DIR", "X", 0, ""},
    {"no header inside a long line", "[DIR]\r\nK=" + k77 + "[B]\r\nX=1\r\n", "DIR", "X", 1, "1"},
    {"value cut to its buffer", "[DIR]\r\nK=" + k300 + "\r\nX=1\r\n", "DIR", "K", 1,
     k300_cut.c_str()},
    {"key after a line longer than any", "[DIR]\r\nA=" + k2000 + "\r\nX=1\r\n", "DIR", "X", 1, "1"},
    {"0x1A ends the text", "[DIR]\r\n\x1aKEY=v\r\n", "DIR", "KEY", 0, ""},
    {"empty file", "", "DIR", "KEY", 0, ""},
};

TEST_F(ProfileTest, GetTable) {
  for (const GetCase& c : kGetCases) {
    SCOPED_TRACE(c.name);
    put("VOLARI.INI", c.text);
    char out[kProfileValue];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(profile_get(platform_, "VOLARI.INI", c.section, c.key, out), c.found);
    EXPECT_STREQ(out, c.value);
  }
}

TEST_F(ProfileTest, GetWithoutFileEmptiesTheBuffer) {
  char out[kProfileValue] = "old";
  EXPECT_EQ(profile_get(platform_, "NOSUCH.INI", "DIR", "KEY", out), 0);
  EXPECT_STREQ(out, "");
}

struct PutCase {
  const char* name;
  bool has_file;
  std::string before;
  const char* key;
  const char* value;
  std::string after;
};

const std::string k150(150, 'x');
const std::string kLongIn = "A=" + k77 + "[B]=zz";  // its second piece begins with '['

const PutCase kPutCases[] = {
    {"missing file", false, "", "LAST_TIME", "2001/03/29 14:05",
     "[DIR]\r\nLAST_TIME=2001/03/29 14:05\r\n"},
    {"key replaced in place", true,
     "; settings\r\n[DOS32]\r\nDIR=DIR\r\n\r\n[DIR]\r\nFATNAME=C:\\FAT.DB\r\nLAST_TIME=1997/03/29 "
     "12:34\r\nLOG=\r\n\r\n[OPTION]\r\nSKIP_WWW=3\r\n",
     "LAST_TIME", "2001/03/29 14:05",
     "; settings\r\n[DOS32]\r\nDIR=DIR\r\n\r\n[DIR]\r\nFATNAME=C:\\FAT.DB\r\nLAST_TIME=2001/03/29 "
     "14:05\r\nLOG=\r\n\r\n[OPTION]\r\nSKIP_WWW=3\r\n"},
    {"lf line ends written as cr lf", true, "[A]\nX=1\n[DIR]\nK=old\n", "K", "new",
     "[A]\r\nX=1\r\n[DIR]\r\nK=new\r\n"},
    {"new key before the next header", true,
     "[DIR]\r\nF=1\r\n; end of dir\r\n\r\n[OPTION]\r\nA=1\r\n", "K", "v",
     "[DIR]\r\nF=1\r\n; end of dir\r\n\r\nK=v\r\n[OPTION]\r\nA=1\r\n"},
    {"new key at the end of the last section", true, "[A]\r\nX=1\r\n[DIR]\r\nF=1\r\n", "K", "v",
     "[A]\r\nX=1\r\n[DIR]\r\nF=1\r\nK=v\r\n"},
    {"unterminated last line kept whole", true, "[DIR]\r\nF=1", "K", "v",
     "[DIR]\r\nF=1\r\nK=v\r\n"},
    {"unterminated header", true, "[DIR]", "K", "v", "[DIR]\r\nK=v\r\n"},
    {"new section after an empty line", true, "[A]\r\nX=1\r\n", "K", "v",
     "[A]\r\nX=1\r\n\r\n[DIR]\r\nK=v\r\n"},
    {"new section after an unterminated line", true, "[A]\r\nX=1", "K", "v",
     "[A]\r\nX=1\r\n[DIR]\r\nK=v\r\n"},
    {"empty file", true, "", "K", "v", "\r\n[DIR]\r\nK=v\r\n"},
    {"only the first of two sections", true, "[DIR]\r\nK=1\r\n[DIR]\r\nK=2\r\n", "K", "v",
     "[DIR]\r\nK=v\r\n[DIR]\r\nK=2\r\n"},
    {"first section gets the new key", true, "[DIR]\r\nA=1\r\n[DIR]\r\nK=2\r\n", "K", "v",
     "[DIR]\r\nA=1\r\nK=v\r\n[DIR]\r\nK=2\r\n"},
    {"long lines elsewhere survive", true,
     "[A]\r\nX=" + k150 + "\r\n[DIR]\r\nK=1\r\n; " + k150 + "\r\n", "K", "v",
     "[A]\r\nX=" + k150 + "\r\n[DIR]\r\nK=v\r\n; " + k150 + "\r\n"},
    {"long line in the section is not split", true, "[DIR]\r\n" + kLongIn + "\r\n", "K", "v",
     "[DIR]\r\n" + kLongIn + "\r\nK=v\r\n"},
    {"long old key line replaced whole", true, "[DIR]\r\nK=" + k150 + "=x\r\nB=2\r\n", "K", "v",
     "[DIR]\r\nK=v\r\nB=2\r\n"},
    {"key of another case is another key", true, "[DIR]\r\nk=1\r\n", "K", "v",
     "[DIR]\r\nk=1\r\nK=v\r\n"},
    {"commented key stays", true, "[DIR]\r\n;K=1\r\n", "K", "v", "[DIR]\r\n;K=1\r\nK=v\r\n"},
    {"blanks around = make another key", true, "[DIR]\r\nK = 1\r\n", "K", "v",
     "[DIR]\r\nK = 1\r\nK=v\r\n"},
    {"key before any header stays", true, "K=1\r\n[DIR]\r\n", "K", "v", "K=1\r\n[DIR]\r\nK=v\r\n"},
    {"commented header is no section", true, ";[DIR]\r\nK=1\r\n", "K", "v",
     ";[DIR]\r\nK=1\r\n\r\n[DIR]\r\nK=v\r\n"},
    {"header with trailing text", true, "[DIR] ; main\r\nK=1\r\n", "K", "v",
     "[DIR] ; main\r\nK=v\r\n"},
    {"empty value stored again", true, "[DIR]\nK=\n", "K", "", "[DIR]\r\nK=\r\n"},
    {"empty value replaces", true, "[DIR]\r\nK=1\r\n", "K", "", "[DIR]\r\nK=\r\n"},
};

TEST_F(ProfileTest, PutTable) {
  for (const PutCase& c : kPutCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("VOLARI.INI");
    if (c.has_file) put("VOLARI.INI", c.before);
    profile_put(platform_, "VOLARI.INI", "DIR", c.key, c.value);
    EXPECT_EQ(get("VOLARI.INI"), c.after);
    EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
    char out[kProfileValue];
    EXPECT_EQ(profile_get(platform_, "VOLARI.INI", "DIR", c.key, out), 1);
    EXPECT_STREQ(out, c.value);
  }
}

TEST_F(ProfileTest, SameValueTouchesNothing) {
  const std::string text = "[DIR]\nLAST_TIME=1997/03/29 12:34\n";  // LF only: a rewrite shows
  put("VOLARI.INI", text);
  struct timespec old[2] = {{946684800, 0}, {946684800, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "VOLARI.INI", old, 0), 0);
  int writes = 0;
  platform_.fail = [&](const char* op, const char*) {
    if (std::strcmp(op, "write") == 0 || std::strcmp(op, "rename") == 0) ++writes;
    return false;
  };
  profile_put(platform_, "VOLARI.INI", "DIR", "LAST_TIME", "1997/03/29 12:34");
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(get("VOLARI.INI"), text);
  struct stat st = {};
  ASSERT_EQ(stat("VOLARI.INI", &st), 0);
  EXPECT_EQ(st.st_mtime, 946684800);
  EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(ProfileTest, TemporaryFileLiesNextToTheSettingsFile) {
  std::filesystem::create_directory("conf");
  put("conf/VOLARI.INI", "[DIR]\r\nK=1\r\n");
  put("ZEL_LIB.TMP", "not ours");
  std::vector<std::string> opened;
  platform_.fail = [&](const char* op, const char* path) {
    if (std::strcmp(op, "open") == 0) opened.push_back(path);
    return false;
  };
  profile_put(platform_, "conf\\VOLARI.INI", "DIR", "K", "2");
  EXPECT_EQ(get("conf/VOLARI.INI"), "[DIR]\r\nK=2\r\n");
  EXPECT_NE(std::find(opened.begin(), opened.end(), "conf\\ZEL_LIB.TMP"), opened.end());
  EXPECT_EQ(get("ZEL_LIB.TMP"), "not ours");
  EXPECT_EQ(names("conf"), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(ProfileTest, AbsoluteAndDriveFormsOfTheTemporaryName) {
  std::filesystem::create_directory("conf");
  put("conf/VOLARI.INI", "[DIR]\r\nK=1\r\n");
  const std::string file = program_form(root_ + "/conf/VOLARI.INI");
  std::vector<std::string> opened;
  platform_.fail = [&](const char* op, const char* path) {
    if (std::strcmp(op, "open") == 0) opened.push_back(path);
    return false;
  };
  profile_put(platform_, file.c_str(), "DIR", "K", "2");
  EXPECT_EQ(get("conf/VOLARI.INI"), "[DIR]\r\nK=2\r\n");
  EXPECT_NE(std::find(opened.begin(), opened.end(), program_form(root_ + "/conf/ZEL_LIB.TMP")),
            opened.end());
}

TEST_F(ProfileTest, FileNamedLikeTheTemporaryFile) {
  put("ZEL_LIB.TMP", "[DIR]\r\nK=1\r\n");
  profile_put(platform_, "ZEL_LIB.TMP", "DIR", "K", "2");
  EXPECT_EQ(get("ZEL_LIB.TMP"), "[DIR]\r\nK=2\r\n");
  EXPECT_EQ(names("."), std::vector<std::string>{"ZEL_LIB.TMP"});
}

TEST_F(ProfileTest, UnreadableFileIsNeverReplaced) {
  put("VOLARI.INI", "[DIR]\r\nK=1\r\n");
  platform_.fail = [](const char* op, const char* path) {
    return std::strcmp(op, "open") == 0 && std::strcmp(path, "VOLARI.INI") == 0;
  };
  profile_put(platform_, "VOLARI.INI", "DIR", "K", "2");
  EXPECT_EQ(get("VOLARI.INI"), "[DIR]\r\nK=1\r\n");
  EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(ProfileTest, TextsThatCouldNotBeReadBackAreRefused) {
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"DIR", "K", "a\nb=c"}, {"DIR", "K", "a\rb"}, {"DIR", "K=X", "v"},
      {"DIR", "K\n", "v"},    {"D]R", "K", "v"},    {"DIR\n", "K", "v"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key + "/" + c.value);
    put("VOLARI.INI", "[DIR]\r\nK=1\r\n");
    profile_put(platform_, "VOLARI.INI", c.section, c.key, c.value);
    EXPECT_EQ(get("VOLARI.INI"), "[DIR]\r\nK=1\r\n");
    EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
  }
  profile_put(platform_, "", "DIR", "K", "v");
  EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
}

// A failure at any step of the rewrite leaves the complete old text (or no file) and no
// temporary file; the next call, without the fault, succeeds.
TEST_F(ProfileTest, FailuresLoseNothing) {
  const struct {
    const char* op;
    bool temp_only;
  } faults[] = {{"open", true}, {"write", false}, {"close", false}, {"rename", false}};
  const std::string old_text =
      "; mine\r\n[DIR]\r\nLAST_TIME=1997/03/29 12:34\r\nX=" + k150 + "\r\n\r\n[OPTION]\r\nA=1\r\n";
  const std::string new_text =
      "; mine\r\n[DIR]\r\nLAST_TIME=2001/03/29 14:05\r\nX=" + k150 + "\r\n\r\n[OPTION]\r\nA=1\r\n";
  for (const auto& f : faults) {
    for (bool has_file : {true, false}) {
      SCOPED_TRACE(std::string(f.op) + (has_file ? " existing" : " missing"));
      std::filesystem::remove("VOLARI.INI");
      if (has_file) put("VOLARI.INI", old_text);
      int hits = 0;
      platform_.fail = [&](const char* op, const char* path) {
        if (std::strcmp(op, f.op) != 0) return false;
        if (f.temp_only && std::strstr(path, "ZEL_LIB.TMP") == nullptr) return false;
        ++hits;
        return true;
      };
      profile_put(platform_, "VOLARI.INI", "DIR", "LAST_TIME", "2001/03/29 14:05");
      EXPECT_GT(hits, 0);
      if (has_file) {
        EXPECT_EQ(get("VOLARI.INI"), old_text);
        EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
      } else {
        EXPECT_TRUE(names(".").empty());
      }
      platform_.fail = nullptr;
      profile_put(platform_, "VOLARI.INI", "DIR", "LAST_TIME", "2001/03/29 14:05");
      EXPECT_EQ(get("VOLARI.INI"), has_file ? new_text : "[DIR]\r\nLAST_TIME=2001/03/29 14:05\r\n");
      EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
    }
  }
}

}  // namespace
}  // namespace volari::testing
