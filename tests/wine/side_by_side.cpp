#include "wine/side_by_side.h"

#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "testlib/mkcache_runner.h"

namespace fs = std::filesystem;

namespace volari::testing {

namespace {

constexpr char kNativeName[] = "vold32";
constexpr char kWindowsName[] = "VOLD32.EXE";

std::string base_name(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int64_t now_down() {
  return static_cast<int64_t>(::time(nullptr));
}

// The settings file with its LAST_TIME value replaced by a mark when the value is the time of
// one of `o`'s runs (to the minute).
std::string last_time_settled(const std::string& ini, const Outcome& o) {
  const std::string key = "LAST_TIME=";
  const size_t at = ini.find(key);
  if (at == std::string::npos) return ini;
  const size_t from = at + key.size();
  const size_t to = ini.find("\r\n", from);
  const std::string value = ini.substr(from, to == std::string::npos ? to : to - from);
  if (value < last_time_text(o.start) || value > last_time_text(o.end)) return ini;
  return ini.substr(0, from) + "<time of the run>" +
         (to == std::string::npos ? "" : ini.substr(to));
}

// Files that a run writes at the time of the run.
bool stamped_by_run(const std::string& path) {
  const std::string base = base_name(path);
  return base == "LOG.TXT" || base == "HISTORY.TXT" || base == "HISTORY.HTM" ||
         base == "VOLARI.INI";
}

}  // namespace

std::string last_time_text(int64_t t) {
  const time_t tt = static_cast<time_t>(t);
  struct tm tm;
  localtime_r(&tt, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min);
  return text;
}

void SideBySideTest::SetUp() {
  setenv("TZ", kTimeZone, 1);
  tzset();
  const WineStatus& wine = wine_status();
  ASSERT_TRUE(wine.ok) << "The Windows build cannot be run under Wine: " << wine.message;
  static bool told = false;
  if (!told) {
    told = true;
    std::cout << "Wine: prefix made in " << wine.prefix_seconds << " s, session started in "
              << wine.session_seconds << " s\n";
  }
}

void SideBySideTest::make_cache(const std::string& manifest, const std::string& args,
                                const std::string& where) {
  ASSERT_EQ(run_mkcache(dir.file(where), manifest, args), 0) << manifest;
}

std::string SideBySideTest::settings(const std::vector<std::string>& dir_keys,
                                     const std::vector<std::string>& option_keys) {
  std::string ini = "[DOS32]\r\nDIR=DIR\r\nOPTION=OPTION\r\nDOMAIN=DOMAIN\r\n[DIR]\r\n";
  for (const std::string& k : dir_keys) ini += k + "\r\n";
  ini += "[OPTION]\r\n";
  for (const std::string& k : option_keys) ini += k + "\r\n";
  return ini;
}

std::string SideBySideTest::program_path(const std::string& relpath) const {
  std::string p = dir.file(relpath);
  for (char& c : p) c = c == '/' ? '\\' : c;
  return p;
}

void SideBySideTest::place(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::last_write_time(to, fs::last_write_time(from));
}

void SideBySideTest::run_both(const std::vector<std::vector<std::string>>& runs,
                              const std::function<void(const std::string&)>& prepare) {
  const std::string run_dir = dir.file("run");
  for (const bool win : {false, true}) {
    Outcome& o = win ? windows : native;
    o = Outcome();
    fs::remove_all(run_dir);
    fs::create_directory(run_dir);
    o.start = now_down();
    const std::string program = run_dir + "/" + (win ? kWindowsName : kNativeName);
    if (win) {
      fs::copy_file(VOLARI_WIN64_EXE, program);
    } else {
      fs::create_symlink(VOLARI_VOLD32, program);
    }
    if (prepare) prepare(run_dir);
    for (const std::vector<std::string>& args : runs) {
      if (win) {
        o.runs.push_back(run_captured(wine_command(program, args), run_dir,
                                      wine_environment(wine_status().prefix)));
      } else {
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), args.begin(), args.end());
        o.runs.push_back(run_captured(argv, run_dir, {std::string("TZ=") + kTimeZone}));
      }
    }
    o.end = now_down() + 1;
    o.tree = snapshot(run_dir, win, {win ? kWindowsName : kNativeName});
    fs::rename(run_dir, dir.file(win ? "windows" : "native"));
  }
  for (const Captured& r : native.runs) {
    EXPECT_EQ(r.status, 0) << "native: " << printable(r.out + r.err);
    EXPECT_EQ(r.err, "");
  }
}

std::string SideBySideTest::without_drive(const std::string& windows_text) const {
  return replace_all(windows_text, "Z:" + program_path(""), program_path(""));
}

std::string SideBySideTest::without_link_drive(const std::string& windows_text) const {
  return replace_all(windows_text, "/Z|" + dir.path(), dir.path());
}

void SideBySideTest::expect_same(const Outcome& want, const Outcome& win, const Compare& how) {
  ASSERT_EQ(win.runs.size(), want.runs.size());
  for (size_t i = 0; i < win.runs.size(); ++i) {
    const Captured& r = win.runs[i];
    EXPECT_FALSE(r.timed_out) << "Windows run " << i << " did not end";
    EXPECT_EQ(r.status, 0) << "Windows run " << i;
    EXPECT_EQ(r.err, "") << "Windows run " << i << " wrote to standard error";
    EXPECT_EQ(without_drive(r.out), crlf(want.runs[i].out))
        << "console of run " << i << "; Windows:\n"
        << printable(r.out) << "\nnative:\n"
        << printable(want.runs[i].out);
  }

  std::string only_native;
  std::string only_windows;
  for (const auto& [path, node] : want.tree) {
    if (!win.tree.count(path)) only_native += "  " + printable(path) + "\n";
  }
  for (const auto& [path, node] : win.tree) {
    if (!want.tree.count(path)) only_windows += "  " + printable(path) + "\n";
  }
  EXPECT_EQ(only_native, "") << "in the native tree only";
  EXPECT_EQ(only_windows, "") << "in the Windows tree only";

  for (const auto& [path, w] : win.tree) {
    const auto found = want.tree.find(path);
    if (found == want.tree.end()) continue;
    const Node& n = found->second;
    const std::string shown = printable(path);
    ASSERT_EQ(w.directory, n.directory) << shown;
    if (w.directory) {
      if (how.directory_times) {
        EXPECT_TRUE(during(want, n.mtime)) << shown << " native time " << n.mtime;
        EXPECT_TRUE(during(win, w.mtime)) << shown << " Windows time " << w.mtime;
      }
      continue;
    }
    const std::string base = base_name(path);
    if (base == "LOG.TXT" || base == "HISTORY.TXT") {
      EXPECT_EQ(without_drive(w.bytes), n.bytes) << shown;
    } else if (base == "HISTORY.HTM") {
      EXPECT_EQ(without_link_drive(w.bytes), n.bytes) << shown;
    } else if (base == "VOLARI.INI") {
      EXPECT_EQ(last_time_settled(w.bytes, win), last_time_settled(n.bytes, want)) << shown;
    } else {
      EXPECT_TRUE(w.bytes == n.bytes) << shown << ": " << w.bytes.size() << " bytes on Windows, "
                                      << n.bytes.size() << " native";
    }
    if (stamped_by_run(path)) {
      EXPECT_TRUE(during(want, n.mtime)) << shown << " native time " << n.mtime;
      EXPECT_TRUE(during(win, w.mtime)) << shown << " Windows time " << w.mtime;
    } else {
      EXPECT_EQ(w.mtime, n.mtime) << shown;
    }
  }
}

}  // namespace volari::testing
