#include "wine/wine_session.h"

#include "testlib/process.h"

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

// Runs `argv` with its standard output and error appended to `log`.
int run_logged(const std::vector<std::string>& argv, const std::string& cwd,
               const std::vector<std::string>& env, const std::string& log, int timeout_s) {
  const ProcessResult r = run_process(argv, cwd, env, timeout_s);
  std::ofstream(log, std::ios::binary | std::ios::app) << r.out << r.err;
  return r.status;
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

  const ProcessResult version = run_process(wine_command("--version", {}), "", env, 60);
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
