#include "wine/wine_session.h"

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace volari::testing {

namespace {

constexpr char kWine[] = "/usr/lib/wine/wine64";
constexpr char kWineServer[] = "/usr/lib/wine/wineserver64";
constexpr char kSetpriv[] = "/usr/bin/setpriv";
constexpr char kSetupHint[] = "run `tools/setup.sh wine` as root (make test does)";
constexpr int kCapSetpcap = 8;
constexpr int kSessionSeconds = 30;  // the server outlives its last program by this much

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> child_environment(const std::vector<std::string>& env) {
  std::vector<std::string> out;
  auto replaced = [&](const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (name == "DISPLAY=" || name == "WAYLAND_DISPLAY=") return true;
    for (const std::string& e : env) {
      if (e.compare(0, name.size(), name) == 0) return true;
    }
    return false;
  };
  for (char** e = environ; *e; ++e) {
    if (!replaced(*e)) out.emplace_back(*e);
  }
  out.insert(out.end(), env.begin(), env.end());
  return out;
}

// Forks `argv` with standard input from /dev/null and standard output and error on `out_fd` and
// `err_fd`; no other descriptor of this process goes with it.
pid_t spawn(const std::vector<std::string>& argv, const std::string& cwd,
            const std::vector<std::string>& env, int out_fd, int err_fd) {
  std::vector<std::string> full_env = child_environment(env);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : full_env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int null = open("/dev/null", O_RDONLY);
  if (null < 0 || dup2(null, 0) < 0 || dup2(out_fd, 1) < 0 || dup2(err_fd, 2) < 0) _exit(126);
  closefrom(3);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  execve(args[0], args.data(), envp.data());
  _exit(127);
}

int decode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits for `pid`, killing it after `timeout_s`; -1 when it did not exit normally in time.
int wait_for(pid_t pid, int timeout_s) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return decode(status);
    if (r < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Runs `argv` with its standard output and error appended to `log`.
int run_logged(const std::vector<std::string>& argv, const std::string& cwd,
               const std::vector<std::string>& env, const std::string& log, int timeout_s) {
  const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  const pid_t pid = spawn(argv, cwd, env, fd, fd);
  close(fd);
  return pid < 0 ? -1 : wait_for(pid, timeout_s);
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string tail(const std::string& text, size_t n = 2000) {
  return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

bool may_drop_bounding_caps() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, 7, "CapEff:") == 0) {
      const unsigned long long caps = std::strtoull(line.c_str() + 7, nullptr, 16);
      return (caps >> kCapSetpcap) & 1;
    }
  }
  return false;
}

std::string program_dir() {
  return fs::read_symlink("/proc/self/exe").parent_path().string();
}

// Holds an exclusive lock on a file for its lifetime; waits at most `timeout_s` for it.
class FileLock {
 public:
  FileLock(const std::string& path, int timeout_s) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    while (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        close(fd_);
        fd_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

WineStatus make_status() {
  WineStatus st;
  auto fail = [&](const std::string& why) {
    st.message = why;
    return st;
  };
  if (access(kWine, X_OK) != 0 || access(kWineServer, X_OK) != 0) {
    return fail(std::string("Wine is not installed (no ") + kWine + " or " + kWineServer + "); " +
                kSetupHint);
  }
  if (access(kSetpriv, X_OK) != 0) return fail(std::string("no ") + kSetpriv + "; " + kSetupHint);
  if (access(VOLARI_WIN64_EXE, R_OK) != 0) {
    return fail(std::string("no Windows build at ") + VOLARI_WIN64_EXE + "; run `make win32`");
  }
  const locale_t ja = newlocale(LC_ALL_MASK, kWineLocale, nullptr);
  if (ja == nullptr) {
    return fail(std::string("the locale ") + kWineLocale +
                " is missing (Wine needs it for code page 932); " + kSetupHint);
  }
  freelocale(ja);

  st.prefix = program_dir() + "/wine-prefix";
  const std::string log = st.prefix + ".log";
  const std::vector<std::string> env = wine_environment(st.prefix);
  FileLock lock(st.prefix + ".lock", 600);
  if (!lock.held()) return fail("could not lock " + st.prefix + ".lock within 10 minutes");

  const Captured version = run_captured(wine_command("--version", {}), "", env, 60);
  if (version.status != 0 || version.out.empty()) {
    return fail(std::string("Wine does not start: `") + kWine + " --version` gave status " +
                std::to_string(version.status) + "\n" + version.out + version.err);
  }
  const std::string marker = st.prefix + "/volari-prefix-ready";
  if (read_all(marker) != version.out) {
    const auto start = std::chrono::steady_clock::now();
    std::error_code ec;
    fs::remove_all(st.prefix, ec);
    fs::remove(log, ec);
    const int init = run_logged(wine_command("wineboot", {"--init"}), "", env, log, 300);
    // The server writes the registry out when it ends; only then is the prefix complete.
    const int wait = run_logged(wine_command(kWineServer, {"-w"}), "", env, log, 120);
    if (init != 0 || wait != 0 || !fs::exists(st.prefix + "/system.reg")) {
      return fail("could not make the Wine prefix " + st.prefix + " (wineboot status " +
                  std::to_string(init) + "):\n" + tail(read_all(log)));
    }
    std::ofstream(marker, std::ios::binary) << version.out;
    st.prefix_seconds = seconds_since(start);
  }

  // The session: a lasting server, then one program whose start brings up the helpers with their
  // streams on the log.
  const auto start = std::chrono::steady_clock::now();
  run_logged(wine_command(kWineServer, {"-p" + std::to_string(kSessionSeconds)}), "", env, log, 60);
  const std::string usage = st.prefix + ".usage";
  std::error_code ec;
  fs::remove(usage, ec);
  const int warm =
      run_logged(wine_command(VOLARI_WIN64_EXE, {"-?"}), program_dir(), env, usage, 120);
  const std::string said = read_all(usage);
  if (warm != 0 || said.find("VOLD32 - VOLARI") == std::string::npos) {
    return fail(std::string("the Windows program does not run under Wine (status ") +
                std::to_string(warm) + "):\n" + tail(said) + "\nWine's log:\n" +
                tail(read_all(log)));
  }
  st.session_seconds = seconds_since(start);
  st.ok = true;
  return st;
}

}  // namespace

Captured run_captured(const std::vector<std::string>& argv, const std::string& cwd,
                      const std::vector<std::string>& env, int timeout_s) {
  Captured r;
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return r;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return r;
  }
  const pid_t pid = spawn(argv, cwd, env, out[1], err[1]);
  close(out[1]);
  close(err[1]);
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);
  auto drain = [](int fd, std::string& into) {
    char buf[65536];
    for (;;) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n > 0) {
        into.append(buf, static_cast<size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        return;
      }
    }
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  int status = 0;
  for (bool done = pid < 0; !done;) {
    struct pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    poll(p, 2, 10);
    drain(out[0], r.out);
    drain(err[0], r.err);
    const pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) {
      r.status = decode(status);
      done = true;
    } else if (w < 0 && errno != EINTR) {
      done = true;
    } else if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      r.timed_out = true;
      done = true;
    }
  }
  // Everything the process wrote is in the pipes now; helpers it started may keep them open.
  drain(out[0], r.out);
  drain(err[0], r.err);
  close(out[0]);
  close(err[0]);
  return r;
}

std::vector<std::string> wine_environment(const std::string& prefix) {
  return {"WINEPREFIX=" + prefix,
          std::string("WINELOADER=") + kWine,
          "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=winedbg.exe=d;mscoree,mshtml=",
          std::string("TZ=") + kTimeZone,
          std::string("LC_ALL=") + kWineLocale};
}

std::vector<std::string> wine_command(const std::string& program,
                                      const std::vector<std::string>& args) {
  std::vector<std::string> argv = {kSetpriv, "--inh-caps=-sys_time"};
  if (may_drop_bounding_caps()) argv.emplace_back("--bounding-set=-sys_time");
  argv.emplace_back("--");
  if (program != kWineServer) argv.emplace_back(kWine);
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

const WineStatus& wine_status() {
  static const WineStatus status = make_status();
  return status;
}

}  // namespace volari::testing
