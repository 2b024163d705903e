// The built program on real caches: console bytes, output tree, history page, log, settings.
#include <sys/stat.h>

#include <cstdio>

#include "e2e/e2e_fixture.h"
#include "support/japanese.h"
#include "testlib/console_text.h"

namespace volari::testing {
namespace {

long mtime_of(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_mtime) : -1;
}

const char kCache[] =
    "http://aa.bb.cc:80/dir1/index.html - text=<title>Welcome</title>\\n "
    "mtime=1998-07-14\\s10:00:00\n"
    "http://www.aa.bb/img.gif - gen=100000 mtime=1998-07-14\\s10:00:02\n"
    "http://aa.bb/page - text=plain\n";

TEST_F(E2eTest, RunInTheCacheDirectoryConvertsIntoIt) {
  make_cache(kCache, "", "");
  ProcessResult r = run({});
  ASSERT_EQ(r.status, 0) << r.output;
  // Through a pipe the console is the exact Shift-JIS bytes.
  EXPECT_EQ(r.output.rfind(banner(), 0), 0u) << r.output;
  const std::string tail = std::string(ja::kEndMessage) + summary(3, 3, 2, 1, 0, 0, 0, 0);
  ASSERT_GE(r.output.size(), tail.size());
  EXPECT_EQ(r.output.substr(r.output.size() - tail.size()), tail);
  EXPECT_NE(r.output.find("http://www.aa.bb/img.gif\n -> .\\BB\\AA.DOM\\IMG.GIF\n"),
            std::string::npos);

  EXPECT_EQ(dir.read_file("CC/BB/AA.DOM/DIR1/INDEX.HTML"), "<title>Welcome</title>\r\n");
  EXPECT_EQ(dir.read_file("BB/AA.DOM/IMG.GIF").size(), 100000u);
  EXPECT_EQ(dir.read_file("BB/AA.DOM/PAGE.HTM"), "plain");
  EXPECT_EQ(mtime_of(dir.file("BB/AA.DOM/IMG.GIF")), 900378002L);  // 1998-07-14 10:00:02 JST

  EXPECT_EQ(dir.read_file("HISTORY.HTM"),
            "<TITLE>History from VOLARI</TITLE>\r\n<H2>History from VOLARI</H2>\r\n<DL><P>\r\n"
            "    <DT><A HREF=\"file://./CC/BB/AA.DOM/DIR1/INDEX.HTML\">Welcome</A>\r\n"
            "    <DT><A HREF=\"file://./CC/BB/AA.DOM/DIR1/INDEX.HTML\">"
            "http://aa.bb.cc:80/dir1/index.html</A>\r\n");
  EXPECT_EQ(dir.read_file("LOG.TXT"), crlf(r.output));
  // Without a settings file none is made, so a second run works with the same defaults.
  EXPECT_FALSE(dir.exists("VOLARI.INI"));
  const std::string again = run({}).output;
  ASSERT_GE(again.size(), tail.size());
  EXPECT_EQ(again.substr(again.size() - tail.size()), tail);
}

TEST_F(E2eTest, MissingIndexReportsAndEndsCleanly) {
  ProcessResult r = run({});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, banner() + "FAT can't open 'FAT.DB'.\n\n" + ja::kEndMessage +
                          summary(0, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(E2eTest, UsageTexts) {
  const std::string usage =
      "\nVOLD32 - VOLARI  version 1.08\n\n    using : VOLD32 [options...] [url]\n\t-i    : not "
      "Intel data\n\t-v    : verbose not display\n\t-r    : result not display\n\t-k    : wait "
      "key press\n\t-?    : display help message\n\n";
  const std::string debug =
      "\nVOLD32 - VOLARI  version 1.08\n\n    using : VOLD32 [options...]\n\t-!    : debug1 mode  "
      "disp copy\n\t-!2   : debug2 mode  disp copy+conv+all\n\t-!3   : debug3 mode  disp "
      "copy+conv+all+detail\n\t-t    : test1  mode  proc read+conv\n\t-t2   : test2  mode  proc "
      "read+conv+copy\n\t-t3   : test3  mode  proc read+conv+copy(cgi skip)\n\t-t4   : test4  "
      "mode  proc read+conv+copy(dir skip)\n\n";
  EXPECT_EQ(run({"-?"}).output, usage);
  EXPECT_EQ(run({"-??"}).output, debug + usage);
  EXPECT_FALSE(dir.exists("LOG.TXT"));
}

TEST_F(E2eTest, SettingsFileConfiguresTheRun) {
  make_cache(
      "http://www.aa.bb/documents/old/longfilename.jpeg - gen=10\n"
      "http://user@cc.dd.ee/x/search.cgi?q=abc - text=r\n");
  dir.write_file("VOLARI.INI",
                 "[DOS32]\r\nDIR=DIR\r\nOPTION=OPTION\r\nDOMAIN=DOMAIN\r\n"
                 "[DIR]\r\nFATNAME=" +
                     dir.file("cache/FAT.DB") +
                     "\r\nOUTDIR=out\r\nHISTORY=HISTORY.HTM\r\nLOG=LOG.TXT\r\n"
                     "[OPTION]\r\nDOMAIN_EXT=.DOM\r\nIP_ADDRESS=00\r\nROOTHTML=INDEX.HTM\r\n"
                     "SKIP_WWW=0\r\nDOMAIN_DIR=2\r\nDIR_MAX=8\r\nCGI_FILE=1\r\n"
                     "[DOMAIN]\r\nDOM00=.dd.ee\r\nDIR00=.DE\r\n");
  ASSERT_EQ(mkdir(dir.file("out").c_str(), 0777), 0);
  ProcessResult r = run({});
  ASSERT_EQ(r.status, 0) << r.output;
  // SKIP_WWW 0 keeps www and the user part; DOMAIN_DIR 2 keeps the dots; DIR_MAX 8 short names;
  // CGI_FILE 1 cuts the query; the alias replaces the host's ending.
  const std::string out = dir.path();
  std::string want_out = out + "/out/";
  for (char& c : want_out) c = c == '/' ? '\\' : c;
  EXPECT_NE(r.output.find(" -> " + want_out + "WWW.AA.B.DOM\\DOCUMENT\\OLD\\LONGFILE.JPG\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find(" -> " + want_out + "USER.CC..DOM\\X\\SEARCH.CGI\n"), std::string::npos)
      << r.output;
  EXPECT_TRUE(dir.exists("out/LOG.TXT"));
  EXPECT_TRUE(dir.exists("out/WWW.AA.B.DOM/DOCUMENT/OLD/LONGFILE.JPG"));
  // LAST_TIME goes back into the settings file the run started with.
  EXPECT_NE(dir.read_file("VOLARI.INI").find("\r\nLAST_TIME="), std::string::npos);
  EXPECT_FALSE(dir.exists("out/VOLARI.INI"));
}

TEST_F(E2eTest, IncrementalRunTakesOnlyNewerFiles) {
  make_cache(
      "http://aa.bb/old.html - text=o mtime=1998-01-01\\s00:00:00\n"
      "http://aa.bb/new.html - text=n mtime=2030-01-01\\s00:00:00\n");
  dir.write_file("VOLARI.INI",
                 "[DOS32]\r\nDIR=DIR\r\nOPTION=OPTION\r\nDOMAIN=DOMAIN\r\n[DIR]\r\nFATNAME=" +
                     dir.file("cache/FAT.DB") +
                     "\r\nLOG=LOG.TXT\r\nHISTORY=HISTORY.HTM\r\nLAST_FROM=1\r\n"
                     "LAST_TIME=2001/03/29 12:34\r\n");
  ProcessResult r = run({"-t2"});
  EXPECT_NE(r.output.find(summary(2, 1, 1, 0, 1, 0, 0, 0)), std::string::npos) << r.output;
  // A test run leaves LAST_TIME as it was.
  EXPECT_NE(dir.read_file("VOLARI.INI").find("LAST_TIME=2001/03/29 12:34\r\n"), std::string::npos);
}

}  // namespace
}  // namespace volari::testing
