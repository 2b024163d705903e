#include "config/settings_file.h"

#include <string>
#include <vector>

#include "config/config_fixture.h"
#include "support/sjis.h"

namespace volari::testing {
namespace {

// Packs a LAST_TIME by the bit layout: year field, month, day, hour, minute.
constexpr PackedTime pack(uint32_t year_field, uint32_t month, uint32_t day, uint32_t hour,
                          uint32_t minute) {
  return (year_field << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5);
}

// The program lies in <root>/bin; its settings file next to it.
class SettingsFileTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    std::filesystem::create_directory("bin");
    program_ = root_ + "/bin/vold32";
    profile_ = program_form(root_) + "\\bin\\VOLARI.INI";
  }

  Settings load(const std::string& ini, const std::string& argv0 = "") {
    if (!ini.empty()) put(root_ + "/bin/VOLARI.INI", ini);
    Settings s;
    Argv args{argv0.empty() ? program_ : argv0};
    load_settings(platform_, s, args.argc(), args.argv());
    return s;
  }

  static std::string dump(const Settings& settings) {
    FakePlatform console;
    Messages messages(console);
    Settings s = settings;
    s.flg_debug = 1;
    dump_settings(s, messages);
    return console.console;
  }

  // Every expected line appears as a whole line of the dump.
  static void expect_lines(const Settings& s, const std::vector<std::string>& lines) {
    const std::string text = "\n" + dump(s);
    for (const std::string& line : lines) {
      EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << "\nin:" << text;
    }
  }

  std::string program_;
  std::string profile_;
};

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

TEST_F(SettingsFileTest, NoFileKeepsEveryDefault) {
  put("VOLARI.INI", "[DOS32]\r\nDIR=ELSEWHERE\r\n");  // the current directory is not looked at
  Settings s;
  s.domain_count = 5;
  Argv args{program_};
  load_settings(platform_, s, args.argc(), args.argv());
  EXPECT_EQ(s.domain_count, 0u);
  EXPECT_STREQ(s.program_dir, program_form(root_ + "/bin").c_str());
  EXPECT_EQ(dump(s), defaults_dump(profile_));
  EXPECT_STREQ(s.cgi_name, "");
}

TEST_F(SettingsFileTest, DumpNeedsDebug) {
  Settings s;
  FakePlatform console;
  Messages messages(console);
  dump_settings(s, messages);
  EXPECT_EQ(console.console, "");
  s.flg_debug = 3;
  dump_settings(s, messages);
  EXPECT_EQ(console.console, defaults_dump(".\\VOLARI.INI"));
}

struct LoadCase {
  const char* name;
  std::string ini;
  std::vector<std::string> lines;
};

const std::string kDos32 = "[DOS32]\r\nDIR=DIR\r\nOPTION=OPTION\r\nDOMAIN=DOMAIN\r\n";

const LoadCase kLoadCases[] = {
    {"no DOS32 section",
     "[DIR]\r\nFATNAME=X.DB\r\nLOG=L.TXT\r\n[OPTION]\r\nDOMAIN_EXT=.X\r\n",
     {"sec_dir    =", "sec_option =", "sec_domain =", "fat_filename =", "fat_directory=.\\",
      "hst_filename =.\\HISTORY.HTM", "log_filename =.\\LOG.TXT", "flg_hst_file =0",
      "flg_hst_mode =0", "flg_hst_type =3", "flg_log_file =0", "domain_ext  =", "domain_ip   =",
      "domain_root =", "domain_sub  =", "flg_sub_dir =0", "flg_skip_www=15", "flg_dir_max =260"}},
    {"section with an empty name",
     "[]\r\nFATNAME=E:\\NS\\FAT.DB\r\n",
     {"sec_dir    =", "fat_filename =E:\\NS\\FAT.DB", "fat_directory=E:\\NS\\"}},
    {"every key absent",
     kDos32,
     {"sec_dir    =DIR", "fat_filename =", "fat_directory=.\\", "out_directory=.\\",
      "hst_filename =.\\HISTORY.HTM", "flg_hst_file =0", "flg_hst_mode =0", "flg_log_file =0",
      "flg_last_time=1980/00/00 00:00", "domain_ext  =", "domain_ip   =", "domain_root =",
      "flg_sub_dir =0", "flg_dom_dir =1", "flg_cap_dom =1"}},
    {"section indirection",
     "[DOS32]\r\nDIR=MYDIR\r\nOPTION=MYOPT\r\nDOMAIN=MYDOM\r\n[DIR]\r\nFATNAME=WRONG\r\n"
     "[MYDIR]\r\nFATNAME=A:\\RIGHT.DB\r\n[MYOPT]\r\nSKIP_WWW=3\r\n[MYDOM]\r\nDOM00=a\r\nDIR00="
     "b\r\n",
     {"sec_dir    =MYDIR", "sec_option =MYOPT", "sec_domain =MYDOM", "fat_filename =A:\\RIGHT.DB",
      "flg_skip_www=3", "DOM00=a", "DIR00=b"}},
    {"FATNAME with directories",
     kDos32 + "[DIR]\r\nFATNAME=E:\\NS\\CACHE\\FAT.DB\r\n",
     {"fat_filename =E:\\NS\\CACHE\\FAT.DB", "fat_directory=E:\\NS\\CACHE\\"}},
    {"FATNAME bare",
     kDos32 + "[DIR]\r\nFATNAME=FAT.DB\r\n",
     {"fat_filename =FAT.DB", "fat_directory=.\\"}},
    {"FATNAME in a drive root", kDos32 + "[DIR]\r\nFATNAME=E:\\FAT.DB\r\n", {"fat_directory=E:\\"}},
    {"FATNAME native",
     kDos32 + "[DIR]\r\nFATNAME=/ns/cache/fat.db\r\n",
     {"fat_filename =\\ns\\cache\\fat.db", "fat_directory=\\ns\\cache\\"}},
    {"HISTORY directory",
     kDos32 + "[DIR]\r\nHISTORY=D:\\WEB\\\r\n",
     {"hst_filename =D:\\WEB\\HISTORY.HTM", "flg_hst_file =1", "flg_hst_mode =2"}},
    {"HISTORY empty", kDos32 + "[DIR]\r\nHISTORY=\r\n", {"hst_filename =", "flg_hst_file =1"}},
    {"HISTORY native", kDos32 + "[DIR]\r\nHISTORY=web/h.htm\r\n", {"hst_filename =web\\h.htm"}},
    {"HISTORYSET 0",
     kDos32 + "[DIR]\r\nHISTORY=H.HTM\r\nHISTORYSET=0\r\n",
     {"hst_filename =H.HTM", "flg_hst_file =0", "flg_hst_mode =0"}},
    {"HISTORYSET 9",
     kDos32 + "[DIR]\r\nHISTORY=H.HTM\r\nHISTORYSET=9\r\n",
     {"flg_hst_file =1", "flg_hst_mode =9"}},
    {"HISTORYSET without HISTORY",
     kDos32 + "[DIR]\r\nHISTORYSET=4\r\n",
     {"flg_hst_file =0", "flg_hst_mode =4"}},
    {"LOG empty", kDos32 + "[DIR]\r\nLOG=\r\n", {"log_filename =.\\LOG.TXT", "flg_log_file =0"}},
    {"LOG directory",
     kDos32 + "[DIR]\r\nLOG=D:\\LOGS\\\r\n",
     {"log_filename =D:\\LOGS\\LOG.TXT", "flg_log_file =1"}},
    {"LOG native",
     kDos32 + "[DIR]\r\nLOG=/var/log/v.txt\r\n",
     {"log_filename =\\var\\log\\v.txt", "flg_log_file =1"}},
    {"LAST_TIME",
     kDos32 + "[DIR]\r\nLAST_TIME=1997/03/29 12:34\r\n",
     {"flg_last_time=1997/03/29 12:34"}},
    {"LAST_TIME empty", kDos32 + "[DIR]\r\nLAST_TIME=\r\n", {"flg_last_time=1980/00/00 00:00"}},
    {"LAST_TIME without time",
     kDos32 + "[DIR]\r\nLAST_TIME=1997/03/29\r\n",
     {"flg_last_time=1997/03/29 00:00"}},
    {"numbers",
     kDos32 + "[DIR]\r\nHISTORYPUT=  7abc\r\nHISTORYDATE=x\r\nLAST_FROM=-2\r\n[OPTION]\r\n"
              "DOMAIN_FLG=1\r\nDOMAIN_DIR=3\r\nDIR_MAX=8\r\nDIR_TIME=1\r\nSKIP_WWW=\t5\r\n"
              "SKIP_URL=0\r\nCGI_FILE=2\r\nSHIFTJIS=0\r\nCAPITAL_FILE=0\r\nCAPITAL_DIR=0\r\n"
              "CAPITAL_DOMAIN=0\r\n",
     {"flg_hst_type =7", "flg_hst_date =0", "flg_last_from=-2", "flg_dom_flg =1", "flg_dom_dir =3",
      "flg_dir_max =8", "flg_dir_time=1", "flg_skip_www=5", "flg_skip_url=0", "flg_cgi_file=2",
      "flg_shiftjis=0", "flg_cap_file=0", "flg_cap_dir =0", "flg_cap_dom =0"}},
    {"text options",
     kDos32 + "[OPTION]\r\nDOMAIN_EXT=.D\r\nIP_ADDRESS=IP\r\nROOTHTML=ROOT.HTM\r\n"
              "DOMAIN_SUB=SUB\r\n",
     {"domain_ext  =.D", "domain_ip   =IP", "domain_root =ROOT.HTM", "domain_sub  =SUB",
      "flg_sub_dir =1"}},
    {"DOMAIN_EXT 0", kDos32 + "[OPTION]\r\nDOMAIN_EXT=0\r\n", {"domain_ext  ="}},
    {"DOMAIN_EXT 0 with more", kDos32 + "[OPTION]\r\nDOMAIN_EXT=0.X\r\n", {"domain_ext  ="}},
    {"DOMAIN_SUB 0", kDos32 + "[OPTION]\r\nDOMAIN_SUB=0\r\n", {"domain_sub  =", "flg_sub_dir =0"}},
    {"DOMAIN_SUB empty",
     kDos32 + "[OPTION]\r\nDOMAIN_SUB=\r\n",
     {"domain_sub  =", "flg_sub_dir =0"}},
    {"key names in another case or with blanks",
     kDos32 + "[DIR]\r\nfatname=X.DB\r\nHISTORY =H\r\n LOG=L\r\nOUTDIR =D:\\O\r\n"
              "LAST_TIME =1997/03/29 12:34\r\n[OPTION]\r\nSkip_WWW=1\r\nDIR_MAX = 8\r\n",
     {"fat_filename =", "fat_directory=.\\", "out_directory=.\\", "flg_hst_file =0",
      "flg_log_file =0", "flg_last_time=1980/00/00 00:00", "flg_skip_www=15", "flg_dir_max =260"}},
};

TEST_F(SettingsFileTest, LoadTable) {
  for (const LoadCase& c : kLoadCases) {
    SCOPED_TRACE(c.name);
    const Settings s = load(c.ini);
    EXPECT_STREQ(s.sec_profile, profile_.c_str());
    expect_lines(s, c.lines);
  }
}

TEST_F(SettingsFileTest, HostAliasTablePacksCompletePairs) {
  const Settings s = load(kDos32 +
                          "[DOMAIN]\r\nDOM00=.co.jp\r\nDIR00=JP\r\nDOM03=lonely\r\n"
                          "DOM05=.ac.jp\r\nDIR05=AC\r\nDOM07=\r\nDIR07=X\r\nDOM08=y\r\nDIR08=\r\n");
  ASSERT_EQ(s.domain_count, 2u);
  EXPECT_STREQ(s.domain_table[1].dom, ".ac.jp");
  EXPECT_STREQ(s.domain_table[1].dir, "AC");
  const std::string text = dump(s);
  EXPECT_EQ(text.substr(text.find("<DOMAIN>\n")),
            "<DOMAIN>\nDOM00=.co.jp\nDIR00=JP\nDOM01=.ac.jp\nDIR01=AC\n");
}

TEST_F(SettingsFileTest, HostAliasTableHoldsAHundred) {
  std::string ini = kDos32 + "[DOMAIN]\r\n";
  for (int i = 99; i >= 0; --i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    ini += "DOM" + n + "=d" + n + "\r\nDIR" + n + "=r" + n + "\r\n";
  }
  const Settings s = load(ini);
  ASSERT_EQ(s.domain_count, 100u);
  EXPECT_STREQ(s.domain_table[0].dom, "d00");
  EXPECT_STREQ(s.domain_table[99].dir, "r99");
}

TEST_F(SettingsFileTest, CgiName) {
  const struct {
    const char* ini;
    const char* cgi_name;
  } cases[] = {
      {"[OPTION]\r\nCGI_NAME=CGI.HTM\r\n", "CGI.HTM"},
      {"[OPTION]\r\nCGI_NAME=0\r\n", ""},
      {"[OPTION]\r\nCGI_NAME=\r\n", ""},
      {"[OPTION]\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    EXPECT_STREQ(load(kDos32 + c.ini).cgi_name, c.cgi_name);
  }
}

TEST_F(SettingsFileTest, OutDirectory) {
  std::filesystem::create_directories("OUT/sub");
  const std::string here = program_form(root_);
  const struct {
    const char* value;
    std::string out;
    std::string cwd;  // native
  } cases[] = {
      {"D:\\OUT\\", "D:\\OUT\\", root_},
      {"D:\\OUT", "D:\\OUT\\", root_},
      {"D:", "D:\\", root_},
      {"OUT", here + "\\OUT\\", root_ + "/OUT"},
      {"OUT\\", here + "\\OUT\\", root_ + "/OUT"},
      {"OUT/sub/", here + "\\OUT\\sub\\", root_ + "/OUT/sub"},
      {"NOSUCH", here + "\\", root_},
      {"", here + "\\", root_},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const Settings s = load(kDos32 + "[DIR]\r\nOUTDIR=" + c.value + "\r\n");
    EXPECT_STREQ(s.out_directory, c.out.c_str());
    EXPECT_EQ(cwd(), c.cwd);
    std::filesystem::current_path(root_);
  }
  const std::string abs = root_ + "/OUT";
  const Settings s = load(kDos32 + "[DIR]\r\nOUTDIR=" + abs + "\r\n");
  EXPECT_EQ(std::string(s.out_directory), program_form(abs) + "\\");
  EXPECT_EQ(cwd(), abs);
}

TEST_F(SettingsFileTest, OutDirectoryWithAnOverlongFullPath) {
  std::string deep = root_;
  while (deep.size() < 300) deep += "/dddddddddddddddddddd";
  std::filesystem::create_directories(deep + "/x");
  std::filesystem::current_path(deep);
  const Settings s = load(kDos32 + "[DIR]\r\nOUTDIR=x\\\r\n");  // the settings file lies by path
  EXPECT_STREQ(s.out_directory, "x\\");
  EXPECT_EQ(cwd(), deep + "/x");
}

// Started by a bare name, the program finds its settings in the current directory; OUTDIR moves
// the current directory, but every later key and the write-back stay with that first file.
TEST_F(SettingsFileTest, OneSettingsFilePerRun) {
  std::filesystem::create_directory("OUT");
  const std::string ini = kDos32 +
                          "[DIR]\r\nOUTDIR=OUT\r\nHISTORY=H.HTM\r\nLOG=L.TXT\r\n"
                          "LAST_TIME=1997/03/29 12:34\r\n[OPTION]\r\nSKIP_WWW=3\r\n";
  put("VOLARI.INI", ini);
  const std::string other = kDos32 + "[DIR]\r\nHISTORY=WRONG.HTM\r\n";
  put("OUT/VOLARI.INI", other);
  Settings s;
  Argv args{"vold32"};
  load_settings(platform_, s, args.argc(), args.argv());
  EXPECT_STREQ(s.program_dir, ".");
  EXPECT_EQ(std::string(s.sec_profile), program_form(root_) + "\\VOLARI.INI");
  EXPECT_EQ(cwd(), root_ + "/OUT");
  expect_lines(s, {"hst_filename =H.HTM", "log_filename =L.TXT", "flg_log_file =1",
                   "flg_last_time=1997/03/29 12:34", "flg_skip_www=3"});
  store_last_time(platform_, s, pack(21, 3, 29, 14, 5));
  EXPECT_EQ(get(root_ + "/VOLARI.INI"),
            kDos32 +
                "[DIR]\r\nOUTDIR=OUT\r\nHISTORY=H.HTM\r\nLOG=L.TXT\r\n"
                "LAST_TIME=2001/03/29 14:05\r\n[OPTION]\r\nSKIP_WWW=3\r\n");
  EXPECT_EQ(get("VOLARI.INI"), other);
  EXPECT_EQ(names("."), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(SettingsFileTest, RelativeProgramDirectory) {
  put("bin/VOLARI.INI", kDos32 + "[DIR]\r\nOUTDIR=bin\r\nLOG=L.TXT\r\n");
  Settings s;
  Argv args{"bin/vold32"};
  load_settings(platform_, s, args.argc(), args.argv());
  // program_dir "bin\" (its one separator kept) and the separator appended anyway.
  EXPECT_EQ(std::string(s.sec_profile), program_form(root_) + "\\bin\\\\VOLARI.INI");
  EXPECT_STREQ(s.log_filename, "L.TXT");
  EXPECT_EQ(cwd(), root_ + "/bin");
}

TEST_F(SettingsFileTest, UnknownProgramDirectoryUsesNoSettingsFile) {
  put("VOLARI.INI", kDos32 + "[DIR]\r\nLOG=\r\n");
  const std::string before = get("VOLARI.INI");
  const std::string argv0 = "/" + std::string(300, 'd') + "/vold32";
  const Settings s = load("", argv0);
  EXPECT_STREQ(s.sec_profile, "");
  EXPECT_EQ(dump(s), defaults_dump(""));
  store_last_time(platform_, s, pack(21, 3, 29, 14, 5));
  EXPECT_EQ(get("VOLARI.INI"), before);
  EXPECT_EQ(names("."), (std::vector<std::string>{"VOLARI.INI", "bin"}));
}

TEST_F(SettingsFileTest, StoreLastTime) {
  put("bin/VOLARI.INI", "[DOS32]\r\nDIR=MYDIR\r\n[MYDIR]\r\nLOG=\r\n");
  Settings s = load("");
  store_last_time(platform_, s, pack(21, 3, 29, 14, 5) | 3u);  // seconds are not stored
  EXPECT_EQ(get("bin/VOLARI.INI"),
            "[DOS32]\r\nDIR=MYDIR\r\n[MYDIR]\r\nLOG=\r\nLAST_TIME=2001/03/29 14:05\r\n");
  EXPECT_EQ(load("").flg_last_time, pack(21, 3, 29, 14, 5));
  EXPECT_EQ(names("bin"), std::vector<std::string>{"VOLARI.INI"});
}

TEST_F(SettingsFileTest, StoreLastTimeCreatesTheFile) {
  Settings s = load("");
  store_last_time(platform_, s, pack(17, 3, 29, 12, 34));
  EXPECT_EQ(get("bin/VOLARI.INI"), "[DIR]\r\nLAST_TIME=1997/03/29 12:34\r\n");
}

TEST(LastTime, Format) {
  const struct {
    PackedTime when;
    const char* text;
  } cases[] = {
      {pack(21, 3, 29, 14, 5), "2001/03/29 14:05"},
      {0, "1980/00/00 00:00"},
      {pack(127, 12, 31, 23, 59), "2107/12/31 23:59"},
      {pack(17, 3, 29, 12, 34) | 31u, "1997/03/29 12:34"},
  };
  for (const auto& c : cases) {
    char out[24];
    format_last_time(c.when, out);
    EXPECT_STREQ(out, c.text);
  }
}

TEST(LastTime, Parse) {
  const struct {
    const char* text;
    PackedTime when;
  } cases[] = {
      {"1997/03/29 12:34", pack(17, 3, 29, 12, 34)},
      {"2001/3/4 5:6", pack(21, 3, 4, 5, 6)},
      {"1997/03/29", pack(17, 3, 29, 0, 0)},
      {"1997/03", pack(17, 3, 0, 0, 0)},
      {"1997", pack(17, 0, 0, 0, 0)},
      {"1980/00/00 00:00", 0},
      {"", pack(0x7F & (0u - 1980u), 0, 0, 0, 0)},
      {"1979/01/01 00:00", pack(127, 1, 1, 0, 0)},
      {"2108/01/01 00:00", pack(0, 1, 1, 0, 0)},
      {"1997/17/33 25:61", pack(17, 17 & 15, 33 & 31, 25 & 31, 61 & 63)},
      {"1997/03/29 12:34:56", pack(17, 3, 29, 12, 34)},
      {"1997-03-29 12:34", pack(17, 0, 0, 0, 0)},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_last_time(c.text), c.when) << c.text;
}

}  // namespace
}  // namespace volari::testing
