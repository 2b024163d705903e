// Whole runs in-process, on caches written by the real Berkeley DB library, with a fake clock,
// console and keyboard.
#include <cstdio>
#include <string>

#include "run/clock_step.h"
#include "run/run_fixture.h"

namespace volari::testing {
namespace {

const char kMixedCache[] =
    "http://aa.bb.cc:80/dir1/index.html text=<html><title>Welcome</title>\\n</html>\\n\n"
    "http://www.aa.bb/img.gif - gen=100\n"
    "ftp://ftp.aa.bb/pub/file.zip - gen=10\n"
    "file:///D|/temp/a.htm - text=x\n"
    "http://aa.bb/missing.html - nofile\n"
    "http://aa.bb/cgi?x=1 - text=y\n";

TEST_F(RunTest, DefaultRunConvertsTheCacheAndPrintsTheSummary) {
  make_cache(kMixedCache);
  run_pages(*run);

  EXPECT_EQ(out("CC/BB/AA.DOM/DIR1/INDEX.HTML"), "<html><title>Welcome</title>\r\n</html>\r\n");
  EXPECT_EQ(out("BB/AA.DOM/IMG.GIF").size(), 100u);
  EXPECT_FALSE(dir.exists("out/BB/AA.DOM/PUB"));
  EXPECT_FALSE(dir.exists("out/BB/AA.DOM/CGI"));

  const std::string& console = fake.console;
  EXPECT_EQ(console.rfind(banner(), 0), 0u) << console;
  EXPECT_NE(
      console.find("http://www.aa.bb/img.gif\n -> " + std::string(run->settings.out_directory) +
                   std::string("BB\\AA.DOM\\IMG.GIF\n")),
      std::string::npos)
      << console;
  const std::string tail = std::string(ja::kEndMessage) + summary(6, 2, 1, 1, 0, 1, 1, 1);
  ASSERT_GE(console.size(), tail.size());
  EXPECT_EQ(console.substr(console.size() - tail.size()), tail);

  // The history page: an index.html gives two lines, its title and its URL.
  const std::string page = out("HISTORY.HTM");
  EXPECT_NE(page.find(">Welcome</A>\r\n"), std::string::npos) << page;
  EXPECT_NE(page.find(">http://aa.bb.cc:80/dir1/index.html</A>\r\n"), std::string::npos) << page;

  // The log is the transcript of the console, in text mode.
  EXPECT_EQ(out("LOG.TXT"), crlf(console));
}

TEST_F(RunTest, QuietRunStillLogsEveryVerboseLine) {
  make_cache(kMixedCache);
  run->settings.flg_verbose = 0;
  run_pages(*run);
  EXPECT_EQ(fake.console.find(" -> "), std::string::npos);
  const std::string log = out("LOG.TXT");
  EXPECT_NE(log.find("http://www.aa.bb/img.gif\r\n -> "), std::string::npos);
  EXPECT_EQ(fake.console, banner() + ja::kEndMessage + summary(6, 2, 1, 1, 0, 1, 1, 1));
}

TEST_F(RunTest, TwoRunsAppendTwoTranscripts) {
  make_cache(kMixedCache);
  run_pages(*run);
  const std::string first = fake.console;
  next_run();
  run_pages(*run);
  EXPECT_EQ(out("LOG.TXT"), crlf(first) + crlf(fake.console));
}

TEST_F(RunTest, MissingIndexShowsBannerErrorEndAndZeroSummary) {
  run_pages(*run);
  const std::string want = banner() + "FAT can't open '" + run->settings.fat_filename + "'.\n\n" +
                           ja::kEndMessage + summary(0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(fake.console, want);
  // Nothing was converted, so the last-run time must not move on.
  EXPECT_EQ(dir.read_file("VOLARI.INI"), kSettingsFile);
}

TEST_F(RunTest, CompleteRunStoresItsStartTimeAsLastTime) {
  make_cache(kMixedCache);
  fake.tick_step = 30000;  // the run takes minutes on the tick count
  run_pages(*run);
  EXPECT_EQ(dir.read_file("VOLARI.INI"), "[DIR]\r\nLAST_TIME=2001/03/29 14:05\r\n");
}

TEST_F(RunTest, NoSettingsFileIsMadeJustForLastTime) {
  make_cache(kMixedCache);
  std::remove(dir.file("VOLARI.INI").c_str());
  run_pages(*run);
  EXPECT_FALSE(dir.exists("VOLARI.INI"));
}

TEST_F(RunTest, EscapeAtTheTopOfThePassEndsTheRunWithoutLastTime) {
  make_cache(kMixedCache);
  fake.keys.push_back(27);
  run_pages(*run);
  EXPECT_EQ(fake.console, banner() + ja::kEndMessage + summary(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(dir.read_file("VOLARI.INI"), kSettingsFile);
  EXPECT_FALSE(dir.exists("out/HISTORY.HTM"));
}

TEST_F(RunTest, EscapeWhileParsingConvertsNothing) {
  make_cache(kMixedCache);
  // Poll 1 is the top of the first pass (header page read); poll 2 is inside the page scan.
  fake.on_poll = [](FakePlatform& f, int n) {
    if (n == 3) f.keys.push_back(27);
  };
  run_pages(*run);
  EXPECT_EQ(fake.console, banner() + ja::kEndMessage + summary(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(dir.read_file("VOLARI.INI"), kSettingsFile);
}

TEST_F(RunTest, LetterKeysHaveNoEffect) {
  make_cache(kMixedCache);
  fake.keys = {'a', 'b', 224, 72};
  run_pages(*run);
  EXPECT_NE(fake.console.find(summary(6, 2, 1, 1, 0, 1, 1, 1)), std::string::npos);
}

TEST_F(RunTest, TestLevelOneParsesEveryPageAndConvertsNothing) {
  make_cache(kMixedCache);
  run->settings.flg_test = 1;
  run_pages(*run);
  EXPECT_EQ(fake.console, banner() + ja::kEndMessage + summary(0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(dir.exists("out/BB"));
  EXPECT_EQ(dir.read_file("VOLARI.INI"), kSettingsFile);  // a test run converts nothing
}

TEST_F(RunTest, DebugLevelTwoShowsOneHttpLinePerEntry) {
  make_cache(kMixedCache);
  run->settings.flg_debug = 2;
  run->settings.flg_test = 1;
  run_pages(*run);
  size_t lines = 0;
  for (size_t at = 0; (at = fake.console.find("\nhttp=", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 6u) << fake.console;
}

TEST_F(RunTest, ClockIsSetToStartPlusElapsedTicks) {
  make_cache(kMixedCache);
  fake.tick_step = 125;
  const DateTime start = fake.now;
  run_pages(*run);
  ASSERT_FALSE(fake.clock_sets.empty());
  const DateTime set = fake.clock_sets.back();
  const DateTime want = advance_clock(start, run->platform.tick_count() - 125 - run->start_tick);
  EXPECT_EQ(set.day, want.day);
  EXPECT_EQ(set.hour, want.hour);
  EXPECT_EQ(set.minute, want.minute);
  EXPECT_EQ(set.second, want.second);
  EXPECT_EQ(set.millisecond, want.millisecond);
}

TEST_F(RunTest, NoResultOptionLeavesOutTheSummary) {
  make_cache(kMixedCache);
  run->settings.flg_result = 0;
  run->settings.flg_verbose = 0;
  run_pages(*run);
  EXPECT_EQ(fake.console, banner() + ja::kEndMessage);
}

TEST_F(RunTest, HistoryModeWritesOneLinePerKeyAndNoSummary) {
  make_cache("history 4\nhttp://aa.bb/one.html\nhttp://aa.bb/two.html title=Two\n");
  Settings& s = run->settings;
  copy_text(s.fat_filename, (program_form(dir.path()) + "\\cache\\NETSCAPE.HST").c_str());
  s.flg_history_db = 1;
  s.flg_hst_mode = 9;
  run_pages(*run);
  const std::string page = out("HISTORY.HTM");
  EXPECT_NE(page.find("    <DT><A HREF=\"http://aa.bb/one.html\">http://aa.bb/one.html</A>\r\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("    <DT><A HREF=\"http://aa.bb/two.html\">http://aa.bb/two.html</A>\r\n"),
            std::string::npos);
  EXPECT_EQ(fake.console.find(summary(0, 0, 0, 0, 0, 0, 0, 0)), std::string::npos);
  EXPECT_EQ(dir.read_file("VOLARI.INI"), kSettingsFile);
  EXPECT_FALSE(fake.clock_sets.empty());
}

}  // namespace
}  // namespace volari::testing
