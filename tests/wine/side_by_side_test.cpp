// The Windows build under Wine gives the native program's results: the same scenarios as the
// transcripts of tests/golden/, run by both programs as processes, compared up to what each
// platform does its own way (and only that):
// - the Windows console writes every LF as CR LF on redirected standard output;
// - paths: Windows shows '\' and Wine's drive "Z:" for the Linux root ("Z:\tmp\..."), history
//   links "file:///Z|/tmp/..."; Linux shows '/';
// - what a run stamps with its own time (LAST_TIME, section headers, directories) carries each
//   run's own time; Wine refuses to set the clock, so dated directories get it too.
// Windows' own name rules (device names, trailing dots and blanks) are pinned by a transcript of
// their own, tests/golden/windows-names.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "testlib/golden.h"
#include "testlib/process.h"
#include "wine/wine_session.h"

namespace fs = std::filesystem;

namespace volari::testing {
namespace {

using Env = std::vector<std::string>;

// One run of the native program (windows false) or of the Windows one.
Runner runner(const Scenario& sc, bool windows) {
  return [&sc, windows](const TempDir& dir, const std::vector<std::string>& args) {
    const std::string exe = dir.file(windows ? "VOLD32.EXE" : "vold32");
    // A copy, not a link: the program finds its folder through the kernel, which follows links.
    if (!fs::exists(exe)) fs::copy_file(windows ? VOLARI_WIN64_EXE : VOLARI_VOLD32, exe);
    std::vector<std::string> argv = {sc.program.empty() ? exe : sc.program};
    argv.insert(argv.end(), args.begin(), args.end());
    if (windows) argv = wine_command(argv[0], args);
    const ProcessResult r =
        run_process(argv, dir.file(sc.cwd), windows ? wine_environment() : Env{}, 120);
    return RunResult{r.status,
                     windows ? std::regex_replace(r.out, std::regex("\r\n"), "\n") : r.out, ""};
  };
}

// A transcript with each platform's own ways undone.
std::string comparable(const Scenario& sc, bool windows) {
  std::string text = transcript(sc, runner(sc, windows));
  const std::pair<const char*, const char*> rules[] = {
      {"Z:<DIR>|/Z\\|<DIR>", "<DIR>"},
      {R"(\\(?![rx])|\\x5C)", "/"},  // a '\', but an escape of the transcript
      {R"((## [^\n]*) \d+ (now|\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\n)", "$1 $2\n"},  // sizes
      {R"(LAST_TIME=\d{4}/\d\d/\d\d \d\d:\d\d)", "LAST_TIME=(now)"},
      {R"((変換時刻   )\d\d/\d\d/\d\d( \d\d:\d\d:\d\d)?)", "$1(now)"},
      {R"((## [^\n]*/) (now|[-0-9: ]+)\n)", "$1 (time)\n"},
  };
  for (const auto& [pattern, replacement] : rules) {
    text = std::regex_replace(text, std::regex(pattern), replacement);
  }
  return text;
}

class SideBySide : public ::testing::TestWithParam<std::string> {};

TEST_P(SideBySide, SameResults) {
  ASSERT_EQ(wine_problem(), "");
  const Scenario& sc = golden_scenario(GetParam());
  const std::string mine = comparable(sc, false), theirs = comparable(sc, true);
  if (mine != theirs) ADD_FAILURE() << "Linux and Windows (want)" << first_difference(mine, theirs);
}

INSTANTIATE_TEST_SUITE_P(Wine, SideBySide,
                         ::testing::Values("examples", "examples-test-levels", "history-mode",
                                           "usage", "missing-index", "settings-files",
                                           "japanese-names", "mixed-debug3"),
                         [](const auto& info) {
                           return std::regex_replace(info.param, std::regex("-"), "_");
                         });

// Names Windows will not have: devices (with any extension, in any folder) and trailing dots and
// blanks, which Windows strips.
TEST(SideBySideWindows, WindowsNames) {
  ASSERT_EQ(wine_problem(), "");
  Scenario sc{"windows-names",
              "http://aa.bb/con.html - text=<title>c</title>\n"
              "http://aa.bb/nul.gif - gen=10\nhttp://aa.bb/aux - text=a\n"
              "http://aa.bb/com1/index.html - text=<title>i</title>\n"
              "http://aa.bb/console.html - text=fine\nhttp://aa.bb/a.html. - text=1\n"
              "http://aa.bb/x.html%20 - text=2\nhttp://aa.bb/dir./index.html - text=3\n",
              "",
              "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=cache/FAT.DB\nLOG=LOG.TXT\nHISTORY=HISTORY.HTM\n"};
  check_transcript(sc.name, comparable(sc, true));
}

}  // namespace
}  // namespace volari::testing
