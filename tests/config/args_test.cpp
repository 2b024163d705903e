#include "config/args.h"

#include <climits>
#include <cstring>
#include <string>

#include "config/config_fixture.h"
#include "support/sjis.h"

namespace volari::testing {
namespace {

using ArgsTest = ConfigTest;

const char kUsage[] =
    "\nVOLD32 - VOLARI  version 1.08"
    "\n\n    using : VOLD32 [options...] [url]\n\t-i    : not Intel data\n\t-v    : verbose not "
    "display\n\t-r    : result not display\n\t-k    : wait key press\n\t-?    : display help "
    "message\n\n";
const char kDebugUsage[] =
    "\nVOLD32 - VOLARI  version 1.08"
    "\n\n    using : VOLD32 [options...]\n\t-!    : debug1 mode  disp copy\n\t-!2   : debug2 mode  "
    "disp copy+conv+all\n\t-!3   : debug3 mode  disp copy+conv+all+detail\n\t-t    : test1  mode "
    " proc read+conv\n\t-t2   : test2  mode  proc read+conv+copy\n\t-t3   : test3  mode  proc "
    "read+conv+copy(cgi skip)\n\t-t4   : test4  mode  proc read+conv+copy(dir skip)\n\n";

TEST(ReadNumber, Table) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"12", 12},
      {"  7x", 7},
      {"-3", -3},
      {"+4", 4},
      {"x", 0},
      {"", 0},
      {"\t\n\v\f\r 9", 9},
      {"- 5", 0},
      {"0012", 12},
      {"1 2", 1},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"2147483647", INT_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(read_number(c.text), c.value) << '"' << c.text << '"';
}

TEST_F(ArgsTest, ProgramDirectory) {
  const struct {
    const char* argv0;
    const char* dir;
  } cases[] = {
      {"/usr/local/bin/vold32", "\\usr\\local\\bin"},
      {"vold32", "."},
      {"bin/vold32", "bin\\"},  // the only separator stays
      {"./vold32", ".\\"},
      {"/vold32", "\\"},
      {"C:\\VOLARI\\VOLD32.EXE", "C:\\VOLARI"},
      {"C:\\VOLD32.EXE", "C:\\"},
      {"C:VOLD32.EXE", "C:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argv0);
    Settings s;
    copy_text(s.program_dir, "junk");
    ArgScanner scanner;
    Argv args{c.argv0};
    EXPECT_EQ(arg_start(scanner, s, args.argc(), args.argv()), -1);
    EXPECT_STREQ(s.program_dir, c.dir);
    EXPECT_EQ(scanner.cursor, 1);
  }
}

TEST_F(ArgsTest, ProgramDirectoryTooLongIsUnknown) {
  Settings s;
  ArgScanner scanner;
  Argv args{"/" + std::string(300, 'd') + "/vold32", "-i"};
  EXPECT_EQ(arg_start(scanner, s, args.argc(), args.argv()), 0);
  EXPECT_STREQ(s.program_dir, "");
}

TEST_F(ArgsTest, NoArgumentVector) {
  Settings s;
  ArgScanner scanner;
  EXPECT_EQ(arg_start(scanner, s, 0, nullptr), -1);
  EXPECT_STREQ(s.program_dir, ".");
  char buf[kArgBuffer] = "kept";
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
  EXPECT_STREQ(buf, "kept");
}

TEST_F(ArgsTest, ScannerSequence) {
  Settings s;
  ArgScanner scanner;
  char buf[kArgBuffer] = "kept";
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);  // not started
  Argv args{"vold32", "-t2", "/K", "Host", "-", "-?"};
  ASSERT_EQ(arg_start(scanner, s, args.argc(), args.argv()), 0);
  const struct {
    int kind;
    const char* text;
  } expected[] = {{1, "t2"}, {1, "K"}, {0, "Host"}, {1, ""}, {1, "?"}};
  for (const auto& e : expected) {
    EXPECT_EQ(arg_next(scanner, platform_, buf), e.kind);
    EXPECT_STREQ(buf, e.text);
  }
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
  EXPECT_STREQ(buf, "?");
  EXPECT_EQ(scanner.cursor, 0);
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
}

TEST_F(ArgsTest, PatternsExpandInPlace) {
  for (const char* f : {"b.txt", "a.txt", "c.dat", ".hidden.txt"}) put(f, "x");
  std::filesystem::create_directory("d.txt");
  std::filesystem::create_directory(".dir.txt");
  std::filesystem::create_directory("sub");
  put("sub/e.txt", "x");
  Settings s;
  ArgScanner scanner;
  Argv args{"vold32", "*.txt", "?.dat", "*.none", "sub/*.txt", "-?x", "last"};
  ASSERT_EQ(arg_start(scanner, s, args.argc(), args.argv()), 0);
  const struct {
    int kind;
    const char* text;
  } expected[] = {{0, ".hidden.txt"}, {0, "a.txt"},        {0, "b.txt"}, {0, "d.txt"},
                  {0, "c.dat"},       {0, "sub\\\\e.txt"}, {1, "?x"},    {0, "last"}};
  // A match is the pattern's directory part (sub and its one separator), a separator, the name.
  char buf[kArgBuffer];
  for (const auto& e : expected) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(arg_next(scanner, platform_, buf), e.kind);
    EXPECT_STREQ(buf, e.text);
  }
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
}

TEST_F(ArgsTest, PatternExpandedByTheParser) {
  put("zz.example.com", "");
  put("aa.example.com", "");
  Settings s;
  Argv args{"vold32", "*.example.com"};
  EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 1);
  EXPECT_EQ(s.flg_dom_only, 1);
  EXPECT_STREQ(s.domain_only, "zz.example.com");
}

TEST_F(ArgsTest, LongArgumentsAreCutOnCharacters) {
  const std::string a300(300, 'a');
  const std::string a257(257, 'a');
  // 0x82 0xA0 is one double-byte character straddling byte 259.
  const std::string straddling = a257 + "b\x82\xa0" + "tail";
  // A lone lead byte at the very end belongs to no character.
  const std::string lone = std::string(10, 'a') + "\x82";
  Settings s;
  ArgScanner scanner;
  Argv args{"vold32", a300, "-" + a300, straddling, lone};
  ASSERT_EQ(arg_start(scanner, s, args.argc(), args.argv()), 0);
  char buf[kArgBuffer];
  EXPECT_EQ(arg_next(scanner, platform_, buf), 0);
  EXPECT_EQ(std::string(buf), std::string(259, 'a'));
  EXPECT_EQ(arg_next(scanner, platform_, buf), 1);
  EXPECT_EQ(std::string(buf), std::string(259, 'a'));
  EXPECT_EQ(arg_next(scanner, platform_, buf), 0);
  EXPECT_EQ(std::string(buf), a257 + "b");
  EXPECT_EQ(arg_next(scanner, platform_, buf), 0);
  EXPECT_EQ(std::string(buf), lone);
}

TEST_F(ArgsTest, OverlongPatternMatchesNothing) {
  put("a.txt", "");
  Settings s;
  ArgScanner scanner;
  Argv args{"vold32", std::string(270, '?'), "next"};
  ASSERT_EQ(arg_start(scanner, s, args.argc(), args.argv()), 0);
  char buf[kArgBuffer];
  EXPECT_EQ(arg_next(scanner, platform_, buf), 0);
  EXPECT_STREQ(buf, "next");
}

// One option at a time: the integer field it sets.
struct IntCase {
  const char* arg;
  int Settings::*field;
  int value;
};

const IntCase kIntCases[] = {
    {"-i", &Settings::intel_cpu, 0},      {"-I", &Settings::intel_cpu, 0},
    {"/i", &Settings::intel_cpu, 0},      {"-k", &Settings::flg_wait_key, 1},
    {"-K", &Settings::flg_wait_key, 1},   {"/k", &Settings::flg_wait_key, 1},
    {"-r", &Settings::flg_result, 0},     {"-R", &Settings::flg_result, 0},
    {"-v", &Settings::flg_verbose, 0},    {"-V", &Settings::flg_verbose, 0},
    {"-t", &Settings::flg_test, 1},       {"-T", &Settings::flg_test, 1},
    {"-t2", &Settings::flg_test, 2},      {"-T2", &Settings::flg_test, 2},
    {"-t4", &Settings::flg_test, 4},      {"-tx", &Settings::flg_test, 0},
    {"-!", &Settings::flg_debug, 1},      {"-!2", &Settings::flg_debug, 2},
    {"-!3", &Settings::flg_debug, 3},     {"-!x", &Settings::flg_debug, 0},
    {"/!3", &Settings::flg_debug, 3},     {"-ifoo", &Settings::intel_cpu, 0},
    {"-h", &Settings::flg_history_db, 1}, {"-H", &Settings::flg_hst_mode, 9},
};

// Every field the command line may touch, as text, to see what an argument changed.
std::string fields(const Settings& s) {
  std::string out;
  for (int v : {s.flg_debug, s.flg_test, s.flg_history_db, s.flg_hst_file, s.flg_hst_mode,
                s.intel_cpu, s.flg_wait_key, s.flg_result, s.flg_verbose, s.flg_dom_only,
                s.flg_log_file, s.flg_hst_type}) {
    out += std::to_string(v) + ",";
  }
  for (const char* t : {s.fat_filename, s.fat_directory, s.log_filename, s.hst_filename,
                        s.domain_only, s.program_dir}) {
    out += std::string(t) + ",";
  }
  return out;
}

TEST_F(ArgsTest, OptionTable) {
  for (const IntCase& c : kIntCases) {
    SCOPED_TRACE(c.arg);
    Settings s;
    Argv args{"vold32", c.arg};
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 1);
    EXPECT_EQ(s.*c.field, c.value);
    EXPECT_EQ(platform_.console, "");
  }
}

TEST_F(ArgsTest, IgnoredArguments) {
  for (const char* arg : {"-", "/", "-z", "-Z9", "-x?", "-1", "-&"}) {
    SCOPED_TRACE(arg);
    Settings s;
    const std::string before = fields(s);
    Argv args{"vold32", arg};
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 1);
    EXPECT_EQ(fields(s), before);
  }
}

TEST_F(ArgsTest, NoArgumentsRun) {
  Settings s;
  const std::string before = fields(s);
  Argv args{"vold32"};
  EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 1);
  EXPECT_EQ(fields(s), before);
  EXPECT_EQ(platform_.console, "");
}

TEST_F(ArgsTest, HistoryMode) {
  const struct {
    const char* arg;
    const char* fat;
  } cases[] = {
      {"-h", "NETSCAPE.HST"},
      {"-hD:\\NS\\NETSCAPE.HST", "D:\\NS\\NETSCAPE.HST"},
      {"-H/home/u/.netscape/history.db", "\\home\\u\\.netscape\\history.db"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    Settings s;
    Argv args{"vold32", c.arg};
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 1);
    EXPECT_EQ(s.flg_history_db, 1);
    EXPECT_STREQ(s.fat_filename, c.fat);
    EXPECT_STREQ(s.log_filename, "HISTORY.TXT");
    EXPECT_STREQ(s.hst_filename, "HISTORY.HTM");
    EXPECT_EQ(s.flg_hst_file, 1);
    EXPECT_EQ(s.flg_hst_mode, 9);
    EXPECT_STREQ(s.fat_directory, ".\\");
    EXPECT_EQ(s.flg_log_file, 1);
    EXPECT_EQ(s.flg_hst_type, 3);
  }
}

TEST_F(ArgsTest, TargetHost) {
  const struct {
    std::vector<std::string> args;
    const char* host;
  } cases[] = {
      {{"vold32", "WWW.Example.COM"}, "www.example.com"},
      {{"vold32", "first.com", "SECOND.COM"}, "second.com"},
      {{"vold32", "A.COM", "-i", "b.com"}, "b.com"},
      // Byte by byte: the second byte of a double-byte character is lowered too.
      {{"vold32", "\x83\x41X"}, "\x83\x61x"},
  };
  for (const auto& c : cases) {
    Settings s;
    Argv args(c.args);
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 1);
    EXPECT_EQ(s.flg_dom_only, 1);
    EXPECT_STREQ(s.domain_only, c.host);
  }
}

TEST_F(ArgsTest, HelpOptions) {
  const struct {
    std::vector<std::string> args;
    std::string console;  // after the parse and the usage text that follows it
    int verbose;
  } cases[] = {
      {{"vold32", "-?"}, kUsage, 1},
      {{"vold32", "/?"}, kUsage, 1},
      {{"vold32", "-?x"}, kUsage, 1},
      {{"vold32", "-??"}, std::string(kDebugUsage) + kUsage, 1},
      {{"vold32", "-?", "-v"}, kUsage, 0},
      {{"vold32", "-??", "-??"}, std::string(kDebugUsage) + kDebugUsage + kUsage, 1},
  };
  for (const auto& c : cases) {
    platform_.console.clear();
    Settings s;
    Argv args(c.args);
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 0);
    show_usage(platform_);
    EXPECT_EQ(platform_.console, c.console);
    EXPECT_EQ(s.flg_verbose, c.verbose);
  }
}

TEST_F(ArgsTest, DebugUsageDuringTheScan) {
  Settings s;
  Argv args{"vold32", "-??"};
  EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), 0);
  EXPECT_EQ(platform_.console, kDebugUsage);
}

TEST(ArgsBanner, Text) {
  EXPECT_STREQ(kZelArgBanner, "ZEL_ARG 1.49");
}

}  // namespace
}  // namespace volari::testing
