#include "wine/wine_session.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testlib/process.h"

namespace fs = std::filesystem;

namespace volari::testing {

namespace {

constexpr char kWine[] = "/usr/lib/wine/wine64";
constexpr char kWineServer[] = "/usr/lib/wine/wineserver64";
constexpr char kSetpriv[] = "/usr/bin/setpriv";
// No daylight saving: Windows' file-time route through the zone's present offset and POSIX'
// offset at the time give the same local times.
constexpr char kTimeZone[] = "Asia/Tokyo";
// Wine takes its ANSI code page (932, Shift-JIS) and its file-name encoding from the locale.
constexpr char kLocale[] = "ja_JP.UTF-8";
constexpr char kSetupHint[] = "; run `tools/setup.sh wine` as root (make test does)";

const std::string kDir = fs::read_symlink("/proc/self/exe").parent_path().string();
const std::string kPrefix = kDir + "/wine-prefix";

// The last 2000 bytes of a file: all of a short one.
std::string tail_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  return text.size() <= 2000 ? text : "..." + text.substr(text.size() - 2000);
}

// Runs a Wine command with its output appended to the log; its exit status.
int run_logged(const std::string& program, const std::vector<std::string>& args) {
  const ProcessResult r = run_process(wine_command(program, args), "", wine_environment(), 300);
  std::ofstream(kPrefix + ".log", std::ios::binary | std::ios::app) << r.out << r.err;
  return r.status;
}

// CAP_SETPCAP (8) is needed to drop a capability from the bounding set too.
bool may_drop_bounding_caps() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, 7, "CapEff:") == 0)
      return (std::stoull(line.substr(7), nullptr, 16) >> 8) & 1;
  }
  return false;
}

std::string make_ready() {
  setenv("TZ", kTimeZone, 1);
  for (const char* tool : {kWine, kWineServer, kSetpriv}) {
    if (access(tool, X_OK) != 0) return std::string("no ") + tool + kSetupHint;
  }
  if (access(VOLARI_WIN64_EXE, R_OK) != 0)
    return std::string("no Windows build at ") + VOLARI_WIN64_EXE + "; run `make win32`";
  const locale_t ja = newlocale(LC_ALL_MASK, kLocale, nullptr);
  if (ja == nullptr) return std::string("no locale ") + kLocale + " (code page 932)" + kSetupHint;
  freelocale(ja);

  struct Lock {
    int fd;
    ~Lock() { close(fd); }
  } lock{open((kPrefix + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)};
  if (flock(lock.fd, LOCK_EX) != 0) return "could not lock " + kPrefix + ".lock";
  const ProcessResult version = run_process(wine_command("--version", {}), "", wine_environment());
  if (version.status != 0 || version.out.empty())
    return "Wine does not start: `wine64 --version` gave " + version.out + version.err;
  const std::string marker = kPrefix + "/volari-prefix-ready";
  if (tail_of(marker) != version.out) {
    std::error_code ec;
    fs::remove_all(kPrefix, ec);
    fs::remove(kPrefix + ".log", ec);
    // The server writes the registry out when it ends; only then is the prefix complete.
    if (run_logged("wineboot", {"--init"}) != 0 || run_logged(kWineServer, {"-w"}) != 0 ||
        !fs::exists(kPrefix + "/system.reg"))
      return "could not make the Wine prefix " + kPrefix + ":\n" + tail_of(kPrefix + ".log");
    std::ofstream(marker, std::ios::binary) << version.out;
  }
  // The session: a lasting server, then one program whose start brings up the helpers.
  run_logged(kWineServer, {"-p30"});
  const ProcessResult warm =
      run_process(wine_command(VOLARI_WIN64_EXE, {"-?"}), kDir, wine_environment(), 120);
  if (warm.status != 0 || warm.out.find("VOLD32 - VOLARI") == std::string::npos)
    return "the Windows program does not run under Wine:\n" + warm.out + warm.err +
           "\nWine's log:\n" + tail_of(kPrefix + ".log");
  return "";
}

}  // namespace

std::vector<std::string> wine_environment() {
  return {"WINEPREFIX=" + kPrefix,
          std::string("WINELOADER=") + kWine,
          "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=winedbg.exe=d;mscoree,mshtml=",
          std::string("TZ=") + kTimeZone,
          std::string("LC_ALL=") + kLocale};
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

const std::string& wine_problem() {
  static const std::string problem = make_ready();
  return problem;
}

}  // namespace volari::testing
