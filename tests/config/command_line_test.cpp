// The command line, the numbers of the settings and the LAST_TIME text.
#include <climits>

#include "config/args.h"
#include "config/config_fixture.h"
#include "config/settings_file.h"
#include "support/sjis.h"

namespace volari::testing {
namespace {

using CommandLine = ConfigTest;

TEST(Numbers, ReadNumberAndLastTime) {
  const std::pair<const char*, int> numbers[] = {{"  7x", 7},
                                                 {"-3", -3},
                                                 {"+4", 4},
                                                 {"x", 0},
                                                 {"- 5", 0},
                                                 {"\t\n\v\f\r 9", 9},
                                                 {"99999999999", INT_MAX},
                                                 {"-99999999999", INT_MIN}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(read_number(text), value) << text;
  // LAST_TIME text, its year field, and the text it is written back as (seconds never stored).
  const std::tuple<const char*, unsigned, const char*> times[] = {
      {"1997/03/29 12:34", 17, "1997/03/29 12:34"},  {"1980/00/00 00:00", 0, "1980/00/00 00:00"},
      {"2001/3/4 5:6", 21, "2001/03/04 05:06"},      {"1997", 17, "1997/00/00 00:00"},
      {"", 0x7F & (0u - 1980u), "2048/00/00 00:00"}, {"1979/12/31 23:59", 127, "2107/12/31 23:59"},
      {"1997/17/33 25:61", 17, "1997/01/01 25:61"},  {"1997-03-29 12:34", 17, "1997/00/00 00:00"},
  };
  for (const auto& [text, year, shown] : times) {
    const PackedTime when = parse_last_time(text);
    EXPECT_EQ(when >> 25, year) << text;
    EXPECT_EQ(when & 31, 0u) << text;
    EXPECT_EQ(long_date_time(when | 31u), shown) << text;
  }
}

// Everything the scanner delivers for `args` (after argv[0]); an option shown with '-' first.
std::vector<std::string> scan(Platform& platform, std::vector<std::string> args) {
  args.insert(args.begin(), "vold32");
  Argv argv(args);
  ArgScanner scanner;
  arg_start(scanner, argv.argc(), argv.argv());
  std::vector<std::string> out;
  char buf[kArgBuffer];
  for (ArgKind k; out.size() < 50 && (k = arg_next(scanner, platform, buf)) != ArgKind::end;) {
    out.push_back((k == ArgKind::option ? "-" : "") + std::string(buf));
  }
  EXPECT_EQ(arg_next(scanner, platform, buf), ArgKind::end);
  return out;
}

TEST_F(CommandLine, ScannerTakesOptionsPatternsAndCutsLongArguments) {
  // Matches in name order, hidden files too but no directory beginning with '.'. An over-long
  // pattern is never cut (cut, it would match other names): it matches nothing.
  for (const char* f : {"b.txt", "a.txt", "c.dat", ".hidden.txt", "sub/e.txt"}) put(f, "x");
  std::filesystem::create_directory("d.txt");
  std::filesystem::create_directory(".dir.txt");
  EXPECT_EQ(scan(platform_, {"-t2", "/K", "*.txt", "?.dat", "*.none", "sub/*.txt",
                             std::string(270, '*') + ".none", "-?x", "-", "last"}),
            (std::vector<std::string>{"-t2", "-K", ".hidden.txt", "a.txt", "b.txt", "d.txt",
                                      "c.dat", "sub\\\\e.txt", "-?x", "-", "last"}));
  // Long arguments are cut to 259 bytes on a character boundary.
  const std::string a300(300, 'a'), a257(257, 'a'), lone = std::string(10, 'a') + "\x82";
  EXPECT_EQ(
      scan(platform_, {a300, "-" + a300, a257 + "b\x82\xa0tail", lone}),
      (std::vector<std::string>{a300.substr(0, 259), "-" + a300.substr(0, 259), a257 + "b", lone}));
}

TEST_F(CommandLine, OptionsChangeTheSettings) {
  put("zz.example.com", "");
  // The fields an option may change, shown when they differ from the defaults.
  const auto changes = [](const Settings& s) {
    const Settings d;
    std::string out;
    const auto num = [&](const char* n, int v, int dv) {
      if (v != dv) out += std::string(n) + "=" + std::to_string(v) + " ";
    };
    num("debug", s.flg_debug, d.flg_debug);
    num("test", s.flg_test, d.flg_test);
    num("history", s.flg_history_db, d.flg_history_db);
    num("hst_file", s.flg_hst_file, d.flg_hst_file);
    num("hst_mode", s.flg_hst_mode, d.flg_hst_mode);
    num("intel", s.intel_cpu, d.intel_cpu);
    num("wait", s.flg_wait_key, d.flg_wait_key);
    num("result", s.flg_result, d.flg_result);
    num("verbose", s.flg_verbose, d.flg_verbose);
    num("dom_only", s.flg_dom_only, d.flg_dom_only);
    for (const auto& [n, v, dv] : {std::tuple{"fat", s.fat_filename, d.fat_filename},
                                   {"log", s.log_filename, d.log_filename},
                                   {"hst", s.hst_filename, d.hst_filename},
                                   {"host", s.domain_only, d.domain_only}}) {
      if (std::string(v) != dv) out += std::string(n) + "=" + v + " ";
    }
    return out;
  };
  const std::string h = "history=1 hst_mode=9 fat=", files = " log=HISTORY.TXT hst=HISTORY.HTM ";
  const struct {
    std::vector<std::string> args;
    std::string changes;
    Request request = Request::run;
  } cases[] = {
      {{}, ""},
      {{"-i", "-k", "-r", "-v"}, "intel=0 wait=1 result=0 verbose=0 "},
      {{"/I", "-ifoo"}, "intel=0 "},
      {{"-!", "-t"}, "debug=1 test=1 "},
      {{"/!3", "-T2"}, "debug=3 test=2 "},
      {{"-!x", "-tx"}, ""},
      {{"-", "/", "-z", "-&"}, "", Request::unusable},  // each shown by an error line
      {{"--version", "-i"}, "intel=0 ", Request::version},
      {{"--version", "-z", "--help"}, "", Request::usage},
      {{"-h"}, h + "NETSCAPE.HST" + files},
      {{"-H/home/u/.nets/history.db"}, h + "\\home\\u\\.nets\\history.db" + files},
      {{"A.COM", "-i", "WWW.Example.COM"}, "intel=0 dom_only=1 host=www.example.com "},
      {{"*.example.com"}, "dom_only=1 host=zz.example.com "},
      {{"\x83\x41X"}, "dom_only=1 host=\x83\x61x "},  // byte by byte, second bytes too
      {{"-?x", "-v"}, "verbose=0 ", Request::usage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
    Settings s;
    std::vector<std::string> all{"vold32"};
    all.insert(all.end(), c.args.begin(), c.args.end());
    Argv args(all);
    platform_.console.clear();
    EXPECT_EQ(parse_command_line(platform_, s, args.argc(), args.argv()), c.request);
    EXPECT_EQ(changes(s), c.changes);
    EXPECT_EQ(platform_.console.find("option unknown") != std::string::npos,
              c.args.size() > 1 && (c.args[1] == "/" || c.args[1] == "-z"));
  }
}

}  // namespace
}  // namespace volari::testing
