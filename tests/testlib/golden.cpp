#include "testlib/golden.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/cp932.h"
#include "run/program.h"
#include "testlib/fake_platform.h"
#include "testlib/mkcache_runner.h"
#include "testlib/process.h"
#include "testlib/temp_dir.h"

namespace volari::testing {

namespace fs = std::filesystem;

namespace {

// Bytes made readable and still exact: Shift-JIS characters as UTF-8, CR as \r, a backslash
// before 'r' or 'x' as \x5C, and every other byte that is not printable ASCII (LF and TAB are
// kept) as \xHH.
std::string readable(const std::string& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = b[i];
    const size_t n = sjis_char_length(b + i, bytes.size() - i);
    const char32_t u = c >= 0x80 ? cp932_to_unicode(b + i, n) : 0;
    const char next = i + 1 < bytes.size() ? bytes[i + 1] : '\0';
    if (u != 0) {
      append_utf8(u, out);
      i += n;
      continue;
    }
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\\' && (next == 'r' || next == 'x')) {
      out += "\\x5C";
    } else if (c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F)) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
    ++i;
  }
  return out;
}

const std::string kSource = VOLARI_SOURCE_DIR;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The sample cache with its manifest's times, made once per test program.
const std::string& examples_cache() {
  static TempDir dir;
  static bool made = false;
  if (!made) {
    made = true;
    const ProcessResult r =
        run_process({"/bin/bash", kSource + "/tools/make-examples.sh", dir.file("cache")},
                    dir.path(), {"TZ=Asia/Tokyo", std::string("MKCACHE=") + VOLARI_MKCACHE}, 120);
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& e : fs::directory_iterator(dir.file("cache"))) {
      const std::string name = e.path().filename().string();
      EXPECT_EQ(slurp(e.path().string()), slurp(kSource + "/examples/cache/" + name))
          << name << ": run tools/make-examples.sh and commit examples/cache";
    }
  }
  return dir.path();
}

std::string examples_settings() {
  std::string ini = slurp(kSource + "/examples/VOLARI.INI");
  const auto set = [&ini](const std::string& key, const std::string& value) {
    const size_t at = ini.find("\n" + key + "=");
    const size_t end = ini.find('\n', at + 1);
    ini.replace(at + 1, end - at - 1, key + "=" + value + "\r");
  };
  set("FATNAME", "../cache/FAT.DB");
  set("OUTDIR", "out");
  return ini;
}

// Local time of a file for the transcript: times from the cache, "now" for those of the run.
std::string when(const struct stat& st) {
  if (st.st_mtime > 1420070400) return "now";  // 2015
  struct tm t;
  localtime_r(&st.st_mtime, &t);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
  return text;
}

bool is_text(const std::string& bytes) {
  return std::none_of(bytes.begin(), bytes.end(), [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 && u != '\n' && u != '\r' && u != '\t' && u != 0x1A && u != 0x1B;
  });
}

std::string fnv(const std::string& bytes) {
  uint64_t h = 14695981039346656037ULL;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ULL;
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// A name on disk as it reads: UTF-8 as it is, anything else made readable.
std::string name_of(const std::string& native) {
  const auto* s = reinterpret_cast<const unsigned char*>(native.data());
  for (size_t i = 0, n; i < native.size(); i += n) {
    if ((n = utf8_char_length(s + i, native.size() - i)) == 0) return readable(native);
  }
  return native;
}

// Every file and directory below `root`, relative: a directory as -1, a file by its bytes and time.
using Snapshot = std::map<std::string, std::pair<std::string, time_t>>;

Snapshot snapshot(const std::string& root) {
  Snapshot all;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    struct stat st;
    lstat(e.path().c_str(), &st);
    const std::string rel = e.path().lexically_relative(root).string();
    if (rel == "vold32" || rel == "VOLD32.EXE") continue;  // the program
    all[rel] = {S_ISDIR(st.st_mode) ? "-1" : fnv(slurp(e.path().string())), st.st_mtime};
  }
  return all;
}

// What the runs made or changed below `root`: everything not in `before` as it was.
std::string files(const std::string& root, const Snapshot& before) {
  std::string out;
  for (const auto& [rel, what] : snapshot(root)) {
    const auto old = before.find(rel);
    if (old != before.end() && (old->second == what || what.first == "-1")) continue;
    struct stat st;
    lstat((root + "/" + rel).c_str(), &st);
    if (S_ISDIR(st.st_mode)) {
      out += "## " + name_of(rel) + "/ " + when(st) + "\n";
      continue;
    }
    const std::string bytes = slurp(root + "/" + rel);
    out += "## " + name_of(rel) + " " + std::to_string(bytes.size()) + " " + when(st);
    if (!is_text(bytes)) {
      out += " " + fnv(bytes) + "\n";
      continue;
    }
    out += "\n" + readable(bytes);
    if (!bytes.empty() && bytes.back() != '\n') out += "\n## (no line end)\n";
  }
  return out;
}

// The runs in-process, on a fake platform: a fixed clock, keys as the scenario presses them.
RunResult run_in_process(const Scenario& sc, const TempDir& dir,
                         const std::vector<std::string>& args) {
  FakePlatform fake;
  if (sc.escape_at_poll > 0) {
    fake.on_poll = [&sc](FakePlatform& f, int poll) {
      if (poll == sc.escape_at_poll) f.keys.push_back(27);
    };
  }
  std::vector<std::string> texts = {sc.program.empty() ? dir.file("vold32") : sc.program};
  // Where the kernel would say the program lies, whatever argv[0] says: a bare name was found
  // through PATH, in the scratch directory.
  const bool bare = texts[0].find('/') == std::string::npos;
  fake.program = bare ? dir.file(texts[0]) : (fs::path(dir.file(sc.cwd)) / texts[0]).string();
  texts.insert(texts.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);
  const fs::path old = fs::current_path();
  fs::current_path(dir.file(sc.cwd));
  RunResult r;
  r.status = program_entry(fake, static_cast<int>(texts.size()), argv.data());
  fs::current_path(old);
  r.console = fake.console;
  for (const DateTime& t : fake.clock_sets) {
    char text[64];
    std::snprintf(text, sizeof text, "# clock set %04u-%02u-%02u %02u:%02u:%02u.%03u\n", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    r.notes += text;
  }
  return r;
}

}  // namespace

std::string transcript(const Scenario& sc, const Runner& runner) {
  TempDir dir;
  if (sc.cache == "examples") {
    fs::copy(examples_cache() + "/cache", dir.file("cache"), fs::copy_options::recursive);
    for (const auto& e : fs::directory_iterator(examples_cache() + "/cache")) {
      fs::last_write_time(dir.file("cache/" + e.path().filename().string()),
                          fs::last_write_time(e.path()));
    }
  } else if (!sc.cache.empty()) {
    EXPECT_EQ(run_mkcache(dir.file("cache"), sc.cache, sc.mkcache_args), 0);
    fs::remove(dir.file("cache/manifest.txt"));
  }
  if (!sc.settings.empty()) {
    dir.write_file("VOLARI.INI", sc.settings == "examples" ? examples_settings() : sc.settings);
  }
  if (sc.prepare) sc.prepare(dir);
  fs::create_directories(dir.file(sc.cwd));
  fs::create_directories(dir.file("out"));
  const Snapshot before = snapshot(dir.path());
  std::string out;
  int n = 0;
  for (const auto& args : sc.runs) {
    if (!sc.inis.empty()) {
      fs::remove(dir.file("VOLARI.INI"));
      if (!sc.inis[n].empty()) dir.write_file("VOLARI.INI", sc.inis[n]);
    }
    const RunResult r = runner ? runner(dir, args) : run_in_process(sc, dir, args);
    std::string line = "# run " + std::to_string(++n) + ":";
    for (const std::string& a : args) line += " " + a;
    out += line + "\n# exit " + std::to_string(r.status) + "\n" + readable(r.console);
    if (!r.console.empty() && r.console.back() != '\n') out += "\n# (no line end)";
    out += "\n" + r.notes;
  }
  if (sc.inspect) sc.inspect(dir);
  std::string tree = files(dir.path(), before);
  // The scratch directory's own name, wherever the program shows it, in either form.
  std::string back = dir.path();
  std::replace(back.begin(), back.end(), '/', '\\');
  for (const std::string& form : {dir.path(), back}) {
    for (std::string* text : {&out, &tree}) {
      for (size_t at = text->find(form); at != std::string::npos; at = text->find(form, at)) {
        text->replace(at, form.size(), "<DIR>");
      }
    }
  }
  return out + "# files\n" + tree;
}

void check_golden(const Scenario& scenario) {
  SCOPED_TRACE(scenario.name);
  setenv("TZ", "Asia/Tokyo", 1);
  tzset();
  check_transcript(scenario.name, transcript(scenario));
}

void check_transcript(const std::string& name, const std::string& got) {
  const std::string path = kSource + "/tests/golden/" + name + ".txt";
  if (const char* update = std::getenv("VOLARI_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path, std::ios::binary) << got;
  } else if (const std::string want = slurp(path); got != want) {
    ADD_FAILURE() << path << first_difference(got, want)
                  << "\n(VOLARI_UPDATE_GOLDEN=1 rewrites it)";
  }
}

std::string first_difference(const std::string& got, const std::string& want) {
  std::istringstream a(got), b(want);
  std::string la, lb;
  int line = 1;
  while (std::getline(a, la) && std::getline(b, lb) && la == lb) ++line;
  return " differs at line " + std::to_string(line) + ":\n  got:  " + la + "\n  want: " + lb;
}

}  // namespace volari::testing
