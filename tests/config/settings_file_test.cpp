#include "config/settings_file.h"

#include <sstream>
#include <string>
#include <vector>

#include "config/config_fixture.h"
#include "testlib/console_text.h"

namespace volari::testing {
namespace {

// Packs a LAST_TIME by the bit layout: year field, month, day, hour, minute.
constexpr PackedTime pack(uint32_t year_field, uint32_t month, uint32_t day, uint32_t hour,
                          uint32_t minute) {
  return (year_field << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5);
}

const std::string kDos32 = "[DOS32]\nDIR=DIR\nOPTION=OPTION\nDOMAIN=DOMAIN\n";

std::string dump(const Settings& settings, int debug = 1) {
  FakePlatform console;
  Messages messages(console);
  Settings s = settings;
  s.flg_debug = debug;
  dump_settings(s, messages);
  return console.console;
}

std::string defaults_dump(const std::string& profile) {
  return "<ARGUMENT>\nintel cpu  =1\n<SECTION>\nsec_profile=" + profile +
         "\nsec_dir    =DIR\nsec_option =OPTION\nsec_domain =DOMAIN\n<DIR>\n"
         "fat_filename =FAT.DB\nfat_directory=.\\\nout_directory=.\\\n"
         "hst_filename =.\\HISTORY.HTM\nlog_filename =.\\LOG.TXT\n"
         "flg_hst_file =1\nflg_hst_mode =2\nflg_hst_type =3\nflg_hst_date =0\n"
         "flg_log_file =1\nflg_last_from=0\nflg_last_time=1980/00/00 00:00\n<OPTION>\n"
         "domain_only =\ndomain_ext  =.DOM\ndomain_ip   =00\ndomain_root =INDEX.HTM\n"
         "domain_sub  =\nflg_dom_only=0\nflg_dom_flg =0\nflg_dom_dir =1\nflg_sub_dir =0\n"
         "flg_dir_max =260\nflg_dir_time=0\nflg_skip_www=15\nflg_skip_url=6\nflg_cgi_file=0\n"
         "flg_shiftjis=1\nflg_cap_file=1\nflg_cap_dir =1\nflg_cap_dom =1\n<DOMAIN>\n";
}

// The program lies in <root>/bin; its settings file next to it.
class SettingsFileTest : public ConfigTest {
 protected:
  Settings load(const std::string& ini, const std::string& argv0 = "") {
    if (!ini.empty()) put("bin/VOLARI.INI", ini);
    std::filesystem::create_directories(root_ + "/bin");
    Settings s;
    s.domain_count = 5;  // as an earlier load may have left it
    Argv args{argv0.empty() ? root_ + "/bin/vold32" : argv0};
    load_settings(platform_, s, args.argc(), args.argv());
    return s;
  }

  // Every expected line (LF-separated) appears as a whole line of the dump.
  static void expect_lines(const Settings& s, const std::string& lines) {
    const std::string text = "\n" + dump(s);
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
      EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << "\nin:" << text;
    }
  }
};

TEST_F(SettingsFileTest, NoFileKeepsEveryDefault) {
  put("VOLARI.INI", "[DOS32]\nDIR=ELSEWHERE\n");  // the current directory is not looked at
  const Settings s = load("");
  EXPECT_STREQ(s.program_dir, program_form(root_ + "/bin").c_str());
  EXPECT_EQ(dump(s), defaults_dump(program_form(root_) + "\\bin\\VOLARI.INI"));
  EXPECT_EQ(dump(s, 0), "");
}

// Settings text after kDos32 (LF line ends), and lines the dump must hold.
const struct {
  const char* ini;
  const char* lines;
} kLoadCases[] = {
    {"[DIR]\nFATNAME=/ns/cache/fat.db\nHISTORY=web/\nLOG=/var/log/\nLAST_TIME=1997/03/29 12:34",
     "fat_filename =\\ns\\cache\\fat.db\nfat_directory=\\ns\\cache\\\nhst_filename "
     "=web\\HISTORY.HTM\n"
     "flg_hst_file =1\nflg_hst_mode =2\nlog_filename =\\var\\log\\LOG.TXT\nflg_log_file =1\n"
     "flg_last_time=1997/03/29 12:34"},
    {"[DIR]\nFATNAME=E:\\FAT.DB\nHISTORY=\nLOG=\nLAST_TIME=",
     "fat_directory=E:\\\nhst_filename =\nflg_hst_file =1\nlog_filename =.\\LOG.TXT\n"
     "flg_log_file =0\nflg_last_time=1980/00/00 00:00"},
    {"[DIR]\nFATNAME=FAT.DB\nHISTORY=H.HTM\nHISTORYSET=0",
     "fat_directory=.\\\nhst_filename =H.HTM\nflg_hst_file =0\nflg_hst_mode =0"},
    {"[DIR]\nHISTORY=H.HTM\nHISTORYSET=9", "flg_hst_file =1\nflg_hst_mode =9"},
    {"[DIR]\nHISTORYSET=4", "flg_hst_file =0\nflg_hst_mode =4"},
    {"[DIR]\nHISTORYPUT=  7abc\nHISTORYDATE=x\nLAST_FROM=-2\n[OPTION]\nDOMAIN_FLG=1\n"
     "DOMAIN_DIR=3\nDIR_MAX=8\nDIR_TIME=1\nSKIP_WWW=\t5\nSKIP_URL=0\nCGI_FILE=2\nSHIFTJIS=0\n"
     "CAPITAL_FILE=0\nCAPITAL_DIR=0\nCAPITAL_DOMAIN=0",
     "flg_hst_type =7\nflg_hst_date =0\nflg_last_from=-2\nflg_dom_flg =1\nflg_dom_dir =3\n"
     "flg_dir_max =8\nflg_dir_time=1\nflg_skip_www=5\nflg_skip_url=0\nflg_cgi_file=2\n"
     "flg_shiftjis=0\nflg_cap_file=0\nflg_cap_dir =0\nflg_cap_dom =0"},
    {"[OPTION]\nDOMAIN_EXT=.D\nIP_ADDRESS=IP\nROOTHTML=ROOT.HTM\nDOMAIN_SUB=SUB",
     "domain_ext  =.D\ndomain_ip   =IP\ndomain_root =ROOT.HTM\ndomain_sub  =SUB\nflg_sub_dir =1"},
    // Only the first byte counts.
    {"[OPTION]\nDOMAIN_EXT=0.X\nDOMAIN_SUB=0", "domain_ext  =\ndomain_sub  =\nflg_sub_dir =0"},
};

TEST_F(SettingsFileTest, LoadTable) {
  for (const auto& c : kLoadCases) {
    SCOPED_TRACE(c.ini);
    expect_lines(load(kDos32 + c.ini + "\n"), c.lines);
  }
  // Without [DOS32] the section names are empty: every key is missing.
  expect_lines(load("[DIR]\nFATNAME=X.DB\nLOG=L.TXT\n[OPTION]\nDOMAIN_EXT=.X\n"),
               "sec_dir    =\nsec_option =\nsec_domain =\nfat_filename =\nfat_directory=.\\\n"
               "out_directory=.\\\nhst_filename =.\\HISTORY.HTM\nlog_filename =.\\LOG.TXT\n"
               "flg_hst_file =0\nflg_hst_mode =0\nflg_hst_type =3\nflg_log_file =0\n"
               "flg_last_time=1980/00/00 00:00\ndomain_ext  =\ndomain_ip   =\ndomain_root =\n"
               "domain_sub  =\nflg_sub_dir =0\nflg_dom_dir =1\nflg_skip_www=15\n"
               "flg_dir_max =260\nflg_cap_dom =1");
  expect_lines(load("[DOS32]\nDIR=MYDIR\nOPTION=MYOPT\nDOMAIN=MYDOM\n[DIR]\nFATNAME=WRONG\n"
                    "[MYDIR]\nFATNAME=A:\\RIGHT.DB\n[MYOPT]\nSKIP_WWW=3\n[MYDOM]\nDOM00=a\n"
                    "DIR00=b\n"),
               "sec_dir    =MYDIR\nsec_option =MYOPT\nsec_domain =MYDOM\n"
               "fat_filename =A:\\RIGHT.DB\nflg_skip_www=3\nDOM00=a\nDIR00=b");
  EXPECT_STREQ(load(kDos32 + "[OPTION]\nCGI_NAME=CGI.HTM\n").cgi_name, "CGI.HTM");
  EXPECT_STREQ(load(kDos32 + "[OPTION]\nCGI_NAME=0\n").cgi_name, "");
}

TEST_F(SettingsFileTest, HostAliasTablePacksCompletePairs) {
  const Settings s = load(kDos32 +
                          "[DOMAIN]\nDOM00=.co.jp\nDIR00=JP\nDOM03=lonely\n"
                          "DOM05=.ac.jp\nDIR05=AC\nDOM07=\nDIR07=X\nDOM08=y\nDIR08=\n");
  const std::string text = dump(s);
  EXPECT_EQ(text.substr(text.find("<DOMAIN>\n")),
            "<DOMAIN>\nDOM00=.co.jp\nDIR00=JP\nDOM01=.ac.jp\nDIR01=AC\n");
  std::string ini = kDos32 + "[DOMAIN]\n";
  for (int i = 99; i >= 0; --i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    ini += "DOM" + n + "=d" + n + "\nDIR" + n + "=r" + n + "\n";
  }
  const Settings full = load(ini);
  ASSERT_EQ(full.domain_count, 100u);
  EXPECT_STREQ(full.domain_table[0].dom, "d00");
  EXPECT_STREQ(full.domain_table[99].dir, "r99");
}

TEST_F(SettingsFileTest, OutDirectory) {
  std::filesystem::create_directories("OUT/sub");
  const std::string here = program_form(root_);
  const struct {
    std::string value;
    std::string out;
    std::string cwd;  // native
  } cases[] = {
      {"D:\\OUT\\", "D:\\OUT\\", root_},  // a drive: no change of directory
      {"D:", "D:\\", root_},
      {"OUT/sub/", here + "\\OUT\\sub\\", root_ + "/OUT/sub"},
      {"NOSUCH", here + "\\", root_},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const Settings s = load(kDos32 + "[DIR]\nOUTDIR=" + c.value + "\n");
    EXPECT_EQ(s.out_directory, c.out);
    EXPECT_EQ(cwd(), c.cwd);
    std::filesystem::current_path(root_);
  }
}

TEST_F(SettingsFileTest, OutDirectoryWithAnOverlongFullPath) {
  std::string deep = root_;
  while (deep.size() < 300) deep += "/dddddddddddddddddddd";
  std::filesystem::create_directories(deep + "/x");
  std::filesystem::current_path(deep);
  const Settings s = load(kDos32 + "[DIR]\nOUTDIR=x\\\n");  // the settings file lies by path
  EXPECT_STREQ(s.out_directory, "x\\");
  EXPECT_EQ(cwd(), deep + "/x");
}

// Started by a bare name, the program finds its settings in the current directory; OUTDIR moves
// the current directory, but every later key and the write-back stay with that first file.
TEST_F(SettingsFileTest, OneSettingsFilePerRun) {
  const std::string ini = kDos32 + "[DIR]\nOUTDIR=OUT\nLOG=L.TXT\nLAST_TIME=1997/03/29 12:34\n";
  put("VOLARI.INI", ini);
  const std::string other = kDos32 + "[DIR]\nLOG=WRONG.TXT\n";
  put("OUT/VOLARI.INI", other);
  const Settings s = load("", "vold32");
  EXPECT_EQ(s.sec_profile, program_form(root_) + "\\VOLARI.INI");
  EXPECT_EQ(cwd(), root_ + "/OUT");
  EXPECT_STREQ(s.log_filename, "L.TXT");
  store_last_time(platform_, s, pack(21, 3, 29, 14, 5));
  EXPECT_EQ(get("VOLARI.INI"),
            crlf(kDos32 + "[DIR]\nOUTDIR=OUT\nLOG=L.TXT\nLAST_TIME=2001/03/29 14:05\n"));
  EXPECT_EQ(get("OUT/VOLARI.INI"), other);
  EXPECT_EQ(names("OUT"), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(SettingsFileTest, RelativeProgramDirectory) {
  put("bin/VOLARI.INI", kDos32 + "[DIR]\nOUTDIR=bin\nLOG=L.TXT\n");
  const Settings s = load("", "bin/vold32");
  // program_dir "bin\" (its one separator kept) and the separator appended anyway.
  EXPECT_EQ(s.sec_profile, program_form(root_) + "\\bin\\\\VOLARI.INI");
  EXPECT_STREQ(s.log_filename, "L.TXT");
  EXPECT_EQ(cwd(), root_ + "/bin");
}

TEST_F(SettingsFileTest, UnknownProgramDirectoryUsesNoSettingsFile) {
  put("VOLARI.INI", kDos32 + "[DIR]\nLOG=\n");
  const Settings s = load("", "/" + std::string(300, 'd') + "/vold32");
  EXPECT_EQ(dump(s), defaults_dump(""));
  store_last_time(platform_, s, pack(21, 3, 29, 14, 5));
  EXPECT_EQ(get("VOLARI.INI"), kDos32 + "[DIR]\nLOG=\n");
}

TEST_F(SettingsFileTest, StoreLastTime) {
  Settings s = load("");  // no file yet: it is made
  store_last_time(platform_, s, pack(17, 3, 29, 12, 34));
  EXPECT_EQ(get("bin/VOLARI.INI"), crlf("[DIR]\nLAST_TIME=1997/03/29 12:34\n"));

  s = load("[DOS32]\nDIR=MYDIR\n[MYDIR]\nLOG=\n");
  store_last_time(platform_, s, pack(21, 3, 29, 14, 5));
  EXPECT_EQ(get("bin/VOLARI.INI"),
            crlf("[DOS32]\nDIR=MYDIR\n[MYDIR]\nLOG=\nLAST_TIME=2001/03/29 14:05\n"));
}

// LAST_TIME text, its packed value, and that value written back (seconds are never stored).
TEST(LastTime, ParseAndFormat) {
  const struct {
    const char* text;
    PackedTime when;
    const char* shown;  // null: the text itself
  } cases[] = {
      {"1997/03/29 12:34", pack(17, 3, 29, 12, 34), nullptr},
      {"1980/00/00 00:00", 0, nullptr},
      {"2001/3/4 5:6", pack(21, 3, 4, 5, 6), "2001/03/04 05:06"},
      {"1997/03/29", pack(17, 3, 29, 0, 0), "1997/03/29 00:00"},
      {"1997", pack(17, 0, 0, 0, 0), "1997/00/00 00:00"},
      {"", pack(0x7F & (0u - 1980u), 0, 0, 0, 0), "2048/00/00 00:00"},
      {"1979/12/31 23:59", pack(127, 12, 31, 23, 59), "2107/12/31 23:59"},
      {"1997/17/33 25:61", pack(17, 17 & 15, 33 & 31, 25 & 31, 61 & 63), "1997/01/01 25:61"},
      {"1997/03/29 12:34:56", pack(17, 3, 29, 12, 34), "1997/03/29 12:34"},
      {"1997-03-29 12:34", pack(17, 0, 0, 0, 0), "1997/00/00 00:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parse_last_time(c.text), c.when);
    char out[24];
    format_last_time(c.when | 31u, out);
    EXPECT_STREQ(out, c.shown ? c.shown : c.text);
  }
}

}  // namespace
}  // namespace volari::testing
