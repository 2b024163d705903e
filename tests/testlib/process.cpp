#include "testlib/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace volari::testing {

namespace {

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const std::string& cwd,
                             const std::vector<std::string>& env) {
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

long long now_ms() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

int decode_status(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                          const std::vector<std::string>& env, int timeout_s) {
  ProcessResult result;
  int out[2];
  if (pipe(out) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    exec_child(argv, cwd, env);
  }
  close(out[1]);
  const long long deadline = now_ms() + timeout_s * 1000LL;
  char buf[65536];
  for (;;) {
    struct pollfd p = {out[0], POLLIN, 0};
    int left = static_cast<int>(deadline - now_ms());
    if (left <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(&p, 1, left) <= 0) continue;
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = decode_status(status);
  return result;
}

PtyProcess::PtyProcess(const std::vector<std::string>& argv, const std::string& cwd,
                       const std::vector<std::string>& env) {
  pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
  if (pid_ == 0) exec_child(argv, cwd, env);
}

PtyProcess::~PtyProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

void PtyProcess::type(const std::string& bytes) {
  if (write(master_, bytes.data(), bytes.size()) < 0) return;
}

void PtyProcess::drain(int timeout_ms) {
  struct pollfd p = {master_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return;
  char buf[65536];
  ssize_t n = read(master_, buf, sizeof buf);
  if (n > 0) output_.append(buf, static_cast<size_t>(n));
}

bool PtyProcess::wait_for(const std::string& needle, int timeout_ms) {
  const long long deadline = now_ms() + timeout_ms;
  while (output_.find(needle) == std::string::npos) {
    int left = static_cast<int>(deadline - now_ms());
    if (left <= 0) return false;
    drain(left < 50 ? left : 50);
  }
  return true;
}

int PtyProcess::wait_exit(int timeout_ms) {
  const long long deadline = now_ms() + timeout_ms;
  for (;;) {
    drain(20);
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      drain(0);
      return decode_status(status);
    }
    if (now_ms() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
  }
}

}  // namespace volari::testing
