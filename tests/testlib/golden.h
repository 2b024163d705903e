// Whole-program runs in-process, each compared with its transcript in tests/golden/NAME.txt: the
// exit status and console bytes of every run, then every file the runs left (names, sizes, times,
// and the bytes of every text file). VOLARI_UPDATE_GOLDEN=1 rewrites the transcripts instead;
// read their diff before committing.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "testlib/temp_dir.h"

namespace volari::testing {

struct Scenario {
  std::string name;
  // The cache: "examples" (the sample cache, as tools/make-examples.sh makes it), a manifest
  // for mkcache, or "" for none. It lies in cache/, the program beside VOLARI.INI.
  std::string cache;
  std::string mkcache_args;
  // VOLARI.INI beside the program; "" for none. "examples" is the demo's, reading cache/ and
  // converting into out/.
  std::string settings;
  // The arguments of each run, one run per list.
  std::vector<std::vector<std::string>> runs = {{}};
  std::string cwd;         // where the runs start, relative to the scratch directory
  int escape_at_poll = 0;  // a key press of Escape at the n-th poll of each run
  // Anything else to lay out in the scratch directory before the runs.
  std::function<void(const TempDir&)> prepare;
  // When not empty, VOLARI.INI holds inis[i] for run i ("" for none).
  std::vector<std::string> inis;
  std::string program;  // argv[0] as given; "": the program beside VOLARI.INI
  // Anything to look at in the scratch directory after the runs.
  std::function<void(const TempDir&)> inspect;
};

// Its name, for the test's own name and messages.
inline void PrintTo(const Scenario& scenario, std::ostream* os) {
  *os << scenario.name;
}

// Runs the scenario in a scratch directory and compares (or rewrites) its transcript.
void check_golden(const Scenario& scenario);

// Compares `got` with tests/golden/NAME.txt (or rewrites that, as check_golden does).
void check_transcript(const std::string& name, const std::string& got);

// Where two transcripts part: the line number and both lines.
std::string first_difference(const std::string& got, const std::string& want);

// What one run of the program gave.
struct RunResult {
  int status = -1;
  std::string console;  // its bytes
  std::string notes;    // anything else the transcript should show after them
};

// Makes one run of a scenario in its scratch directory, with these arguments.
using Runner = std::function<RunResult(const TempDir& dir, const std::vector<std::string>& args)>;

// The transcript of a scenario: in-process on a fake platform, or with `runner`.
std::string transcript(const Scenario& scenario, const Runner& runner = {});

// The scenarios of tests/golden/, by name.
const std::vector<Scenario>& golden_scenarios();
const Scenario& golden_scenario(const std::string& name);

}  // namespace volari::testing
