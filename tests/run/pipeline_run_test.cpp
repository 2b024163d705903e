// The conversion of whole caches in-process: what every kind of entry counts as, the test levels,
// the target host, dated directories and hostile caches.
#include <dirent.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "run/run_fixture.h"

namespace volari::testing {
namespace {

// One entry of every kind the pipeline tells apart.
const char kKinds[] =
    "http://aa.bb/index.html - text=<title>T</title> mtime=@900000000\n"  // page
    "http://aa.bb:80/img.gif - gen=10\n"                                  // image, host with a port
    "http://AA.BB/x/y.txt - text=t mtime=@910000000\n"                    // page, host in capitals
    "ftp://ftp.aa.bb/pub/file.zip - gen=5\n"                              // ftp file
    "ftp://ftp.aa.bb/pub/ - gen=5\n"                                      // ftp, no file name
    "file:///D|/temp/a.htm - text=x\n"                                    // file URL
    "http://aa.bb/cgi-bin/q.cgi?x=1 - text=q\n"                           // CGI query
    "http://aa.bb/gone.html - nofile\n";                                  // missing cache file

struct KindsCase {
  const char* name;
  std::function<void(Settings&)> set;
  int cache, conv, html, graphic, nofile, nohttp, cgi;
  int arrows;  // " -> " lines
  bool writes;
};

const KindsCase kKindsCases[] = {
    {"defaults", [](Settings&) {}, 8, 3, 2, 1, 1, 2, 1, 3, true},
    // ftp URLs converted: one naming a file is an image, one naming none a page. The file URL's
    // directory "D|" is refused by the name filter.
    {"no kind skipped", [](Settings& s) { s.flg_skip_url = 0; }, 8, 5, 3, 2, 1, 2, 2, 5, true},
    // Only http skipped: ftp and file URLs go on.
    {"http skipped", [](Settings& s) { s.flg_skip_url = 1; }, 8, 2, 1, 1, 1, 2, 1, 2, true},
    // The host part is compared whole: aa.bb:80 is another host; case does not count.
    {"target host",
     [](Settings& s) {
       s.flg_dom_only = 1;
       copy_text(s.domain_only, "aa.bb");
     },
     8, 2, 2, 0, 2, 2, 1, 2, true},
    {"test level 2", [](Settings& s) { s.flg_test = 2; }, 8, 3, 2, 1, 1, 2, 1, 3, false},
    {"test level 5 acts as 2", [](Settings& s) { s.flg_test = 5; }, 8, 3, 2, 1, 1, 2, 1, 3, false},
    {"test level 3", [](Settings& s) { s.flg_test = 3; }, 8, 0, 0, 0, 1, 2, 0, 0, false},
    // Level 4 stops before the host filter: no entry is counted as another host's.
    {"test level 4 with a target host",
     [](Settings& s) {
       s.flg_test = 4;
       s.flg_dom_only = 1;
       copy_text(s.domain_only, "zz.zz");
     },
     8, 0, 0, 0, 1, 2, 0, 0, false},
    {"CGI names cut", [](Settings& s) { s.flg_cgi_file = 1; }, 8, 4, 2, 2, 1, 2, 0, 4, true},
};

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
  return n;
}

TEST_F(RunTest, EveryKindOfEntryIsCountedWhereItBelongs) {
  make_cache(kKinds);
  const Settings initial = run->settings;
  for (const KindsCase& c : kKindsCases) {
    SCOPED_TRACE(c.name);
    TempDir fresh;
    next_run();
    run->settings = initial;
    c.set(run->settings);
    copy_text(run->settings.out_directory, (program_form(fresh.path()) + "\\").c_str());
    copy_text(run->settings.hst_filename, (program_form(fresh.path()) + "\\H.HTM").c_str());
    run->settings.flg_log_file = 0;
    run_pages(*run);
    EXPECT_NE(fake.console.find(
                  summary(c.cache, c.conv, c.html, c.graphic, 0, c.nofile, c.nohttp, c.cgi)),
              std::string::npos)
        << fake.console;
    EXPECT_EQ(count(fake.console, "\n -> "), static_cast<size_t>(c.arrows));
    const int level = run->settings.flg_test;
    if (level == 3 || level == 4) {
      EXPECT_EQ(count(fake.console, level == 3 ? "\tcgi proc skip\n" : "\ttodir proc skip\n"), 4u);
    }
    EXPECT_EQ(fresh.exists("AA.DOM") || fresh.exists("BB"), c.writes);
    if (!c.writes) {
      EXPECT_FALSE(fresh.exists("H.HTM"));
    }
  }
}

long mtime(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_mtime) : -1;
}

TEST_F(RunTest, DatedDirectoriesKeepTheCachedFilesDateAfterTheRun) {
  make_cache(kKinds);
  run->settings.flg_dir_time = 1;
  run_pages(*run);
  // Made for index.html, then given a sub-directory and files, which moved their times.
  EXPECT_EQ(mtime(dir.file("out/BB")), 900000000L);
  EXPECT_EQ(mtime(dir.file("out/BB/AA.DOM")), 900000000L);
  EXPECT_EQ(mtime(dir.file("out/BB/AA.DOM/X")), 910000000L);
  // The clock itself is never set on this platform: only the end-of-run correction was asked for.
  EXPECT_EQ(fake.clock_sets.size(), 1u);
}

// Every path below `root`, relative to it.
void walk(const std::string& root, const std::string& rel, std::vector<std::string>& found) {
  DIR* d = opendir((root + "/" + rel).c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = rel.empty() ? name : rel + "/" + name;
    found.push_back(path);
    walk(root, path, found);
  }
  closedir(d);
}

TEST_F(RunTest, HostileCacheWritesNothingOutsideTheOutputTree) {
  dir.write_file("secret.txt", "not for copying");
  make_cache(
      "http://aa.bb/%2e%2e/%2e%2e/%2e%2e/evil1.html - text=e\n"
      "http://aa.bb/a%5c..%5c..%5c..%5cevil2.html - text=e\n"
      "http://aa.bb/..%2f..%2f..%2fevil3.html - text=e\n"
      "http://aa.bb/x/..\\\\..\\\\..\\\\evil4.html - text=e\n"
      "http://../evil5.html - text=e\n"
      "http://aa.bb/stolen.html ..\\x2fsecret.txt nofile\n"
      "http://aa.bb/stolen2.html ..\\x5csecret.txt nofile\n");
  run_pages(*run);
  std::vector<std::string> found;
  walk(dir.path(), "", found);
  for (const std::string& path : found) {
    const bool allowed = path == "secret.txt" || path == "VOLARI.INI" ||
                         path.rfind("cache", 0) == 0 || path.rfind("out", 0) == 0;
    EXPECT_TRUE(allowed) << path;
    EXPECT_EQ(path.find("STOLEN"), std::string::npos) << path;
  }
  // Escaping names are refused under "CGI" (four of them); the climbing cache names count as
  // missing; the host ".." is a host of no name and lands in the numeric host's directory.
  EXPECT_NE(fake.console.find(summary(7, 1, 1, 0, 0, 2, 0, 4)), std::string::npos) << fake.console;
  EXPECT_TRUE(dir.exists("out/00.DOM/EVIL5.HTML"));
}

}  // namespace
}  // namespace volari::testing

namespace volari::testing {
namespace {

// ソ is 0x83 0x5C: its second byte is no separator, so no directory is named by half of it.
TEST_F(RunTest, DoubleByteCharacterEndingIn5CStaysInTheFileName) {
  make_cache("http://aa.bb/%83%5cft.html - text=s\n");
  run_pages(*run);
  EXPECT_EQ(out("BB/AA.DOM/\x83\x5c"
                "FT.HTML"),
            "s");
  EXPECT_FALSE(dir.exists("out/BB/AA.DOM/\x83"));
}

}  // namespace
}  // namespace volari::testing
