#include "config/args.h"

#include <climits>
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
  } cases[] = {{"  7x", 7},
               {"-3", -3},
               {"+4", 4},
               {"x", 0},
               {"- 5", 0},
               {"\t\n\v\f\r 9", 9},
               {"99999999999", INT_MAX},
               {"-99999999999", INT_MIN}};
  for (const auto& c : cases) EXPECT_EQ(read_number(c.text), c.value) << '"' << c.text << '"';
}

TEST_F(ArgsTest, StartAndEnd) {
  const struct {
    std::string argv0;
    const char* dir;  // "" when it does not fit: unknown
  } cases[] = {
      {"/usr/local/bin/vold32", "\\usr\\local\\bin"},
      {"vold32", "."},
      {"bin/vold32", "bin\\"},  // the only separator stays
      {"/" + std::string(300, 'd') + "/vold32", ""},
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
  Settings s;
  ArgScanner scanner;
  char buf[kArgBuffer] = "kept";
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);  // not started
  EXPECT_EQ(arg_start(scanner, s, 0, nullptr), -1);
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
  Argv args{"vold32", "x"};
  ASSERT_EQ(arg_start(scanner, s, args.argc(), args.argv()), 0);
  EXPECT_EQ(arg_next(scanner, platform_, buf), 0);
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
  EXPECT_STREQ(buf, "x");
  EXPECT_EQ(scanner.cursor, 0);
  EXPECT_EQ(arg_next(scanner, platform_, buf), -1);
}

// Everything the scanner delivers for `args` (after argv[0]); an option shown with '-' first.
std::vector<std::string> scan(Platform& platform, std::vector<std::string> args) {
  args.insert(args.begin(), "vold32");
  Argv argv(args);
  Settings s;
  ArgScanner scanner;
  arg_start(scanner, s, argv.argc(), argv.argv());
  std::vector<std::string> out;
  char buf[kArgBuffer];
  for (int kind; out.size() < 50 && (kind = arg_next(scanner, platform, buf)) != -1;) {
    out.push_back((kind == 1 ? "-" : "") + std::string(buf));
  }
  return out;
}

TEST_F(ArgsTest, Scanner) {
  EXPECT_EQ(scan(platform_, {"-t2", "/K", "Host", "-", "-?"}),
            (std::vector<std::string>{"-t2", "-K", "Host", "-", "-?"}));
  // Matches in name order, hidden files too but no directory beginning with '.'; a match is the
  // pattern's directory part (sub and its one separator), a separator, the name. An over-long
  // pattern is never cut (cut, it would match other names): it matches nothing.
  for (const char* f : {"b.txt", "a.txt", "c.dat", ".hidden.txt", "sub/e.txt"}) put(f, "x");
  std::filesystem::create_directory("d.txt");
  std::filesystem::create_directory(".dir.txt");
  EXPECT_EQ(scan(platform_, {"*.txt", "?.dat", "*.none", "sub/*.txt",
                             std::string(270, '*') + ".none", "-?x", "last"}),
            (std::vector<std::string>{".hidden.txt", "a.txt", "b.txt", "d.txt", "c.dat",
                                      "sub\\\\e.txt", "-?x", "last"}));
  // Long arguments are cut to 259 bytes on a character boundary: 0x82 0xA0 straddles byte 259;
  // a lone lead byte at the very end belongs to no character.
  const std::string a300(300, 'a');
  const std::string a257(257, 'a');
  const std::string lone = std::string(10, 'a') + "\x82";
  EXPECT_EQ(
      scan(platform_, {a300, "-" + a300, a257 + "b\x82\xa0tail", lone}),
      (std::vector<std::string>{a300.substr(0, 259), "-" + a300.substr(0, 259), a257 + "b", lone}));
}

// The fields the command line may touch that differ from the defaults.
std::string changes(const Settings& s) {
  const Settings d;
  std::string out;
  auto num = [&](const char* name, int v, int dv) {
    if (v != dv) out += std::string(name) + "=" + std::to_string(v) + " ";
  };
  auto text = [&](const char* name, const char* v, const char* dv) {
    if (std::string(v) != dv) out += std::string(name) + "=" + v + " ";
  };
  num("debug", s.flg_debug, d.flg_debug);
  num("test", s.flg_test, d.flg_test);
  num("history_db", s.flg_history_db, d.flg_history_db);
  num("hst_file", s.flg_hst_file, d.flg_hst_file);
  num("hst_mode", s.flg_hst_mode, d.flg_hst_mode);
  num("intel", s.intel_cpu, d.intel_cpu);
  num("wait_key", s.flg_wait_key, d.flg_wait_key);
  num("result", s.flg_result, d.flg_result);
  num("verbose", s.flg_verbose, d.flg_verbose);
  num("dom_only", s.flg_dom_only, d.flg_dom_only);
  num("log_file", s.flg_log_file, d.flg_log_file);
  text("fat", s.fat_filename, d.fat_filename);
  text("fat_dir", s.fat_directory, d.fat_directory);
  text("log", s.log_filename, d.log_filename);
  text("hst", s.hst_filename, d.hst_filename);
  text("host", s.domain_only, d.domain_only);
  return out;
}

TEST_F(ArgsTest, CommandLine) {
  put("zz.example.com", "");
  put("aa.example.com", "");
  const std::string history = "history_db=1 hst_mode=9 fat=";
  const std::string history_files = " log=HISTORY.TXT hst=HISTORY.HTM ";
  // A row with a console text asks for the usage text (shown after the parse).
  const struct {
    std::vector<std::string> args;
    std::string changes;
    std::string console = "";
  } cases[] = {
      {{}, ""},
      {{"-i", "-k", "-r", "-v"}, "intel=0 wait_key=1 result=0 verbose=0 "},
      {{"/I"}, "intel=0 "},
      {{"-ifoo"}, "intel=0 "},
      {{"-!", "-t"}, "debug=1 test=1 "},
      {{"/!3", "-T2"}, "debug=3 test=2 "},
      {{"-!x", "-tx"}, ""},
      {{"-", "/", "-z", "-Z9", "-x?", "-&"}, ""},
      {{"-h"}, history + "NETSCAPE.HST" + history_files},
      {{"-hD:\\NS\\NETSCAPE.HST"}, history + "D:\\NS\\NETSCAPE.HST" + history_files},
      {{"-H/home/u/.nets/history.db"}, history + "\\home\\u\\.nets\\history.db" + history_files},
      {{"WWW.Example.COM"}, "dom_only=1 host=www.example.com "},
      {{"A.COM", "-i", "b.com"}, "intel=0 dom_only=1 host=b.com "},
      {{"*.example.com"}, "dom_only=1 host=zz.example.com "},
      // Byte by byte: the second byte of a double-byte character is lowered too.
      {{"\x83\x41X"}, "dom_only=1 host=\x83\x61x "},
      {{"-?x"}, "", kUsage},
      {{"-??"}, "", std::string(kDebugUsage) + kUsage},  // shown during the parse
      {{"/?", "-v"}, "verbose=0 ", kUsage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
    platform_.console.clear();
    Settings s;
    std::vector<std::string> all{"vold32"};
    all.insert(all.end(), c.args.begin(), c.args.end());
    Argv args(all);
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), c.console.empty());
    EXPECT_EQ(changes(s), c.changes);
    if (!c.console.empty()) show_usage(platform_);
    EXPECT_EQ(platform_.console, c.console);
  }
  EXPECT_STREQ(kZelArgBanner, "ZEL_ARG 1.49");
}

}  // namespace
}  // namespace volari::testing
