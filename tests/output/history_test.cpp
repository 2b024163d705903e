// The history page: the lines of an entry, the page they go to, and history-file records.
#include <filesystem>
#include <string>

#include "output/history_record.h"
#include "output/history_visits.h"
#include "output/output_fixture.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

const std::string kPageHeader =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n"
    "<TITLE>History from VOLARI</TITLE>\r\n<H2>History from VOLARI</H2>\r\n<DL><P>\r\n";
constexpr char kPage[] = "HISTORY.HTM";

std::string line(const std::string& target, const std::string& text) {
  return "    <DT><A HREF=\"" + target + "\">" + text + "</A>\r\n";
}

using History = OutputTest;

// One entry of a fresh run, by mode and type: its lines, title and local link; "" for no page.
TEST_F(History, EntryLines) {
  const std::string u = "http://h/", long_url = u + std::string(300, 'p');
  const std::string lt(259, '<'), quotes(259, '"');
  std::string lt_text, quotes_target;
  for (int i = 0; i < 259; ++i) lt_text += "&lt;", quotes_target += "%22";
  const struct {
    int mode, type, shiftjis;
    std::string title;  // found during the copy
    std::string url;
    const char* out;
    std::string lines;
    EntryFlags flags = EntryFlags{false};
    const char* url_filename = "index.htm";
  } cases[] = {
      {2, 0, 1, "T", u, "A", ""},
      {2, 2, 1, "T", u, "A", line("file://A", u)},
      {2, 5, 1, "T", u, "A", ""},
      // The title: the URL when the copy found none; converted only when pages were not.
      {2, 1, 0, "", u + "\xa4\xa2", "A", line("file://A", u + "\xa4\xa2")},
      {2, 1, 1, "", long_url, "A", line("file://A", long_url.substr(0, 259))},
      {2, 1, 0, "\xa4\xa2\x1b$B\x24\x22\x1b(B", u, "A", line("file://A", "\x82\xa0\x82\xa0")},
      // Cached text adds no markup; the longest pieces of the pipeline are never cut.
      {2, 1, 1, lt, u, "A", line("file://A", lt_text)},
      {2, 4, 1, "", quotes, "A", line("file://A", quotes) + line(quotes_target, quotes)},
      // The local link: a drive, a 0x5C inside a character (表), half-width katakana.
      {2, 2, 1, "", u, "D:\\OUT\\H.HTM", line("file:///D|/OUT/H.HTM", u)},
      {2, 2, 1, "", u, "O\\\x95\x5c\\\xb1\\A", line("file://O/\x95\x5c/\xb1/A", u)},
      // The entries each mode chooses: 2 the index pages, 3 pages and FTP files without name.
      {0, 2, 1, "", u, "A", ""},
      {1, 2, 1, "", u, "A", line("file://A", u), EntryFlags{true, false, false}, "a.gif"},
      {1, 2, 1, "", u, "A", "", EntryFlags{false, false, true}},
      {2, 2, 1, "", u, "A", line("file://A", u), EntryFlags{true, false, true}, "Index.HTML"},
      {2, 2, 1, "", u, "A", "", EntryFlags{false, false, true}, "INDEX.HT"},
      {2, 2, 1, "", u, "A", "", EntryFlags{false, false, true}, "XINDEX.HTM"},
      {3, 2, 1, "", u, "A", line("file://A", u), EntryFlags{false, false, true}, "a.htm"},
      {3, 2, 1, "", u, "A", line("file://A", u), EntryFlags{true, true, false}, ""},
      {3, 2, 1, "", u, "A", "", EntryFlags{true, true, true}, "a.zip"},
      {3, 2, 1, "", u, "A", "", EntryFlags{true, false, false}, ""},
      {4, 2, 1, "", u, "A", ""},
  };
  for (const auto& c : cases) {
    settings.flg_hst_mode = c.mode;
    settings.flg_hst_type = c.type;
    settings.flg_shiftjis = c.shiftjis;
    std::filesystem::remove(kPage);
    close_history(ctx);  // a new run
    put_history_entry(ctx, c.flags, c.title, c.url.c_str(), c.url_filename, c.out);
    close_history(ctx);
    EXPECT_EQ(dir.exists(kPage) ? get(kPage) : "", c.lines.empty() ? "" : kPageHeader + c.lines)
        << "row " << &c - cases;
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
  EXPECT_EQ(page.substr(target_end - 2, 2), "\x82\xa0");
  EXPECT_EQ(page.substr(end - 2, 2), "\x82\xa0");
  EXPECT_EQ(page.substr(end + 6), line("http://next/", "http://next/"));
}

// A page that cannot be opened is tried again by the next text; one that cannot be written is
// reported. Either way the run hears of it.
TEST_F(History, PageThatCannotBeWritten) {
  bool refuse = true;
  platform.fail = [&](Op op, const std::string&) { return refuse && op == Op::open; };
  hst_printf(ctx, "first\n");
  refuse = false;
  hst_printf(ctx, "%s", std::string(3000, 'b').c_str());
  EXPECT_FALSE(close_history(ctx));
  EXPECT_EQ(get(kPage), kPageHeader + std::string(2047, 'b'));  // a text is cut to 2047 bytes
  platform.console.clear();
  platform.fail = [&](Op op, const std::string&) { return op == Op::write; };
  messages.verbose = false;  // not a verbose message: shown all the same
  hst_printf(ctx, "third\n");
  EXPECT_FALSE(close_history(ctx));
  EXPECT_EQ(platform.console, "file can't write './HISTORY.HTM'.\n\n");
  platform.fail = nullptr;
  hst_printf(ctx, "fourth\n");
  EXPECT_TRUE(close_history(ctx));
}

std::string le(uint32_t v) {
  return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

constexpr uint32_t kFrom = 631152000, kTo = 1293840000;  // 1990-01-01, 2011-01-01 UTC
constexpr uint32_t kT = 900000000;                       // 35 A4 E9 00: 1970 when swapped
constexpr auto N3 = HistoryLayout::navigator3, C4 = HistoryLayout::communicator4,
               NONE = HistoryLayout::unknown;
const std::string kHead = le(kT) + le(kT) + le(3) + le(1);  // Communicator 4, little-endian

// The bounds of what decodes; both layouts in both byte orders are in the history-visits
// transcript.
TEST(HistoryRecord, DecodeTable) {
  const struct {
    std::string bytes;
    bool big_endian;  // the file's byte order
    HistoryLayout layout;
    uint32_t last = 0, count = 0;
    std::string title;
  } cases[] = {
      {le(kFrom), true, N3, kFrom},  // the first plausible second, and the last
      {le(kTo - 1), false, N3, kTo - 1},
      {le(kFrom - 1), true, NONE},
      {le(kTo), false, NONE},
      {"\x38\x6c\x1c\x30"s + le(0) + le(0) + le(0), true, C4, 946609200},  // plausible both ways
      {kHead + "ab\0cd\0"s, false, C4, kT, 3, "ab"},
      {kHead + "abc", true, C4, kT, 3, "abc"},
      {kHead + std::string(5000, 'x'), false, C4, kT, 3, std::string(259, 'x')},
      {le(kT).substr(0, 3), false, NONE},  // too short for either layout, between them
      {le(kT) + "\0"s, false, NONE},
      {kHead.substr(0, 15), false, NONE},
  };
  for (const auto& c : cases) {
    const std::vector<unsigned char> data(c.bytes.begin(), c.bytes.end());  // exact size
    const HistoryRecord r = decode_history_record(data.data(), data.size(), c.big_endian);
    EXPECT_EQ(r.layout, c.layout) << &c - cases;
    EXPECT_EQ(r.last_visit, c.last) << &c - cases;
    EXPECT_EQ(r.first_visit, c.layout == C4 && c.last == kT ? kT : 0) << &c - cases;
    EXPECT_EQ(r.visit_count, c.count) << &c - cases;
    EXPECT_EQ(std::string(r.title), c.title) << &c - cases;
  }
}

// Stale copies and undecodable records of one URL.
TEST_F(History, EachVisitedUrlOnceNewestFirst) {
  const auto rec = [](HistoryLayout layout, uint32_t last, const char* title = "") {
    HistoryRecord r;
    r.layout = layout, r.last_visit = last, r.title = title;
    return r;
  };
  HistoryVisits visits;
  for (const char* url : {"http://x/", "http://a/", "http://b/", "http://y/"})
    visits.add(url, rec(NONE, 0));
  visits.add("http://a/", rec(N3, kT));
  visits.add("http://b/", rec(C4, kT + 1, "B"));
  visits.add("http://a/", rec(N3, kT + 7));
  visits.add("http://x/", rec(NONE, 0));
  visits.write(ctx);
  visits.write(ctx);
  close_history(ctx);
  EXPECT_EQ(get(kPage),
            kPageHeader + "    <DT>98/07/10 01:00:07  " + line("http://a/", "http://a/").substr(8) +
                "    <DT>98/07/10 01:00:01  <A HREF=\"http://b/\">B</A> (visits 0)\r\n" +
                line("http://x/", "http://x/") + line("http://y/", "http://y/"));
}

}  // namespace
}  // namespace volari::testing
