#include "testlib/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace volari::testing {

namespace {

long long now_ms() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

int decode_status(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const std::string& cwd,
                             const std::vector<std::string>& env) {
  std::vector<std::string> all;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = name == "DISPLAY=" || name == "WAYLAND_DISPLAY=";
    for (const std::string& mine : env) replaced = replaced || mine.rfind(name, 0) == 0;
    if (!replaced) all.push_back(entry);
  }
  all.insert(all.end(), env.begin(), env.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : all) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  execve(args[0], args.data(), envp.data());
  _exit(127);
}

// Appends what `fd` has, waiting at most `ms` for it; the number of bytes read.
size_t drain_fd(int fd, std::string& into, int ms) {
  struct pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return 0;
  char buf[65536];
  const ssize_t n = read(fd, buf, sizeof buf);
  if (n <= 0) return 0;
  into.append(buf, static_cast<size_t>(n));
  return static_cast<size_t>(n);
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                          const std::vector<std::string>& env, int timeout_s) {
  ProcessResult result;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDONLY);
    if (null < 0 || dup2(null, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(126);
    exec_child(argv, cwd, env);
  }
  close(out[1]);
  close(err[1]);
  const long long deadline = now_ms() + timeout_s * 1000LL;
  int status = 0;
  bool exited = false;
  while (!exited) {
    drain_fd(out[0], result.out, 5);
    drain_fd(err[0], result.err, 0);
    exited = waitpid(pid, &status, WNOHANG) == pid;
    if (!exited && now_ms() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      status = -1;
      exited = true;
    }
  }
  // What it wrote before it exited; a daemon holding the pipes is not waited for.
  while (drain_fd(out[0], result.out, 0) + drain_fd(err[0], result.err, 0) > 0) {
  }
  close(out[0]);
  close(err[0]);
  result.status = status == -1 ? -1 : decode_status(status);
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

bool PtyProcess::wait_for(const std::string& needle, int timeout_ms) {
  const long long deadline = now_ms() + timeout_ms;
  while (output_.find(needle) == std::string::npos) {
    const long long left = deadline - now_ms();
    if (left <= 0) return false;
    drain_fd(master_, output_, left < 50 ? static_cast<int>(left) : 50);
  }
  return true;
}

int PtyProcess::wait_exit(int timeout_ms) {
  const long long deadline = now_ms() + timeout_ms;
  for (;;) {
    drain_fd(master_, output_, 20);
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      drain_fd(master_, output_, 0);
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
