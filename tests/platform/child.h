// Helpers of the platform tests: a scratch directory, and child processes whose standard
// streams are arranged (pseudo-terminal or pipe) before they build their own platform.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "testlib/temp_dir.h"

namespace volari::platform_test {

// A scratch directory for a test of the real platform.
class PlatformDirTest : public ::testing::Test {
 protected:
  // Program-form path of `name` (which may hold '\') in the directory.
  std::string at(const std::string& name) const {
    return path_from_native(dir.path()) + "\\" + name;
  }
  Platform& p = system_platform();
  testing::TempDir dir;
};

// What a child wrote to its report pipe, and whether it ended by itself within the time limit.
struct ChildRun {
  std::string report;
  bool finished = false;
};

// In a child: reports `value` as text followed by a blank.
inline void report(int fd, int value) {
  const std::string text = std::to_string(value) + " ";
  ssize_t ignored = ::write(fd, text.data(), text.size());
  (void)ignored;
}

// Reads `fd` until its end (`*ended` set), `n` bytes or `limit_ms`, whichever comes first.
inline std::string read_for(int fd, int limit_ms, size_t n = SIZE_MAX, bool* ended = nullptr) {
  std::string out;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (out.size() < n && std::chrono::steady_clock::now() < end) {
    struct pollfd p = {fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[256];
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r <= 0) {
      if (ended) *ended = true;
      break;
    }
    out.append(buf, static_cast<size_t>(r));
  }
  return out;
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
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGHUP, SIG_IGN);
    body(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return run;
  }
  if (parent) parent();
  bool ended = false;
  run.report = read_for(fds[0], limit_ms, SIZE_MAX, &ended);
  ::close(fds[0]);
  if (!ended) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.finished = ended && WIFEXITED(status);
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
};

}  // namespace volari::platform_test
