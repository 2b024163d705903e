// The manifest's CSV, its rows and the sites page made from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/csv.h"
#include "output/manifest.h"
#include "output/sites_page.h"

namespace volari::testing {
namespace {

// Fields quoted when they must be, and read back; loose and malformed text read as it can be.
TEST(Csv, WrittenAndRead) {
  const struct {
    std::string text;
    std::vector<CsvRecord> records;
    bool written;  // as append_csv_record writes the records
    size_t faults = 0;
  } cases[] = {
      {"\"a,b\",\"say \"\"hi\"\"\",\"\"\"\",x\r\n", {{"a,b", "say \"hi\"", "\"", "x"}}, true},
      {"\"line\r\nbreak\",\"lf\n\",\"cr\r\"\r\n", {{"line\r\nbreak", "lf\n", "cr\r"}}, true},
      {"\"\"\r\n,\r\n", {{""}, {"", ""}}, true},
      {"\"\xEF\xBB\xBFx\"\r\n", {{"\xEF\xBB\xBFx"}}, true},
      {"\xEF\xBB\xBFu,v\nw\r\n\r\n\nx\ry", {{"u", "v"}, {"w"}, {"x"}, {"y"}}, false},
      {"a\"b,\"c\"d\"e\n", {{"a\"b", "cd\"e"}}, false, 3},
      {" \"a\",b", {{" \"a\"", "b"}}, false, 2},
      {"x,\"open\r\nrest", {{"x", "open\r\nrest"}}, false, 1},
  };
  for (const auto& c : cases) {
    std::string text;
    for (const auto& r : c.records) append_csv_record(r, text);
    EXPECT_TRUE(!c.written || text == c.text) << text;
    const CsvText got = parse_csv(c.text);
    EXPECT_EQ(got.records, c.records) << c.text;
    EXPECT_EQ(got.faults, c.faults) << c.text;
  }
}

ManifestEntry entry(EntryStatus status, std::string url) {
  ManifestEntry e;
  e.status = status;
  e.url = std::move(url);
  return e;
}

TEST(Manifest, RowFromEntry) {
  ManifestEntry full = entry(EntryStatus::converted, "http://h/\x82\xa0\x85");
  full.out_path = ".\\H\\\x95\\\\\x85.HTM";
  full.title = " \x93\xfa\x96\x7b\r\n &amp;&lt;b&gt;&#x41;&#66; &#0;&bogus; \x85 ";
  full.size = 5000000000u;
  const ManifestRow row = make_manifest_row(full, ".\\");
  EXPECT_EQ(row.url, "http://h/\xE3\x81\x82%85");
  EXPECT_EQ(row.path, "H/\xE8\xA1\xA8/%85.HTM");  // 0x5C of a double-byte character kept
  EXPECT_EQ(row.title, "\xE6\x97\xA5\xE6\x9C\xAC &<b>AB &#0;&bogus; \xEF\xBF\xBD");
  EXPECT_EQ(row.size, "5000000000");
}

// Loaded by column names; a run's entries replace rows, but for the two skips; new URLs add rows.
TEST(Manifest, LoadedRowsMergedAndWrittenBack) {
  Manifest m;
  ASSERT_TRUE(
      load_manifest("extra,status,url,title\r\nx,converted,http://a/1,One\r\n"
                    "x,cgi,http://a/2,Old\r\nx,converted,http://a/2,Two\r\n"
                    ",converted,,none\r\nx,converted,http://h/\xFF,\xE3\x81\r\n",
                    m));
  for (const ManifestEntry& e :
       {entry(EntryStatus::copy_failed, "http://a/1"),
        entry(EntryStatus::before_last_time, "http://a/2"),
        entry(EntryStatus::other_host, "http://b/"), entry(EntryStatus::converted, "")}) {
    record_entry(m, e, ".\\");
  }
  EXPECT_EQ(
      manifest_text(m),
      "\xEF\xBB\xBFurl,status,path,kind,title,time,size,content_type,charset,encoding,"
      "cache_file\r\nhttp://a/1,copy_failed,,,,,,,,,\r\nhttp://a/2,converted,,,Two,,,,,,\r\n"
      "http://b/,other_host,,,,,,,,,\r\nhttp://h/%FF,converted,,,\xEF\xBF\xBD\xEF\xBF\xBD,,,,,,"
      "\r\n");
  EXPECT_FALSE(load_manifest("name,value\r\nurl,x\r\n", m));  // not a manifest: left alone
}

// Hosts in any case are one site; titles and paths escaped; the 50 newest pages, ties by URL.
TEST(SitesPage, SitesAndNewestPages) {
  Manifest m;
  const auto add = [&](std::string url, std::string path, std::string title, std::string time) {
    m.rows[url] = ManifestRow{url, "converted", path, "page", title, time};
  };
  add("http://Zz.jp/b", "B.HTM", "B<i>&\"", "1998-01-02T03:04:05");
  add("http://u@zz.jp:80/a", "A #?%\".HTM", "\xC3\xA9\xE8\xA1\xA8\xFF", "x");
  for (int i = 100; i < 160; ++i)
    add("file:///" + std::to_string(i), std::to_string(i), "", "2000");
  const std::string page = sites_page(m);
  for (const std::string piece :
       {"<A HREF=\"#site2\">zz.jp</A> (1 page, 0 images)\r\n<LI><A HREF=\"#site3\">zz.jp:80</A>",
        "<OL>\r\n<LI><A HREF=\"100\">100</A> 2000\r\n<LI><A HREF=\"101\">",
        "<A HREF=\"149\">149</A> 2000\r\n</OL>",
        "<LI><A HREF=\"A%20%23%3F%25%22.HTM\">&#233;\x95\x5c&#65533;</A> x\r\n",
        "<LI><A HREF=\"B.HTM\">B&lt;i&gt;&amp;&quot;</A> 1998-01-02 03:04\r\n</UL>"}) {
    EXPECT_NE(page.find(piece), std::string::npos) << piece;
  }
}

}  // namespace
}  // namespace volari::testing
