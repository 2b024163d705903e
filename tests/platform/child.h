// Helpers of the platform tests: program-form paths, and child processes whose standard
// streams are arranged (pseudo-terminal, pipe, /dev/null) before they build their own platform.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace volari::platform_test {

// `native` in program form ('\' as separator), with `name` (which may hold '\') after it.
inline std::string prog(const std::string& native, const std::string& name = "") {
  std::string p = native;
  path_from_native(p.data());
  return name.empty() ? p : p + "\\" + name;
}

// What a child wrote to its report pipe, and how it ended.
struct ChildRun {
  std::string report;
  bool finished = false;  // ended by itself within the time limit
  int exit_code = -1;
};

inline void report_int(int fd, int value) {
  ssize_t ignored = ::write(fd, &value, sizeof value);
  (void)ignored;
}

inline std::vector<int> report_ints(const std::string& report) {
  std::vector<int> out(report.size() / sizeof(int));
  if (!out.empty()) std::memcpy(out.data(), report.data(), out.size() * sizeof(int));
  return out;
}

inline long elapsed_ms(std::chrono::steady_clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - since)
                               .count());
}

// Forks. The child runs `body` with the write end of a report pipe and ends with _exit(0); it
// arranges its own standard streams and builds its own platform. The parent meanwhile runs
// `parent` (if given), then collects the report for at most `limit_ms` and kills the child when
// it has not ended by then.
inline ChildRun run_child(const std::function<void(int report)>& body,
                          const std::function<void()>& parent = {}, int limit_ms = 10000) {
  ChildRun run;
  int fds[2];
  if (::pipe(fds) != 0) return run;
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return run;
  }
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGHUP, SIG_IGN);
    body(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  if (parent) parent();
  const auto start = std::chrono::steady_clock::now();
  bool timed_out = false;
  for (;;) {
    const long left = limit_ms - elapsed_ms(start);
    if (left <= 0) {
      timed_out = true;
      break;
    }
    struct pollfd p = {fds[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[256];
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    run.report.append(buf, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (timed_out) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.finished = !timed_out && WIFEXITED(status);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A pseudo-terminal pair, closed at the end.
struct Pty {
  int master = -1;
  int slave = -1;
  Pty() {
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) master = slave = -1;
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  bool ok() const { return master >= 0 && slave >= 0; }
  void type(const std::string& bytes) const {
    ssize_t ignored = ::write(master, bytes.data(), bytes.size());
    (void)ignored;
  }
  // In a child: makes the slave its standard input (and controlling terminal, the child leading
  // the terminal's foreground group when `own` is set).
  void become_stdin(bool own) const {
    ::close(master);
    if (own) {
      ::setsid();
      ::ioctl(slave, TIOCSCTTY, 0);
    }
    ::dup2(slave, STDIN_FILENO);
  }
  // Reads what the terminal's programs wrote until `n` bytes came or `limit_ms` passed.
  std::string output(size_t n, int limit_ms = 3000) const {
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    while (out.size() < n && elapsed_ms(start) < limit_ms) {
      struct pollfd p = {master, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buf[256];
      const ssize_t r = ::read(master, buf, sizeof buf);
      if (r <= 0) break;
      out.append(buf, static_cast<size_t>(r));
    }
    return out;
  }
};

}  // namespace volari::platform_test
