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
#include <fstream>
#include <regex>
#include <sstream>

#include "testlib/golden.h"
#include "testlib/process.h"
#include "wine/wine_session.h"

namespace fs = std::filesystem;

namespace volari::testing {
namespace {

RunResult native(const Scenario& sc, const TempDir& dir, const std::vector<std::string>& args) {
  // A copy, not a link: the program finds its folder through the kernel, which follows links.
  if (!fs::exists(dir.file("vold32"))) fs::copy_file(VOLARI_VOLD32, dir.file("vold32"));
  std::vector<std::string> argv = {sc.program.empty() ? dir.file("vold32") : sc.program};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult r = run_process(argv, dir.file(sc.cwd), {"TZ=" + std::string(kTimeZone)});
  return {r.status, r.out, ""};
}

RunResult windows(const Scenario& sc, const TempDir& dir, const std::vector<std::string>& args) {
  if (!fs::exists(dir.file("VOLD32.EXE"))) fs::copy_file(VOLARI_WIN64_EXE, dir.file("VOLD32.EXE"));
  const std::string program = sc.program.empty() ? dir.file("VOLD32.EXE") : sc.program;
  const ProcessResult r = run_process(wine_command(program, args), dir.file(sc.cwd),
                                      wine_environment(wine_status().prefix), 120);
  return {r.status, std::regex_replace(r.out, std::regex("\r\n"), "\n"), ""};
}

// A transcript with each platform's own ways undone.
std::string comparable(std::string text) {
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

class SideBySide : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    setenv("TZ", kTimeZone, 1);
    ASSERT_TRUE(wine_status().ok) << "The Windows build cannot run under Wine: "
                                  << wine_status().message;
  }
};

TEST_P(SideBySide, SameResults) {
  const Scenario& sc = golden_scenario(GetParam());
  const std::string mine = comparable(
      transcript(sc, [&](const TempDir& d, const auto& args) { return native(sc, d, args); }));
  const std::string theirs = comparable(
      transcript(sc, [&](const TempDir& d, const auto& args) { return windows(sc, d, args); }));
  if (mine == theirs) return;
  std::istringstream a(mine), b(theirs);
  std::string la, lb;
  int line = 1;
  while (std::getline(a, la) && std::getline(b, lb) && la == lb) ++line;
  ADD_FAILURE() << "line " << line << "\n  Linux:   " << la << "\n  Windows: " << lb;
}

INSTANTIATE_TEST_SUITE_P(Wine, SideBySide,
                         ::testing::Values("examples", "examples-test-levels", "history-mode",
                                           "usage", "missing-index", "settings-files",
                                           "japanese-names", "mixed-debug3"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

// Names Windows will not have: devices (with any extension, in any folder) and trailing dots and
// blanks, which Windows strips.
TEST(SideBySideWindows, WindowsNames) {
  setenv("TZ", kTimeZone, 1);
  ASSERT_TRUE(wine_status().ok) << wine_status().message;
  Scenario sc{"windows-names",
              "http://aa.bb/con.html - text=<title>c</title>\n"
              "http://aa.bb/nul.gif - gen=10\nhttp://aa.bb/aux - text=a\n"
              "http://aa.bb/com1/index.html - text=<title>i</title>\n"
              "http://aa.bb/console.html - text=fine\nhttp://aa.bb/a.html. - text=1\n"
              "http://aa.bb/x.html%20 - text=2\nhttp://aa.bb/dir./index.html - text=3\n",
              "",
              "[DOS32]\nDIR=DIR\n[DIR]\nFATNAME=cache/FAT.DB\nLOG=LOG.TXT\nHISTORY=HISTORY.HTM\n"};
  const std::string got = comparable(
      transcript(sc, [&](const TempDir& d, const auto& args) { return windows(sc, d, args); }));
  const std::string path = std::string(VOLARI_SOURCE_DIR) + "/tests/golden/windows-names.txt";
  if (const char* update = std::getenv("VOLARI_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path, std::ios::binary) << got;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(got, std::string(std::istreambuf_iterator<char>(in), {}));
}

}  // namespace
}  // namespace volari::testing
