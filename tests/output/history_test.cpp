#include <cstring>
#include <string>

#include "output/output_fixture.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

const std::string kPageHeader =
    "<TITLE>History from VOLARI</TITLE>\r\n<H2>History from VOLARI</H2>\r\n<DL><P>\r\n";
constexpr char kPage[] = "HISTORY.HTM";

std::string section(const std::string& when) {
  return "</DL>\r\n<HR><DT><H3>" + kConvertedAtBytes + "   " + when + "</H3>\r\n<DL><P>\r\n";
}
std::string file_line(const std::string& prefix, const std::string& link, const std::string& text) {
  return "    <DT>" + prefix + "<A HREF=\"file://" + link + "\">" + text + "</A>\r\n";
}
std::string url_line(const std::string& prefix, const std::string& url, const std::string& text) {
  return "    <DT>" + prefix + "<A HREF=\"" + url + "\">" + text + "</A>\r\n";
}

EntryFlags page_flags() {
  EntryFlags f;
  f.flg_graphic = 0;
  return f;
}

// --- title finder ---

struct TitleCase {
  const char* name;
  int type;
  std::string bytes;
  std::string title;
};

const TitleCase kTitles[] = {
    {"lower case", 3, "<html><title>Welcome</title></html>", "Welcome"},
    {"upper case", 1, "<TITLE>Welcome</TITLE>", "Welcome"},
    {"mixed case tag", 3, "<Title>Welcome</Title>", ""},
    {"mixed case closing tag is kept", 3, "<title>a</Title>b", "a</Title>b"},
    {"first closing tag cuts", 3, "<title>a</TITLE>b</title>", "a"},
    {"no closing tag: rest of the line", 3, "<TITLE>Welcome\n", "Welcome\n"},
    {"tag alone", 3, "<title>", ""},
    {"tag at the very end", 3, "xxxxxx<title>", ""},
    {"one byte after the tag", 3, "<title>A", "A"},
    {"stops at a zero byte", 3, "<title>ab\0cd</title>"s, "ab"},
    {"spaces kept, nothing decoded", 3, "<title> a &amp; b </title>", " a &amp; b "},
    {"type 2 does not look", 2, "<title>Welcome</title>", ""},
    {"type 4 does not look", 4, "<title>Welcome</title>", ""},
    {"odd type without lines looks", 5, "<title>Welcome</title>", "Welcome"},
    {"type 0 does not look", 0, "<title>Welcome</title>", ""},
    {"at most 259 bytes", 3, "<title>" + std::string(300, 'x'), std::string(259, 'x')},
};

using FindTitle = OutputTest;

TEST_F(FindTitle, Table) {
  for (const TitleCase& c : kTitles) {
    settings.flg_hst_type = c.type;
    state->page_title[0] = '\0';
    find_title(ctx, reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(std::string(state->page_title), c.title) << c.name;
  }
}

TEST_F(FindTitle, KeepsTheFirstTitleOfACopy) {
  const std::string one = "<title>One</title>", two = "<title>Two</title>";
  find_title(ctx, reinterpret_cast<const unsigned char*>(one.data()), one.size());
  find_title(ctx, reinterpret_cast<const unsigned char*>(two.data()), two.size());
  EXPECT_STREQ(state->page_title, "One");
}

TEST_F(FindTitle, LooksOnlyAtTheGivenLength) {
  const std::string bytes = "<title>abcdef</title>";
  find_title(ctx, reinterpret_cast<const unsigned char*>(bytes.data()), 9);
  EXPECT_STREQ(state->page_title, "ab");
}

// --- history entries ---

using History = OutputTest;

TEST_F(History, DefaultsGiveTwoLinesForAnIndexPage) {
  std::filesystem::create_directories("CACHE");
  std::filesystem::create_directories("OUT/DIR1");
  put("CACHE/M1", "<html><head><title>Welcome</title></head>\n<body>hi</body>\n");
  const char out[] = ".\\OUT\\DIR1\\INDEX.HTML";
  ASSERT_EQ(copy_cache_file(ctx, page_flags(), ".\\CACHE\\M1", out), 1);
  put_history_entry(ctx, page_flags(), "http://aa.bb.cc/dir1/index.html", "index.html", out);
  close_history(ctx);
  EXPECT_EQ(get(kPage),
            kPageHeader + file_line("", "./OUT/DIR1/INDEX.HTML", "Welcome") +
                file_line("", "./OUT/DIR1/INDEX.HTML", "http://aa.bb.cc/dir1/index.html"));
}

struct TypeCase {
  int type;
  const char* title;  // found during the copy
  std::string lines;  // "" : the page is not even created
};

const TypeCase kTypes[] = {
    {0, "T", ""},
    {1, "T", file_line("", "./A.HTM", "T")},
    {2, "T", file_line("", "./A.HTM", "http://h/")},
    {3, "T", file_line("", "./A.HTM", "T") + file_line("", "./A.HTM", "http://h/")},
    {3, "", file_line("", "./A.HTM", "http://h/") + file_line("", "./A.HTM", "http://h/")},
    {4, "", file_line("", "./A.HTM", "http://h/") + url_line("", "http://h/", "http://h/")},
    {5, "T", ""},
    {-1, "T", ""},
};

TEST_F(History, LinesByType) {
  for (const TypeCase& c : kTypes) {
    std::filesystem::remove(kPage);
    new_run();
    settings.flg_hst_type = c.type;
    std::strcpy(state->page_title, c.title);
    put_history_entry(ctx, page_flags(), "http://h/", "index.htm", ".\\A.HTM");
    close_history(ctx);
    if (c.lines.empty()) {
      EXPECT_FALSE(exists(kPage)) << c.type;
    } else {
      EXPECT_EQ(get(kPage), kPageHeader + c.lines) << c.type;
    }
  }
}

struct ModeCase {
  int mode;
  int graphic, url_ftp, filename;
  const char* url_filename;
  bool selected;
};

const ModeCase kModes[] = {
    {0, 0, 0, 0, "index.htm", false}, {1, 1, 0, 0, "a.gif", true},
    {1, 0, 0, 1, "index.htm", false}, {2, 1, 0, 1, "index.htm", true},
    {2, 1, 0, 1, "Index.HTML", true}, {2, 1, 0, 1, "INDEX.HTM", true},
    {2, 0, 0, 1, "INDEX.HT", false},  {2, 0, 0, 1, "XINDEX.HTM", false},
    {2, 0, 0, 0, "", false},          {3, 0, 0, 1, "a.htm", true},
    {3, 1, 1, 0, "", true},           {3, 1, 1, 1, "a.zip", false},
    {3, 1, 0, 0, "", false},          {4, 0, 0, 0, "index.htm", false},
    {8, 0, 0, 0, "index.htm", false}, {-1, 0, 0, 0, "index.htm", false},
};

TEST_F(History, EntriesByMode) {
  settings.flg_hst_type = 2;
  for (const ModeCase& c : kModes) {
    std::filesystem::remove(kPage);
    new_run();
    settings.flg_hst_mode = c.mode;
    EntryFlags f;
    f.flg_graphic = c.graphic;
    f.flg_url_ftp = c.url_ftp;
    f.flg_filename = c.filename;
    put_history_entry(ctx, f, "http://h/x", c.url_filename, ".\\A");
    close_history(ctx);
    const std::string want = c.selected ? kPageHeader + file_line("", "./A", "http://h/x") : "";
    EXPECT_EQ(exists(kPage) ? get(kPage) : "", want) << c.mode << " " << c.url_filename;
  }
}

TEST_F(History, HistoryModeWritesOnePlainLinePerKey) {
  settings.flg_hst_mode = 9;
  settings.flg_hst_type = 0;  // plays no part
  settings.flg_hst_date = 12;
  std::strcpy(state->page_title, "T");
  platform.opens.clear();
  for (const char* key : {"http://h/a", "http://h/b"}) put_history_entry(ctx, {}, key, key, key);
  close_history(ctx);
  EXPECT_EQ(get(kPage), kPageHeader + url_line("", "http://h/a", "http://h/a") +
                            url_line("", "http://h/b", "http://h/b"));
  for (const std::string& opened : platform.opens) EXPECT_EQ(opened, ".\\HISTORY.HTM");
}

struct LinkCase {
  const char* out_path;
  std::string link;
};

const LinkCase kLinks[] = {
    {"D:\\OUT\\HOST\\DIR\\INDEX.HTM", "/D|/OUT/HOST/DIR/INDEX.HTM"},
    {".\\OUT\\A.HTM", "./OUT/A.HTM"},
    {"c:A.HTM", "/c|A.HTM"},
    {"\\ROOT\\A", "/ROOT/A"},
    {"OUT\\\x95\x5c\\A.HTM", "OUT/\x95\x5c/A.HTM"},  // 表: its 0x5C is no separator
    {"OUT\\\xb1\\A", "OUT/\xb1/A"},                  // half-width katakana is one byte
    {"OUT\\A\"B", "OUT/A%22B"},
};

TEST_F(History, LocalLinkFromOutputPath) {
  settings.flg_hst_type = 2;
  for (const LinkCase& c : kLinks) {
    std::filesystem::remove(kPage);
    new_run();
    put_history_entry(ctx, page_flags(), "u", "index.htm", c.out_path);
    close_history(ctx);
    EXPECT_EQ(get(kPage), kPageHeader + file_line("", c.link, "u")) << c.out_path;
  }
}

struct TitleRuleCase {
  const char* name;
  int shiftjis;
  std::string title;
  std::string url;
  std::string text;
};

const TitleRuleCase kTitleRules[] = {
    {"empty title: URL", 1, "", "http://h/", "http://h/"},
    {"empty title: URL, not converted", 0, "", "http://h/\xa4\xa2", "http://h/\xa4\xa2"},
    {"euc title converted when pages were not", 0, "\xa4\xa2", "u", "\x82\xa0"},
    {"jis title converted when pages were not", 0, "A\x1b$B\x24\x22\x1b(B", "u", "A\x82\xa0"},
    {"title of a converted page left alone", 1, "\xa4\xa2", "u", "\xa4\xa2"},
};

TEST_F(History, TitleRule) {
  settings.flg_hst_type = 1;
  for (const TitleRuleCase& c : kTitleRules) {
    std::filesystem::remove(kPage);
    new_run();
    settings.flg_shiftjis = c.shiftjis;
    std::strcpy(state->page_title, c.title.c_str());
    put_history_entry(ctx, page_flags(), c.url.c_str(), "index.htm", "A");
    close_history(ctx);
    EXPECT_EQ(get(kPage), kPageHeader + file_line("", "A", c.text)) << c.name;
  }
}

TEST_F(History, UrlAsTitleIsCutTo259Bytes) {
  settings.flg_hst_type = 1;
  const std::string url = "http://h/" + std::string(300, 'p');
  put_history_entry(ctx, page_flags(), url.c_str(), "index.htm", "A");
  close_history(ctx);
  EXPECT_EQ(get(kPage), kPageHeader + file_line("", "A", url.substr(0, 259)));
}

struct DateCase {
  int bits;
  bool out_exists;
  std::string prefix;
};

const DateCase kDates[] = {
    {0, true, ""},
    {4, true, "98/07/14 "},
    {8, true, "98/07/14 09:05:20  "},
    {12, true, "98/07/14 09:05:20  "},
    {12, false, ""},
    {4, false, ""},
};

TEST_F(History, DatePrefixIsTheCopysTime) {
  settings.flg_hst_type = 1;
  platform.now = DateTime{2001, 3, 0, 4, 14, 5, 6, 0};  // not the time of the run
  for (const DateCase& c : kDates) {
    std::filesystem::remove(kPage);
    std::filesystem::remove("A.HTM");
    new_run();
    if (c.out_exists) {
      put("A.HTM", "x");
      set_times("A.HTM", utc(1998, 7, 14, 0, 5, 21), utc(1998, 7, 14, 0, 5, 21));  // 09:05:21 JST
    }
    settings.flg_hst_date = c.bits;
    std::strcpy(state->page_title, "T");
    put_history_entry(ctx, page_flags(), "u", "index.htm", "A.HTM");
    close_history(ctx);
    EXPECT_EQ(get(kPage), kPageHeader + file_line(c.prefix, "A.HTM", "T"))
        << c.bits << " " << c.out_exists;
  }
}

struct MarkupCase {
  const char* name;
  int mode, type;
  std::string title, url;
  std::string lines;
};

const MarkupCase kMarkup[] = {
    {"title text", 2, 1, "a<b>&amp;\"c</A><script>", "u",
     file_line("", "A", "a&lt;b&gt;&amp;\"c&lt;/A&gt;&lt;script&gt;")},
    {"url in target and text", 2, 4, "", "http://h/?q=\"><i>x</i>&r=1",
     file_line("", "A", "http://h/?q=\"&gt;&lt;i&gt;x&lt;/i&gt;&r=1") +
         url_line("", "http://h/?q=%22><i>x</i>&r=1",
                  "http://h/?q=\"&gt;&lt;i&gt;x&lt;/i&gt;&r=1")},
    {"history key", 9, 0, "", "http://h/\"<b>",
     url_line("", "http://h/%22<b>", "http://h/\"&lt;b&gt;")},
    {"shift-jis kept", 2, 1, "\x83\x5c<\x95\x5c", "u", file_line("", "A", "\x83\x5c&lt;\x95\x5c")},
};

TEST_F(History, CachedTextCannotAddMarkup) {
  for (const MarkupCase& c : kMarkup) {
    std::filesystem::remove(kPage);
    new_run();
    settings.flg_hst_mode = c.mode;
    settings.flg_hst_type = c.type;
    std::strcpy(state->page_title, c.title.c_str());
    put_history_entry(ctx, page_flags(), c.url.c_str(), "index.htm", "A");
    close_history(ctx);
    EXPECT_EQ(get(kPage), kPageHeader + c.lines) << c.name;
  }
}

TEST_F(History, LongestPiecesFromThePipelineAreNeverCut) {
  settings.flg_hst_date = 8;
  put("A", "x");
  const std::string url(259, '"');
  std::string lt, quote;
  for (int i = 0; i < 259; ++i) lt += "&lt;", quote += "%22";
  settings.flg_hst_type = 1;
  std::strcpy(state->page_title, std::string(259, '<').c_str());
  put_history_entry(ctx, page_flags(), url.c_str(), "index.htm", "A");
  settings.flg_hst_type = 4;
  state->page_title[0] = '\0';
  put_history_entry(ctx, page_flags(), url.c_str(), "index.htm", "A");
  close_history(ctx);
  const std::string page = get(kPage);
  EXPECT_NE(page.find("<A HREF=\"file://A\">" + lt + "</A>\r\n"), std::string::npos);
  EXPECT_NE(page.find("<A HREF=\"file://A\">" + url + "</A>\r\n"), std::string::npos);
  EXPECT_NE(page.find("<A HREF=\"" + quote + "\">" + url + "</A>\r\n"), std::string::npos);
}

// A key longer than a line can hold is cut, at a whole character, and its line still ends.
TEST_F(History, LongHistoryKeyIsCut) {
  settings.flg_hst_mode = 9;
  std::string key = "http://h/";
  for (int i = 0; i < 1000; ++i) key += "\x82\xa0";  // あ
  put_history_entry(ctx, {}, key.c_str(), key.c_str(), key.c_str());
  put_history_entry(ctx, {}, "http://next/", "http://next/", "http://next/");
  close_history(ctx);
  const std::string page = get(kPage);
  const size_t start = kPageHeader.size();
  const size_t target_end = page.find("\">", start);
  const size_t end = page.find("</A>\r\n", start);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LE(end + 5 - start, kHistoryLineMax);  // the line as formatted, without its CR
  EXPECT_EQ(page.compare(start, 26, "    <DT><A HREF=\"http://h/"), 0);
  EXPECT_EQ((target_end - start - 26) % 2, 0u);
  EXPECT_EQ(page.substr(target_end - 2, 2), "\x82\xa0");
  EXPECT_EQ((end - target_end - 11) % 2, 0u);
  EXPECT_EQ(page.substr(end - 2, 2), "\x82\xa0");
  EXPECT_EQ(page.substr(end + 6), url_line("", "http://next/", "http://next/"));
}

// --- history page ---

using HistoryPage = OutputTest;

struct SectionCase {
  int bits;
  std::string header;  // "" : none
};

const SectionCase kSections[] = {
    {0, ""},
    {1, section("98/07/14 ")},
    {2, section("98/07/14 09:05:20")},
    {3, section("98/07/14 09:05:20")},
    {4, ""},
    {13, section("98/07/14 ")},
};

TEST_F(HistoryPage, SectionHeaderWithTheTimeOfTheFirstLine) {
  for (const SectionCase& c : kSections) {
    std::filesystem::remove(kPage);
    new_run();
    settings.flg_hst_date = c.bits;
    platform.now = DateTime{1998, 7, 2, 14, 9, 5, 21, 0};
    hst_printf(ctx, "first %d\n", 1);
    platform.now = DateTime{1999, 1, 2, 3, 4, 5, 6, 0};
    hst_printf(ctx, "second %s\n", "x");
    close_history(ctx);
    EXPECT_EQ(get(kPage), kPageHeader + c.header + "first 1\r\nsecond x\r\n") << c.bits;
  }
}

TEST_F(HistoryPage, SecondRunAppendsASection) {
  settings.flg_hst_date = 2;
  platform.now = DateTime{1998, 7, 2, 14, 9, 5, 21, 0};
  hst_printf(ctx, "one\n");
  new_run();
  platform.now = DateTime{2001, 12, 2, 31, 23, 59, 59, 0};
  hst_printf(ctx, "two\n");
  close_history(ctx);
  EXPECT_EQ(get(kPage), kPageHeader + section("98/07/14 09:05:20") + "one\r\n" +
                            section("01/12/31 23:59:58") + "two\r\n");
}

TEST_F(HistoryPage, WithoutSectionsRunsShareOneList) {
  hst_printf(ctx, "one\n");
  new_run();
  hst_printf(ctx, "two\n");
  close_history(ctx);
  EXPECT_EQ(get(kPage), kPageHeader + "one\r\ntwo\r\n");
}

TEST_F(HistoryPage, ExistingEmptyPageGetsNoHeader) {
  put(kPage, "");
  settings.flg_hst_date = 1;
  platform.now = DateTime{1998, 7, 2, 14, 9, 5, 21, 0};
  hst_printf(ctx, "one\n");
  close_history(ctx);
  EXPECT_EQ(get(kPage), section("98/07/14 ") + "one\r\n");
}

TEST_F(HistoryPage, RunThatRecordsNothingLeavesThePageAlone) {
  settings.flg_hst_date = 3;
  put(kPage, "old page");
  set_times(kPage, utc(1998, 7, 14, 0, 5, 21), utc(1998, 7, 14, 0, 5, 21));
  put_history_entry(ctx, page_flags(), "http://h/a.gif", "a.gif", ".\\A.GIF");  // not selected
  close_history(ctx);
  EXPECT_EQ(get(kPage), "old page");
  EXPECT_EQ(status(kPage).st_mtime, utc(1998, 7, 14, 0, 5, 21));

  std::filesystem::remove(kPage);
  new_run();
  close_history(ctx);
  EXPECT_FALSE(exists(kPage));
}

TEST_F(HistoryPage, SwitchedOffNeverOpens) {
  settings.flg_hst_file = 0;
  settings.flg_hst_date = 3;
  platform.opens.clear();
  put_history_entry(ctx, page_flags(), "http://h/", "index.htm", ".\\A");
  hst_printf(ctx, "x\n");
  close_history(ctx);
  EXPECT_FALSE(exists(kPage));
  EXPECT_TRUE(platform.opens.empty());
  EXPECT_EQ(platform.console, "");
}

TEST_F(HistoryPage, PageThatCannotOpenCostsOneErrorLinePerLostLine) {
  ASSERT_TRUE(messages.open_log("LOG.TXT"));
  settings.flg_hst_date = 0;
  bool refuse = true;
  platform.fail = [&](const char* op, const char* path) {
    return refuse && std::strcmp(op, "open") == 0 && std::strcmp(path, ".\\HISTORY.HTM") == 0;
  };
  messages.verbose = false;  // not a verbose message: shown all the same
  put_history_entry(ctx, page_flags(), "http://h/", "index.htm", ".\\A");  // two lines
  hst_printf(ctx, "third\n");
  const std::string once = "file can't open '.\\HISTORY.HTM'.\n\n";
  EXPECT_EQ(platform.console, once + once + once);
  EXPECT_FALSE(exists(kPage));

  refuse = false;
  hst_printf(ctx, "fourth\n");
  close_history(ctx);
  messages.close_log();
  platform.fail = nullptr;
  EXPECT_EQ(get(kPage), kPageHeader + "fourth\r\n");
  EXPECT_EQ(get("LOG.TXT"), "");
}

TEST_F(HistoryPage, TextIsCutTo2047Bytes) {
  const std::string long_text(3000, 'b');
  hst_printf(ctx, "%s", long_text.c_str());
  close_history(ctx);
  EXPECT_EQ(get(kPage), kPageHeader + std::string(2047, 'b'));
}

}  // namespace
}  // namespace volari::testing
