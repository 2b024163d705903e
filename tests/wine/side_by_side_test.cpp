// The Windows build under Wine gives the native program's results, up to the differences that
// side_by_side.h lists and those the tests below state.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/japanese.h"
#include "testlib/console_text.h"
#include "testlib/mkcache_runner.h"
#include "wine/side_by_side.h"

namespace fs = std::filesystem;

namespace volari::testing {
namespace {

// Text written here in UTF-8, in the encoding a page or URL uses.
std::string in(const char* encoding, const std::string& utf8) {
  const std::optional<std::string> s = convert(utf8, "UTF-8", encoding);
  EXPECT_TRUE(s.has_value()) << utf8 << " in " << encoding;
  return s.value_or("");
}
std::string sjis(const std::string& utf8) {
  return in("CP932", utf8);
}

// One manifest line: URL (raw bytes), content option ("text=", "gen=", "nofile" ...; its value
// raw bytes, escaped here) and an optional local modification time "YYYY-MM-DD hh:mm:ss".
std::string entry(const std::string& url, const std::string& content,
                  const std::string& mtime = "") {
  std::string line = manifest_escape(url) + " -";
  if (!content.empty()) {
    const size_t eq = content.find('=');
    line += " " + (eq == std::string::npos
                       ? content
                       : content.substr(0, eq + 1) + manifest_escape(content.substr(eq + 1)));
  }
  if (!mtime.empty()) line += " mtime=" + manifest_escape(mtime);
  return line + "\n";
}

int64_t local_seconds(const std::string& when) {
  struct tm tm = {};
  strptime(when.c_str(), "%Y-%m-%d %H:%M:%S", &tm);
  tm.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&tm));
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A page of each Japanese encoding the browser met, with its title.
std::string page(const char* encoding, const std::string& title, const char* eol = "\n") {
  return in(encoding, "<html><head><title>" + title + "</title></head>" + eol +
                          "<body>本文です。ソフトと表示の試験</body></html>" + eol);
}

// Runs twice in a row in the same directory: the second run appends to the log and the history
// page and rewrites LAST_TIME again.
TEST_F(SideBySideTest, JapaneseCacheConvertedTwice) {
  const std::string dir_sjis = sjis("表示");
  make_cache(entry("http://www.jp.example.co.jp/index.html",
                   "text=" + page("EUC-JP", "日本語のページEUC"), "1998-07-14 10:00:00") +
             entry("http://www.jp.example.co.jp/iso/index.html",
                   "text=" + page("ISO-2022-JP", "日本語のページJIS"), "1998-07-15 11:22:33") +
             entry("http://jp.example.ne.jp/sjis/index.htm",
                   "text=" + page("CP932", "日本語のページSJIS", "\r\n"), "1999-12-31 23:59:59") +
             entry("http://jp.example.ne.jp/" + dir_sjis + "/index.html",
                   "text=" + page("CP932", "表示のページ"), "2000-02-29 12:00:00") +
             entry("http://jp.example.ne.jp/" + dir_sjis + "/" + sjis("ソフト") + ".html",
                   "text=" + page("EUC-JP", "ソフト"), "1999-01-02 03:04:05") +
             entry("http://jp.example.ne.jp/img/logo.gif", "gen=100000", "1997-05-06 07:08:09") +
             entry("http://jp.example.ne.jp/img/photo.jpg", "gen=1", "2001-02-03 04:05:06") +
             entry("http://jp.example.ne.jp/empty.html", "", "2002-03-04 05:06:07") +
             entry("http://jp.example.ne.jp/eof.html",
                   "text=before\x1a"
                   "after\n",
                   "2003-04-05 06:07:08") +
             entry("http://jp.example.ne.jp/lines.txt", "text=a\nb\r\nc", "2004-05-06 07:08:09") +
             entry("ftp://ftp.example.jp/pub/file.txt", "text=x") +
             entry("http://jp.example.ne.jp/cgi-bin/q.cgi?a=1", "text=ok") +
             entry("http://jp.example.ne.jp/missing.html", "nofile"));
  const std::string ini =
      settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT", "HISTORY=HISTORY.HTM"});
  run_both({{}, {}}, [&](const std::string& run) { write(run + "/VOLARI.INI", ini); });
  expect_same(native, windows);

  // Both did the work, not merely the same thing.
  ASSERT_EQ(native.runs.size(), 2u);
  EXPECT_TRUE(has(native.runs[1].out, summary(13, 10, 8, 2, 0, 1, 1, 1)))
      << printable(native.runs[1].out);
  const Tree& t = native.tree;
  const std::string sjis_dir = "JP/NE/EXAMPLE/JP/" + dir_sjis;
  for (const std::string& f : std::vector<std::string>{
           "JP/CO/EXAMPLE/JP/INDEX.HTML", "JP/CO/EXAMPLE/JP/ISO/INDEX.HTML",
           "JP/NE/EXAMPLE/JP/SJIS/INDEX.HTM", sjis_dir + "/INDEX.HTML",
           sjis_dir + "/" + sjis("ソフト") + ".HTML", "JP/NE/EXAMPLE/JP/IMG/LOGO.GIF"}) {
    EXPECT_TRUE(t.count(f)) << printable(f);
  }
  // No directory named after the first byte of a character whose second byte is 0x5C.
  EXPECT_EQ(t.count(sjis_dir + "/\x83"), 0u);
  EXPECT_EQ(t.at("JP/NE/EXAMPLE/JP/EOF.HTML").bytes, "before");
  EXPECT_EQ(t.at("JP/NE/EXAMPLE/JP/IMG/LOGO.GIF").bytes.size(), 100000u);
  EXPECT_EQ(t.at("JP/NE/EXAMPLE/JP/IMG/LOGO.GIF").mtime, local_seconds("1997-05-06 07:08:09"));
  const std::string history = t.at("HISTORY.HTM").bytes;
  for (const char* title :
       {"日本語のページEUC", "日本語のページJIS", "日本語のページSJIS", "表示のページ"}) {
    EXPECT_TRUE(has(history, ">" + sjis(title) + "</A>")) << title;
  }
  EXPECT_TRUE(has(history, "file://./JP/NE/EXAMPLE/JP/" + dir_sjis + "/INDEX.HTML"))
      << printable(history);
  EXPECT_TRUE(has(t.at("VOLARI.INI").bytes, "\r\nLAST_TIME="));
}

TEST_F(SideBySideTest, HistoryModeListsTheGlobalHistory) {
  std::string manifest = "history 4\nbsize 8192\n";
  for (int i = 0; i < 300; ++i) {
    manifest += entry(
        "http://www" + std::to_string(i % 7) + ".example.jp/page" + std::to_string(i) + ".html",
        "title=" + sjis("ページ") + std::to_string(i));
  }
  manifest += entry("http://jp.example.jp/" + sjis("表示") + "/index.html", "");
  make_cache(manifest, "--history", "history");
  const std::string ini =
      settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT", "HISTORY=HISTORY.HTM"});
  run_both({{"-h"}}, [&](const std::string& run) {
    write(run + "/VOLARI.INI", ini);
    place(dir.file("history/NETSCAPE.HST"), run + "/NETSCAPE.HST");
  });
  expect_same(native, windows);

  const std::string page = native.tree.at("HISTORY.HTM").bytes;
  size_t lines = 0;
  for (size_t at = page.find("<DT><A HREF="); at != std::string::npos;
       at = page.find("<DT><A HREF=", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 301u);
  EXPECT_TRUE(has(page, "http://jp.example.jp/" + sjis("表示") + "/index.html"));
  EXPECT_TRUE(native.tree.count("HISTORY.TXT"));
  EXPECT_FALSE(has(native.tree.at("VOLARI.INI").bytes, "LAST_TIME"));
}

// Windows dates a new directory by setting the system clock to the cached file's time while it
// makes it; Wine refuses to move the clock (these runs may not set it), so on Windows the
// directories carry the time of the run. The native program stamps them with the file's time.
TEST_F(SideBySideTest, DatedDirectoriesTakeTheClockOnWindows) {
  struct Dated {
    const char* url;
    const char* when;
    std::vector<std::string> dirs;  // the directories this entry alone makes
  };
  const std::vector<Dated> dated = {
      {"http://aa.bb/d1/index.html", "1998-07-14 10:00:00", {"BB", "BB/AA", "BB/AA/D1"}},
      {"http://cc.dd/d2/deep/page.html",
       "1999-02-03 04:05:06",
       {"DD", "DD/CC", "DD/CC/D2", "DD/CC/D2/DEEP"}},
      {"http://ee.ff/x/img.gif", "2001-02-03 04:05:07", {"FF", "FF/EE", "FF/EE/X"}},
  };
  std::string manifest;
  for (const Dated& d : dated) manifest += entry(d.url, "text=<title>t</title>", d.when);
  make_cache(manifest);
  const std::string ini = settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT",
                                    "HISTORY=HISTORY.HTM", "HISTORYSET=3", "HISTORYDATE=12"},
                                   {"DIR_TIME=1"});
  struct timespec real0, mono0, real1, mono1;
  clock_gettime(CLOCK_REALTIME, &real0);
  clock_gettime(CLOCK_MONOTONIC, &mono0);
  run_both({{}}, [&](const std::string& run) { write(run + "/VOLARI.INI", ini); });
  clock_gettime(CLOCK_REALTIME, &real1);
  clock_gettime(CLOCK_MONOTONIC, &mono1);
  expect_same(native, windows, Compare{false});

  for (const Dated& d : dated) {
    for (const std::string& path : d.dirs) {
      ASSERT_TRUE(native.tree.count(path) && windows.tree.count(path)) << path;
      EXPECT_EQ(native.tree.at(path).mtime, local_seconds(d.when)) << path;
      EXPECT_TRUE(during(windows, windows.tree.at(path).mtime))
          << path << " on Windows: " << windows.tree.at(path).mtime;
    }
  }
  // The machine's clock went on as the monotonic one did.
  const double real = static_cast<double>(real1.tv_sec - real0.tv_sec) +
                      static_cast<double>(real1.tv_nsec - real0.tv_nsec) / 1e9;
  const double mono = static_cast<double>(mono1.tv_sec - mono0.tv_sec) +
                      static_cast<double>(mono1.tv_nsec - mono0.tv_nsec) / 1e9;
  EXPECT_NEAR(real, mono, 1.0);
  // The history page's dates come from the copies' times on both.
  EXPECT_TRUE(has(native.tree.at("HISTORY.HTM").bytes, "<DT>98/07/14 10:00:00  <A HREF="));
}

// A relative OUTDIR makes the output directory current and names it by its full path, which
// Windows reports with its drive. The debug trace shows the settings, paths included.
TEST_F(SideBySideTest, RelativeOutputDirectoryWithTrace) {
  make_cache(
      entry("http://aa.bb/old.html", "text=<title>old</title>", "1998-07-14 23:59:00") +
      entry("http://aa.bb/new/index.html", "text=<title>new</title>", "1998-07-15 00:00:00") +
      entry("http://www.cc.dd/img/a.png", "gen=5000", "2005-01-01 00:00:00"));
  const std::string ini = settings({"FATNAME=" + program_path("cache/FAT.DB"), "OUTDIR=out",
                                    "LOG=LOG.TXT", "HISTORY=HISTORY.HTM", "HISTORYSET=3",
                                    "LAST_FROM=1", "LAST_TIME=1998/07/15 00:00"});
  run_both({{"-!2"}}, [&](const std::string& run) {
    write(run + "/VOLARI.INI", ini);
    fs::create_directory(run + "/out");
  });
  expect_same(native, windows);

  const std::string out = program_path("run/out\\");
  EXPECT_TRUE(has(native.runs[0].out, "sec_profile=" + program_path("run/VOLARI.INI") + "\n"));
  EXPECT_TRUE(has(native.runs[0].out, "out_directory=" + out + "\n"));
  EXPECT_TRUE(has(native.runs[0].out, " -> " + out + "BB\\AA\\NEW\\INDEX.HTML\n"));
  EXPECT_TRUE(has(windows.runs[0].out, " -> Z:" + out + "BB\\AA\\NEW\\INDEX.HTML\r\n"));
  EXPECT_TRUE(has(native.runs[0].out, summary(3, 2, 1, 1, 1, 0, 0, 0)));
  EXPECT_TRUE(native.tree.count("out/LOG.TXT"));
  EXPECT_TRUE(has(native.tree.at("out/HISTORY.HTM").bytes,
                  "\"file://" + dir.path() + "/run/out/BB/AA/NEW/INDEX.HTML\">new</A>"));
  EXPECT_TRUE(has(windows.tree.at("out/HISTORY.HTM").bytes,
                  "\"file:///Z|" + dir.path() + "/run/out/BB/AA/NEW/INDEX.HTML\">new</A>"));
}

// Test level 2 shows the arrow lines and counts of a real run and writes nothing but the log; the
// index is big-endian with 8,192-byte pages.
TEST_F(SideBySideTest, TestLevelTwoArrowLines) {
  std::string manifest = "bsize 8192\nlorder 4321\n";
  for (int i = 0; i < 400; ++i) {
    manifest += entry("http://host" + std::to_string(i % 5) + ".example.jp/dir" +
                          std::to_string(i % 11) + "/file" + std::to_string(i) + ".html",
                      "text=x");
  }
  make_cache(manifest);
  const std::string ini = settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT",
                                    "HISTORY=HISTORY.HTM", "LAST_TIME=2001/03/29 12:34"});
  run_both({{"-t2", "-i"}}, [&](const std::string& run) { write(run + "/VOLARI.INI", ini); });
  expect_same(native, windows);

  EXPECT_TRUE(has(native.runs[0].out, summary(400, 400, 400, 0, 0, 0, 0, 0)))
      << printable(native.runs[0].out.substr(0, 2000));
  EXPECT_TRUE(has(native.runs[0].out,
                  "http://host3.example.jp/dir4/file158.html\n -> .\\JP\\EXAMPLE\\HOST3\\DIR4\\"
                  "FILE158.HTML\n"));
  for (const auto& [path, node] : native.tree) {
    EXPECT_TRUE(path == "LOG.TXT" || path == "VOLARI.INI") << printable(path);
  }
}

TEST_F(SideBySideTest, UsageTexts) {
  run_both({{"-?"}, {"-??", "-v"}});
  expect_same(native, windows);
  EXPECT_TRUE(has(native.runs[0].out, "\nVOLD32 - VOLARI  version 1.08\n"));
  EXPECT_TRUE(has(native.runs[1].out, "\t-t4   : test4  mode  proc read+conv+copy(dir skip)\n"));
  EXPECT_TRUE(native.tree.empty());
}

// With -k the program waits for a key at the end: standard input is no console, and its end
// ends the wait.
TEST_F(SideBySideTest, MissingIndexAndKeyWait) {
  const std::string ini =
      settings({"FATNAME=" + program_path("nothing/FAT.DB"), "LOG=LOG.TXT", "HISTORY=HISTORY.HTM"});
  run_both({{"-k"}}, [&](const std::string& run) { write(run + "/VOLARI.INI", ini); });
  expect_same(native, windows);

  const std::string& out = native.runs[0].out;
  EXPECT_TRUE(has(out, "FAT can't open '" + program_path("nothing/FAT.DB") + "'.\n\n"));
  EXPECT_TRUE(has(out, summary(0, 0, 0, 0, 0, 0, 0, 0) + ja::kKeyPrompt));
  // A run that read no index promises nothing about the cache: no LAST_TIME.
  EXPECT_FALSE(has(native.tree.at("VOLARI.INI").bytes, "LAST_TIME="));
}

// A plain argument with a wildcard names the target host through a directory search.
TEST_F(SideBySideTest, WildcardTargetHost) {
  make_cache(entry("http://aa.bb/index.html", "text=a") +
             entry("http://aa.bc/index.html", "text=b") +
             entry("http://cc.dd/index.html", "text=c"));
  const std::string ini =
      settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT", "HISTORY=HISTORY.HTM"});
  run_both({{"aa.b?"}}, [&](const std::string& run) {
    write(run + "/VOLARI.INI", ini);
    write(run + "/aa.bb", "");
    const struct timespec fixed[2] = {{900000000, 0}, {900000000, 0}};  // the same on both
    utimensat(AT_FDCWD, (run + "/aa.bb").c_str(), fixed, 0);
  });
  expect_same(native, windows);
  EXPECT_TRUE(has(native.runs[0].out, summary(3, 1, 1, 0, 0, 2, 0, 0)))
      << printable(native.runs[0].out);
  EXPECT_TRUE(native.tree.count("BB/AA/INDEX.HTML"));
}

// Windows names devices CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any extension and in any
// directory. A page must not be written to a device: on Windows such a copy fails and says so,
// where Linux makes an ordinary file.
TEST_F(SideBySideTest, DeviceNamesAreNoFilesOnWindows) {
  make_cache(entry("http://aa.bb/con.html", "text=<title>c</title>") +
             entry("http://aa.bb/nul.gif", "gen=10") + entry("http://aa.bb/aux", "text=a") +
             entry("http://aa.bb/prn.htm", "text=p") + entry("http://aa.bb/lpt1.txt", "text=l") +
             entry("http://aa.bb/com1/index.html", "text=<title>i</title>") +
             entry("http://aa.bb/console.html", "text=fine"));
  const std::string ini =
      settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT", "HISTORY=HISTORY.HTM"});
  run_both({{}}, [&](const std::string& run) { write(run + "/VOLARI.INI", ini); });

  Outcome want = native;
  std::string& console = want.runs[0].out;
  for (const char* path :
       {"CON.HTML", "NUL.GIF", "AUX.HTM", "PRN.HTM", "LPT1.TXT", "COM1\\INDEX.HTML"}) {
    const std::string arrow = " -> .\\BB\\AA\\" + std::string(path) + "\n";
    ASSERT_TRUE(has(console, arrow)) << path;
    console = replace_all(console, arrow, arrow + ja::kCopyFailed);
    std::string rel = "BB/AA/" + replace_all(path, "\\", "/");
    EXPECT_TRUE(want.tree.erase(rel)) << rel;
  }
  EXPECT_TRUE(want.tree.erase("BB/AA/COM1"));
  want.tree.at("LOG.TXT").bytes = crlf(console);
  // The failed copy found no title: the history line shows the URL instead.
  std::string& history = want.tree.at("HISTORY.HTM").bytes;
  ASSERT_TRUE(has(history, "\">i</A>"));
  history = replace_all(history, "\">i</A>", "\">http://aa.bb/com1/index.html</A>");
  expect_same(want, windows);
  EXPECT_TRUE(windows.tree.count("BB/AA/CONSOLE.HTML"));
}

// Windows' own name rules: a trailing dot or blank of the last name is dropped, a directory
// named with a trailing blank cannot be entered (the copy into it fails), and names that differ
// in case only are one name.
TEST_F(SideBySideTest, WindowsNameRules) {
  make_cache(entry("http://aa.bb/a.html.", "text=1") + entry("http://aa.bb/x.html%20", "text=2") +
             entry("http://aa.bb/dir./index.html", "text=3") +
             entry("http://aa.bb/b%20/c.html", "text=4") +
             entry("http://aa.bb/Mixed/one.html", "text=5") +
             entry("http://aa.bb/mixed/two.html", "text=6"));
  const std::string ini =
      settings({"FATNAME=" + program_path("cache/FAT.DB"), "LOG=LOG.TXT", "HISTORY=HISTORY.HTM"},
               {"CAPITAL_DIR=0"});
  run_both({{}}, [&](const std::string& run) { write(run + "/VOLARI.INI", ini); });

  Outcome want = native;
  auto rename = [&](const std::string& from, const std::string& to) {
    ASSERT_TRUE(want.tree.count(from)) << from;
    auto node = want.tree.extract(from);
    node.key() = to;
    want.tree.insert(std::move(node));
  };
  rename("BB/AA/A.HTML.", "BB/AA/A.HTML");
  rename("BB/AA/X.HTML ", "BB/AA/X.HTML");
  rename("BB/AA/dir.", "BB/AA/dir");
  rename("BB/AA/dir./INDEX.HTML", "BB/AA/dir/INDEX.HTML");
  rename("BB/AA/b ", "BB/AA/b");
  EXPECT_TRUE(want.tree.erase("BB/AA/b /C.HTML"));
  // mixed/TWO.HTML lands in the directory Mixed that the other entry made, or the other way
  // round: which one comes first is the index's order.
  const bool upper_first =
      has(native.runs[0].out.substr(0, native.runs[0].out.find("mixed/")), "Mixed/");
  const std::string kept = upper_first ? "Mixed" : "mixed";
  const std::string gone = upper_first ? "mixed" : "Mixed";
  const std::string moved = upper_first ? "TWO.HTML" : "ONE.HTML";
  rename("BB/AA/" + gone + "/" + moved, "BB/AA/" + kept + "/" + moved);
  EXPECT_TRUE(want.tree.erase("BB/AA/" + gone));
  std::string& console = want.runs[0].out;
  const std::string arrow = " -> .\\BB\\AA\\b \\C.HTML\n";
  ASSERT_TRUE(has(console, arrow));
  console = replace_all(console, arrow, arrow + ja::kCopyFailed);
  want.tree.at("LOG.TXT").bytes = crlf(console);
  expect_same(want, windows);
}

}  // namespace
}  // namespace volari::testing
