// Running the built program from a test: with pipes, or on a pseudo-terminal.
#pragma once

#include <string>
#include <vector>

namespace volari::testing {

struct ProcessResult {
  int status = -1;     // exit status, or -1 when it did not exit normally
  std::string output;  // standard output and standard error, as bytes
};

// Runs `argv` in `cwd` with standard input from /dev/null (or the given bytes) and `env` added
// to the environment ("NAME=value"); waits for it; kills it after `timeout_s` seconds.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                          const std::vector<std::string>& env = {}, int timeout_s = 60);

// A program on a pseudo-terminal (its standard input and output are the terminal).
class PtyProcess {
 public:
  PtyProcess(const std::vector<std::string>& argv, const std::string& cwd,
             const std::vector<std::string>& env = {});
  ~PtyProcess();
  // Sends bytes as if typed.
  void type(const std::string& bytes);
  // Reads output until `needle` has appeared (true) or `timeout_ms` passed (false).
  bool wait_for(const std::string& needle, int timeout_ms);
  // Waits for the exit (killing it after `timeout_ms`); returns the exit status or -1.
  int wait_exit(int timeout_ms);
  const std::string& output() const { return output_; }

 private:
  void drain(int timeout_ms);
  int master_ = -1;
  int pid_ = -1;
  std::string output_;
};

}  // namespace volari::testing
