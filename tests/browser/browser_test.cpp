// What a reader sees: converted pages and the history page opened in headless Chromium.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "output/csv.h"
#include "testlib/browser.h"
#include "testlib/golden.h"
#include "testlib/iconv_text.h"
#include "testlib/mkcache_runner.h"

namespace volari::testing {
namespace {

namespace fs = std::filesystem;

std::string encoded(const std::string& utf8, const char* charset) {
  const std::string out = iconv_text("UTF-8", charset, utf8);
  EXPECT_FALSE(out.empty()) << charset;
  return out;
}

// Settings reading ../cache/FAT.DB into out/, with `dir` and `option` lines added.
std::string ini(const std::string& dir, const std::string& option) {
  return "[DOS32]\nDIR=DIR\nOPTION=OPTION\n[DIR]\nFATNAME=../cache/FAT.DB\nOUTDIR=out\n" + dir +
         "[OPTION]\nDOMAIN_EXT=.DOM\n" + option;
}

struct Page {
  const char* name;
  const char* charset;      // of its bytes, as iconv names it
  const char* declaration;  // "" for none
  const char* server;       // the charset the index record holds
  const char* text;
};

const char kKanji[] = "天気予報：東京は晴れのち曇り、降水確率二〇％。";
const char kHalfWidth[] =
    "年末ｾｰﾙ実施中！手持ち花火ｾｯﾄが２割引です。皆様のご来店をお待ちしております。";

const Page kPages[] = {
    {"euc", "EUC-JP", "", "", kKanji},
    {"euc-declared", "EUC-JP", "<meta http-equiv=Content-Type content='text/html;charset=EUC-JP'>",
     "", kKanji},
    {"euc-half", "EUC-JP", "<META charset=\"euc-jp\">", "", kHalfWidth},
    {"euc-server", "EUC-JP", "", "EUC-JP", kHalfWidth},
    {"euc-lying", "EUC-JP",
     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">", "", kKanji},
    {"jis", "ISO-2022-JP", "", "", kKanji},
    {"jis-declared", "ISO-2022-JP", "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>", "", kKanji},
    {"jis-half", "ISO-2022-JP-3", "", "", kHalfWidth},
    {"sjis", "CP932", "", "", kKanji},
    {"sjis-half", "CP932", "", "", kHalfWidth},
    {"sjis-declared", "CP932",
     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=x-sjis\">", "", kHalfWidth},
};

TEST(Browser, ConvertedPagesShowTheirTextAndTheHistoryPageItsLinks) {
  ASSERT_EQ(browser_missing(), "");
  Scenario sc{"browser", "", "",
              ini("HISTORY=HISTORY.HTM\nHISTORYSET=3\nHISTORYPUT=1\n", "CAPITAL_FILE=0\n")};
  for (const Page& p : kPages) {
    const std::string bytes = "<html><head>" + std::string(p.declaration) + "<title>" +
                              encoded(p.text, p.charset) + "</title></head>\n<body><p>" +
                              encoded(p.text, p.charset) + "</p></body></html>\n";
    sc.cache += "http://browser.example/" + std::string(p.name) +
                ".html - text=" + manifest_escape(bytes) +
                (*p.server ? " charset=" + std::string(p.server) : "") + "\n";
  }
  sc.inspect = [](const TempDir& dir) {
    std::vector<std::string> files;
    for (const Page& p : kPages) {
      files.push_back(dir.file("out/EXAMPLE/BROWSER.DOM/") + p.name + ".html");
    }
    files.push_back(dir.file("out/HISTORY.HTM"));
    const std::vector<PageView> views = view_in_browser(files);
    for (size_t i = 0; i < std::size(kPages); ++i) {
      EXPECT_EQ(views[i].charset, "Shift_JIS") << kPages[i].name;
      EXPECT_EQ(views[i].text, kPages[i].text) << kPages[i].name;
    }
    const PageView& history = views.back();
    EXPECT_EQ(history.charset, "Shift_JIS");
    EXPECT_EQ(history.found.size(), std::size(kPages));
    EXPECT_TRUE(history.missing.empty()) << history.missing.front();
    for (const Page& p : kPages) {
      EXPECT_NE(history.text.find(p.text), std::string::npos) << p.name;
    }
  };
  transcript(sc);
}

// Japanese names on disk (UTF-8), a Japanese OUTDIR typed in UTF-8: every history link, and the
// links of the pages to each other (in their Shift-JIS bytes), find their files.
TEST(Browser, JapaneseNamesAreFound) {
  ASSERT_EQ(browser_missing(), "");
  const std::string table = encoded("表", "CP932"), price = encoded("価格表", "CP932");
  const auto page = [](const std::string& href) {
    return manifest_escape("<html><head><title>t</title></head><body><a href=\"" + href + "\">" +
                           encoded("花火の価格表はこちらです。", "CP932") + "</a></body></html>\n");
  };
  Scenario sc{"browser-names", "", "",
              "[DOS32]\nDIR=DIR\nOPTION=OPTION\n[DIR]\nFATNAME=../../cache/FAT.DB\n"
              "OUTDIR=出力/古いウェブ\nHISTORY=HISTORY.HTM\nHISTORYSET=3\n[OPTION]\n"
              "CAPITAL_FILE=0\nCAPITAL_DIR=0\n"};
  sc.cache = "http://jp.example/" + manifest_escape(encoded("日本", "CP932") + "/" + table) +
             ".html - text=" + page(price + ".html") + "\nhttp://jp.example/%93%FA%96%7B/" +
             "%89%BF%8Ai%95%5C.html - text=" + page(table + ".html") +
             "\nhttp://jp.example/%B2%C1%B3%CA.html - text=" + page("%93%FA%96%7B/") + "\n";
  sc.prepare = [](const TempDir& d) { d.write_file("出力/古いウェブ/.keep", ""); };
  sc.inspect = [](const TempDir& dir) {
    const std::string out = dir.file("出力/古いウェブ/");
    const auto views = view_in_browser({out + "EXAMPLE/JP/日本/表.html",
                                        out + "EXAMPLE/JP/日本/価格表.html", out + "HISTORY.HTM"});
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[0].found.size() + views[1].found.size(), 2u);
    EXPECT_EQ(views[2].found.size(), 6u);  // two lines a page
    for (const PageView& v : views) EXPECT_TRUE(v.missing.empty()) << v.missing.front();
  };
  transcript(sc);
}

// LOCAL_LINKS: a small site clicked through. Every link and image whose target is in the copy
// loads its file, whatever spelling led to it; every other one is its absolute URL.
TEST(Browser, LocalLinksLeadIntoTheCopy) {
  ASSERT_EQ(browser_missing(), "");
  const std::string img = "http://a.example/img/logo.gif - gen=64\n";
  const std::pair<const char*, const char*> pages[] = {
      {"index.html",
       "<a href=http://A.EXAMPLE:80/sub/page.html>abs</a> <img src='/img/logo.gif'>"
       "<a href=\"SUB/PAGE.HTML#p\">case</a> <a href=\"/%7Eu/\">tilde</a> <a href=#top>top</a>"
       "<a href=http://c.example/x.html?a=1&amp;b=2>away</a><img usemap=#m src=img/logo.gif>"
       "<map name=m><area href=\"sub/based.html\"></map>"},
      {"sub/page.html", "<a href=../index.html>up</a>\n<a\nhref = \"../frames.html\">frames</a>"},
      {"sub/based.html", "<base href=\"http://a.example/\"><a href=index.html>base</a>"},
      {"frames.html", "<frameset><frame src=index.html><frame src=http://b.example/></frameset>"},
      {"~u/", "<a href=http://a.example/index.html>home</a>"},
  };
  Scenario sc{"browser-links", img, "", ini("HISTORY=\n", "LOCAL_LINKS=1\nROOTHTML=INDEX.HTM\n")};
  for (const auto& [path, body] : pages) {
    sc.cache += "http://a.example/" + std::string(path) +
                " - text=" + manifest_escape(std::string("<html>") + body + "</html>\n") + "\n";
  }
  sc.inspect = [&pages](const TempDir& dir) {
    const std::string site = dir.file("out/EXAMPLE/A.DOM/");
    const std::vector<PageView> views =
        view_in_browser({site + "INDEX.HTML", site + "SUB/PAGE.HTML", site + "SUB/BASED.HTML",
                         site + "FRAMES.HTML", site + "~U/INDEX.HTM"});
    const std::vector<size_t> found = {7, 2, 1, 1, 1};
    for (size_t i = 0; i < views.size(); ++i) {
      EXPECT_EQ(views[i].found.size(), found[i]) << pages[i].first;
      EXPECT_TRUE(views[i].missing.empty()) << pages[i].first << ": " << views[i].missing[0];
    }
    EXPECT_EQ(views[0].remote, std::vector<std::string>{"http://c.example/x.html?a=1&b=2"});
    EXPECT_EQ(views[3].remote, std::vector<std::string>{"http://b.example/"});
  };
  transcript(sc);
}

// MANIFEST over three runs: one for a target host, one for all, one incremental. Each URL keeps
// one row, replaced by a run that converted or failed it, kept by a skip for LAST_TIME or the
// target host; SITES.HTM links every converted page.
TEST(Browser, ManifestAndSitesPageDescribeTheWholeCopy) {
  ASSERT_EQ(browser_missing(), "");
  const std::string title = "<title>" + encoded("花火の価格表", "EUC-JP") + "</title>";
  Scenario sc{"browser-manifest",
              "http://a.example/p.html - text=" + manifest_escape(title) +
                  "\nhttp://b.example/q.html - text=<title>Q,\"1\"</title>\n"
                  "http://b.example/i.gif - gen=10\nhttp://c.example/gone.html - nofile\n"
                  "http://c.example/cgi?x=1 - text=x\nhttp://c.example/bad.html - text=x\n",
              ""};
  const std::string last = "HISTORY=\nLAST_TIME=2001/01/01 00:00\n";
  sc.inis = {ini(last, "MANIFEST=1\n"), ini(last, "MANIFEST=1\n"),
             ini("LAST_FROM=1\n" + last, "MANIFEST=1\n")};
  sc.runs = {{"a.example"}, {}, {}};
  sc.prepare = [](const TempDir& d) { d.write_file("out/EXAMPLE/C.DOM/BAD.HTML/in-the-way", ""); };
  sc.inspect = [](const TempDir& dir) {
    const std::string text = dir.read_file("out/VOLARI.CSV");
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    std::map<std::string, std::string> status;
    for (const CsvRecord& r : parse_csv(text).records) {
      EXPECT_TRUE(status.emplace(r.at(0), r.at(1) + " " + r.at(4)).second) << r.at(0);
    }
    const std::map<std::string, std::string> expected = {
        {"url", "status title"},
        {"http://a.example/p.html", "converted 花火の価格表"},
        {"http://b.example/q.html", "converted Q,\"1\""},
        {"http://b.example/i.gif", "converted "},
        {"http://c.example/gone.html", "missing "},
        {"http://c.example/cgi?x=1", "cgi "},
        {"http://c.example/bad.html", "copy_failed "}};
    EXPECT_EQ(status, expected);
    const std::vector<PageView> views = view_in_browser({dir.file("out/SITES.HTM")});
    // The two pages (an image is counted, not linked), and the page itself for its sections.
    EXPECT_EQ(std::set<std::string>(views[0].found.begin(), views[0].found.end()).size(), 3u);
    EXPECT_TRUE(views[0].missing.empty());
    EXPECT_NE(views[0].text.find("花火の価格表"), std::string::npos);
  };
  transcript(sc);
}

}  // namespace
}  // namespace volari::testing
