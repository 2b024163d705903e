// What the whole-program transcripts do not reach in the settings file and the command line: long
// and odd lines, refused and failed writes, patterns, cut arguments, clamped numbers.
#include <algorithm>
#include <climits>
#include <cstring>

#include "config/args.h"
#include "config/profile.h"
#include "config/settings_file.h"
#include "support/sjis.h"
#include "support/temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

class Config : public TempTree {
 protected:
  // Names in a directory, sorted.
  static std::vector<std::string> names(const std::string& rel = ".") {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(rel))
      out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }
  FakePlatform platform_;
};

TEST_F(Config, ProfileGetReadsWholeLines) {
  const std::string k77(77, 'a'), k300(300, 'b');
  const struct {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::string value;  // "-": not found
  } cases[] = {
      {"last line without line end", "[DIR]\nA=whole value", "DIR", "A", "whole value"},
      {"first = splits", "[DIR]\nKEY=a=b\n", "DIR", "KEY", "a=b"},
      {"only the first section", "[DIR]\nA=1\n[DIR]\nKEY=2\n", "DIR", "KEY", "-"},
      {"search ends at [", "[DIR]\n[junk\nKEY=1\n", "DIR", "KEY", "-"},
      {"name ends at the first ]", "[DI]R] ; x\nKEY=v\n", "DI", "KEY", "v"},
      {"[ without ]", "[DIR\nKEY=v\n", "DIR", "KEY", "-"},
      {"long value read whole", "[DIR]\nK=" + k77 + "tail\n", "DIR", "K", k77 + "tail"},
      {"no key inside a long line", "[DIR]\nK=" + k77 + "X=yes\n", "DIR", "X", "-"},
      {"no header inside a long line", "[DIR]\nK=" + k77 + "[B]\nX=1\n", "DIR", "X", "1"},
      {"value cut to its buffer", "[DIR]\nK=" + k300 + "\n", "DIR", "K",
       k300.substr(0, kProfileValue - 1)},
      {"after a line longer than any", "[DIR]\nA=" + std::string(2000, 'c') + "\nX=1\n", "DIR", "X",
       "1"},
      {"an editor's utf-8 mark", "\xEF\xBB\xBF[DIR]\nKEY=v\n", "DIR", "KEY", "v"},
  };
  for (const auto& c : cases) {
    put("VOLARI.INI", c.text);
    char out[kProfileValue];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(profile_get(platform_, "VOLARI.INI", c.section, c.key, out), c.value != "-");
    EXPECT_EQ(out, c.value == "-" ? "" : c.value) << c.name;
  }
}

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
    EXPECT_EQ(names(), std::vector<std::string>{"VOLARI.INI"});
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
  EXPECT_EQ(names("real"), std::vector<std::string>{"VOLARI.INI"});
}

// Names or values that could not be read back, no file name, a file that is there but cannot be
// read: nothing is written.
TEST_F(Config, ProfilePutRefusesWhatItCannotStore) {
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
    EXPECT_EQ(names(), std::vector<std::string>{"VOLARI.INI"});
  }
}

// A failure at any step of the rewrite (a full disk, a folder without write permission) leaves
// the complete old text (or no file) and no temporary file, and says so; the next call, without
// the fault, succeeds. A temporary name that another run holds is passed over.
TEST_F(Config, ProfilePutFailuresLoseNothing) {
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
      EXPECT_EQ(names(), has_file || hits == 0 ? std::vector<std::string>{"VOLARI.INI"}
                                               : std::vector<std::string>{});
      if (has_file) {
        EXPECT_EQ(get("VOLARI.INI"), text(hits > 0 ? '1' : '2'));
      }
      platform_.fail = nullptr;
      put("~VL08B35.TMP", "another run's");
      EXPECT_TRUE(profile_put(platform_, "VOLARI.INI", "DIR", "K", "2"));
      EXPECT_EQ(get("VOLARI.INI"), has_file ? text('2') : "[DIR]\r\nK=2\r\n");
      std::filesystem::remove("~VL08B35.TMP");
    }
  }
}

// The argument vector of "vold32" and `args` (which it points into).
std::vector<char*> argv_of(std::vector<std::string>& args) {
  args.insert(args.begin(), "vold32");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Everything the scanner delivers for `args`; an option shown with '-' first.
std::vector<std::string> scan(Platform& platform, std::vector<std::string> args) {
  std::vector<char*> argv = argv_of(args);
  ArgScanner scanner;
  arg_start(scanner, static_cast<int>(args.size()), argv.data());
  std::vector<std::string> out;
  char buf[kArgBuffer];
  for (ArgKind k; out.size() < 50 && (k = arg_next(scanner, platform, buf)) != ArgKind::end;) {
    out.push_back((k == ArgKind::option ? "-" : "") + std::string(buf));
  }
  EXPECT_EQ(arg_next(scanner, platform, buf), ArgKind::end);
  return out;
}

// Matches in name order, hidden files too but no directory beginning with '.'. An over-long
// pattern is never cut (cut, it would match other names): it matches nothing. Long arguments are
// cut to 259 bytes on a character boundary. A pattern may name the target host, which is
// lower-cased byte by byte (second bytes too); options still count beside --version.
TEST_F(Config, CommandLinePatternsAndLongArguments) {
  for (const char* f : {"b.txt", "a.txt", "c.dat", ".hidden.txt", "sub/e.txt"}) put(f, "x");
  std::filesystem::create_directory("d.txt");
  std::filesystem::create_directory(".dir.txt");
  EXPECT_EQ(scan(platform_, {"-t2", "/K", "*.txt", "?.dat", "*.none", "sub/*.txt",
                             std::string(270, '*') + ".none", "-?x", "-", "last"}),
            (std::vector<std::string>{"-t2", "-K", ".hidden.txt", "a.txt", "b.txt", "d.txt",
                                      "c.dat", "sub\\\\e.txt", "-?x", "-", "last"}));
  const std::string a300(300, 'a'), a257(257, 'a'), lone = std::string(10, 'a') + "\x82";
  EXPECT_EQ(
      scan(platform_, {a300, "-" + a300, a257 + "b\x82\xa0tail", lone}),
      (std::vector<std::string>{a300.substr(0, 259), "-" + a300.substr(0, 259), a257 + "b", lone}));
  for (const auto& [arg, host] : {std::pair{"C.DA?", "c.dat"}, {"\x83\x41X", "\x83\x61x"}}) {
    Settings s;
    std::vector<std::string> args{"-i", "-!", arg, "--version"};
    std::vector<char*> argv = argv_of(args);
    EXPECT_EQ(parse_command_line(platform_, s, 5, argv.data()), Request::version);
    EXPECT_EQ(s.domain_only, std::string(host));
    EXPECT_EQ(s.intel_cpu + s.flg_debug * 10, 10);
  }
}

TEST(Numbers, ReadNumberAndLastTime) {
  const std::pair<const char*, int> numbers[] = {
      {"+4", 4},
      {"- 5", 0},
      {"\t\n\v\f\r 9", 9},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(read_number(text), value) << text;
  // LAST_TIME text, its year field, and the text it is written back as (seconds never stored).
  const std::tuple<const char*, unsigned, const char*> times[] = {
      {"1997", 17, "1997/00/00 00:00"},
      {"1979/12/31 23:59", 127, "2107/12/31 23:59"},
      {"1997/17/33 25:61", 17, "1997/01/01 25:61"},
      {"1997-03-29 12:34", 17, "1997/00/00 00:00"},
  };
  for (const auto& [text, year, shown] : times) {
    const PackedTime when = parse_last_time(text);
    EXPECT_EQ(when >> 25, year) << text;
    EXPECT_EQ(when & 31, 0u) << text;
    EXPECT_EQ(long_date_time(when | 31u), shown) << text;
  }
}

}  // namespace
}  // namespace volari::testing
