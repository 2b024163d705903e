#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "output/output_fixture.h"
#include "support/japanese.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

const std::string kPageHeader =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n"
    "<TITLE>History from VOLARI</TITLE>\r\n<H2>History from VOLARI</H2>\r\n<DL><P>\r\n";
constexpr char kPage[] = "HISTORY.HTM";
constexpr time_t kWritten = 900374721;  // 1998-07-14 00:05:21 UTC, 09:05:21 in Tokyo

std::string file_line(const std::string& link, const std::string& text,
                      const std::string& prefix = "") {
  return "    <DT>" + prefix + "<A HREF=\"file://" + link + "\">" + text + "</A>\r\n";
}
std::string url_line(const std::string& url, const std::string& text) {
  return "    <DT><A HREF=\"" + url + "\">" + text + "</A>\r\n";
}

using FindTitle = OutputTest;

TEST_F(FindTitle, Table) {
  const struct {
    const char* name;
    int type;
    std::string bytes, title;
    const char* before = "";  // title found earlier in the copy
    size_t length = std::string::npos;
  } cases[] = {
      {"upper case", 1, "<html><TITLE>Welcome</TITLE></html>", "Welcome"},
      {"mixed case tag", 3, "<Title>Welcome</Title>", ""},
      {"mixed case closing tag is kept", 3, "<title>a</Title>b", "a</Title>b"},
      {"first closing tag cuts", 3, "<title>a</TITLE>b</title>", "a"},
      {"one byte after the tag", 3, "<title>A", "A"},
      {"a tag needs a byte after it", 3, "ab<title>", ""},
      {"'<' before the tag", 3, "<<title>A", "A"},
      {"stops at a zero byte", 3, "<title>ab\0cd</title>"s, "ab"},
      {"spaces kept, nothing decoded", 3, "<title> a &amp; b </title>", " a &amp; b "},
      {"type 2 does not look", 2, "<title>Welcome</title>", ""},
      {"odd type without lines looks", 5, "<title>Welcome</title>", "Welcome"},
      {"at most 259 bytes", 3, "<title>" + std::string(300, 'x'), std::string(259, 'x')},
      {"first title of a copy stays", 3, "<title>Two</title>", "One", "One"},
      {"only the given length", 3, "<title>abcdef</title>", "ab", "", 9},
  };
  for (const auto& c : cases) {
    TitleFinder finder((c.type & 1) != 0);
    const std::string before = std::string("<title>") + c.before;
    if (*c.before) finder.see(reinterpret_cast<const unsigned char*>(before.data()), before.size());
    finder.see(reinterpret_cast<const unsigned char*>(c.bytes.data()),
               std::min(c.length, c.bytes.size()));
    EXPECT_EQ(finder.title(), c.title) << c.name;
  }
}

class History : public OutputTest {
 protected:
  // The page of a fresh run that records one entry whose copy found `title`; "" for no page.
  std::string page_of(const char* title, const std::string& url, const char* out,
                      EntryFlags flags = EntryFlags{false},
                      const char* url_filename = "index.htm") {
    std::filesystem::remove(kPage);
    new_run();
    put_history_entry(ctx, flags, title, url.c_str(), url_filename, out);
    close_history(ctx);
    return dir.exists(kPage) ? get(kPage) : "";
  }
};

// One entry of a fresh run in mode 2: its lines by type, its title and its local link.
TEST_F(History, LinesByTypeTitleAndLink) {
  const std::string u = "http://h/", long_url = u + std::string(300, 'p');
  const std::string lt(259, '<'), quotes(259, '"');
  std::string lt_text, quotes_target;
  for (int i = 0; i < 259; ++i) lt_text += "&lt;", quotes_target += "%22";
  const std::string markup_url = "http://h/?q=\"><i>x</i>&r=1";
  const std::string markup_text = "http://h/?q=\"&gt;&lt;i&gt;x&lt;/i&gt;&r=1";
  const struct {
    int type, shiftjis;
    std::string title;  // found during the copy
    std::string url;
    const char* out;
    std::string lines;  // "": the page is not even created
  } cases[] = {
      {0, 1, "T", u, "A", ""},
      {1, 1, "T", u, "A", file_line("A", "T")},
      {2, 1, "T", u, "A", file_line("A", u)},
      {3, 1, "T", u, "A", file_line("A", "T") + file_line("A", u)},
      {4, 1, "", u, "A", file_line("A", u) + url_line(u, u)},
      {5, 1, "T", u, "A", ""},
      // The title: the URL when the copy found none; converted only when pages were not.
      {1, 0, "", u + "\xa4\xa2", "A", file_line("A", u + "\xa4\xa2")},
      {1, 1, "", long_url, "A", file_line("A", long_url.substr(0, 259))},
      {1, 0, "\xa4\xa2\x1b$B\x24\x22\x1b(B", u, "A", file_line("A", "\x82\xa0\x82\xa0")},
      {1, 1, "\xa4\xa2", u, "A", file_line("A", "\xa4\xa2")},
      // Cached text cannot add markup; the longest pieces of the pipeline are never cut.
      {1, 1, "a<b>&amp;\"c</A><script>", u, "A",
       file_line("A", "a&lt;b&gt;&amp;\"c&lt;/A&gt;&lt;script&gt;")},
      {4, 1, "", markup_url, "A",
       file_line("A", markup_text) + url_line("http://h/?q=%22><i>x</i>&r=1", markup_text)},
      {1, 1, lt, u, "A", file_line("A", lt_text)},
      {4, 1, "", quotes, "A", file_line("A", quotes) + url_line(quotes_target, quotes)},
      // The local link.
      {2, 1, "", u, "D:\\OUT\\HOST\\INDEX.HTM", file_line("/D|/OUT/HOST/INDEX.HTM", u)},
      {2, 1, "", u, "c:A.HTM", file_line("/c|A.HTM", u)},
      {2, 1, "", u, "OUT\\\x95\x5c\\A", file_line("OUT/\x95\x5c/A", u)},  // 表: 0x5C inside
      {2, 1, "", u, "OUT\\\xb1\\A", file_line("OUT/\xb1/A", u)},  // half-width katakana: one byte
      {2, 1, "", u, "OUT\\A\"B", file_line("OUT/A%22B", u)},
  };
  for (const auto& c : cases) {
    settings.flg_hst_type = c.type;
    settings.flg_shiftjis = c.shiftjis;
    EXPECT_EQ(page_of(c.title.c_str(), c.url, c.out), c.lines.empty() ? "" : kPageHeader + c.lines)
        << "row " << &c - cases;
  }
}

TEST_F(History, EntriesByMode) {
  const struct {
    int mode, graphic, url_ftp, filename;
    const char* url_filename;
    bool selected;
  } cases[] = {
      {0, 0, 0, 0, "index.htm", false}, {1, 1, 0, 0, "a.gif", true},
      {1, 0, 0, 1, "index.htm", false}, {2, 1, 0, 1, "Index.HTML", true},
      {2, 0, 0, 1, "INDEX.HT", false},  {2, 0, 0, 1, "XINDEX.HTM", false},
      {3, 0, 0, 1, "a.htm", true},      {3, 1, 1, 0, "", true},
      {3, 1, 1, 1, "a.zip", false},     {3, 1, 0, 0, "", false},
      {4, 0, 0, 0, "index.htm", false},
  };
  settings.flg_hst_type = 2;
  for (const auto& c : cases) {
    settings.flg_hst_mode = c.mode;
    EXPECT_EQ(page_of("", "http://h/x", ".\\A",
                      EntryFlags{c.graphic != 0, c.url_ftp != 0, c.filename != 0}, c.url_filename),
              c.selected ? kPageHeader + file_line("./A", "http://h/x") : "")
        << c.mode << " " << c.url_filename;
  }
}

// A key longer than a line can hold is cut, at a whole character, and its line still ends.
TEST_F(History, LongHistoryKeyIsCut) {
  settings.flg_hst_mode = 9;
  std::string key = "http://h/";
  for (int i = 0; i < 1000; ++i) key += "\x82\xa0";  // あ
  put_history_entry(ctx, {}, "", key.c_str(), key.c_str(), key.c_str());
  put_history_entry(ctx, {}, "", "http://next/", "http://next/", "http://next/");
  close_history(ctx);
  const std::string page = get(kPage);
  const size_t start = kPageHeader.size();
  const size_t target_end = page.find("\">", start);
  const size_t end = page.find("</A>\r\n", start);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LE(end + 5 - start, kHistoryLineMax);  // the line as formatted, without its CR
  // Both pieces end in a whole あ, not in half of one.
  EXPECT_EQ(page.substr(target_end - 2, 2), "\x82\xa0");
  EXPECT_EQ(page.substr(end - 2, 2), "\x82\xa0");
  EXPECT_EQ(page.substr(end + 6), url_line("http://next/", "http://next/"));
}

using HistoryPage = OutputTest;

// A page that cannot be opened or written is reported once a run, on the console only, and the
// run hears of it; a later call still tries to open it.
TEST_F(HistoryPage, PageThatCannotBeWrittenIsReportedOnce) {
  ASSERT_TRUE(messages.open_log("LOG.TXT"));
  bool refuse = true;
  platform.fail = [&](Op op, const std::string& path) {
    return refuse && op == Op::open && path == ".\\HISTORY.HTM";
  };
  messages.verbose = false;  // not a verbose message: shown all the same
  put_history_entry(ctx, EntryFlags{false}, "", "http://h/", "index.htm", ".\\A");  // two lines
  hst_printf(ctx, "third\n");
  EXPECT_EQ(platform.console, "file can't open './HISTORY.HTM'.\n\n");  // shown the Linux way
  EXPECT_FALSE(dir.exists(kPage));

  refuse = false;
  hst_printf(ctx, "fourth\n");
  EXPECT_FALSE(close_history(ctx));
  EXPECT_EQ(get(kPage), kPageHeader + "fourth\r\n");

  platform.console.clear();
  platform.fail = [&](Op op, const std::string&) { return op == Op::write; };
  hst_printf(ctx, "fifth\n");
  EXPECT_FALSE(close_history(ctx));
  EXPECT_EQ(platform.console, "file can't write './HISTORY.HTM'.\n\n");
  platform.fail = nullptr;
  hst_printf(ctx, "sixth\n");
  EXPECT_TRUE(close_history(ctx));
  messages.close_log();
  EXPECT_EQ(get("LOG.TXT"), "");
}

TEST_F(HistoryPage, TextIsCutTo2047Bytes) {
  hst_printf(ctx, "%s", std::string(3000, 'b').c_str());
  close_history(ctx);
  EXPECT_EQ(get(kPage), kPageHeader + std::string(2047, 'b'));
}

}  // namespace
}  // namespace volari::testing
