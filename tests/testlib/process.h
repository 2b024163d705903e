// Running programs from a test: with pipes, or on a pseudo-terminal.
#pragma once

#include <string>
#include <vector>

namespace volari::testing {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when it did not exit normally or timed out
  std::string out;  // standard output, bytes
  std::string err;  // standard error, bytes
};

// Runs `argv` (argv[0] a path) in `cwd` with standard input from /dev/null, this process's
// environment less DISPLAY and WAYLAND_DISPLAY, and `env` ("NAME=value", replacing). Returns once
// the process has exited, with what it wrote by then: a daemon that inherited the pipes does not
// hold the call up. Killed after `timeout_s` seconds.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                          const std::vector<std::string>& env = {}, int timeout_s = 60);

// A program on a pseudo-terminal (its standard input and output are the terminal).
class PtyProcess {
 public:
  PtyProcess(const std::vector<std::string>& argv, const std::string& cwd,
             const std::vector<std::string>& env = {});
  ~PtyProcess();
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;
  // Sends bytes as if typed.
  void type(const std::string& bytes);
  // Reads output until `needle` has appeared (true) or `timeout_ms` passed (false).
  bool wait_for(const std::string& needle, int timeout_ms);
  // Waits for the exit (killing it after `timeout_ms`); returns the exit status or -1.
  int wait_exit(int timeout_ms);
  const std::string& output() const { return output_; }

 private:
  int master_ = -1;
  int pid_ = -1;
  std::string output_;
};

}  // namespace volari::testing
