// The manifest's CSV, its rows and the sites page made from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/csv.h"
#include "output/manifest.h"
#include "output/sites_page.h"

namespace volari::testing {
namespace {

using Records = std::vector<CsvRecord>;

// Fields quoted when they must be, and read back; loose and malformed text read as it can be.
TEST(Csv, WrittenAndRead) {
  const struct {
    std::string text;
    Records records;
    bool written;  // as append_csv_record writes the records
    size_t faults = 0;
  } cases[] = {
      {"\"a,b\",\"say \"\"hi\"\"\",\"\"\"\",x\r\n", {{"a,b", "say \"hi\"", "\"", "x"}}, true},
      {"\"line\r\nbreak\",\"lf\n\",\"cr\r\"\r\n", {{"line\r\nbreak", "lf\n", "cr\r"}}, true},
      {"\" lead\",\"trail\t\",in side\r\n", {{" lead", "trail\t", "in side"}}, true},
      {"\"\"\r\n,\r\n", {{""}, {"", ""}}, true},
      {"\"\xEF\xBB\xBFx\"\r\n", {{"\xEF\xBB\xBFx"}}, true},
      {"\xEF\xBB\xBFu,v\nw\r\n\r\n\nx\ry", {{"u", "v"}, {"w"}, {"x"}, {"y"}}, false},
      {"\"a\nb\",c,", {{"a\nb", "c", ""}}, false},
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
  EXPECT_EQ(make_manifest_row(full, ".\\H\\").path, "\xE8\xA1\xA8/%85.HTM");
  EXPECT_EQ(make_manifest_row(full, "D:\\OUT\\").path, "H/\xE8\xA1\xA8/%85.HTM");
}

// Loaded by column names; a run's entries replace rows, but for the two skips; new URLs add rows.
TEST(Manifest, LoadedRowsMergedAndWrittenBack) {
  Manifest m;
  ASSERT_TRUE(
      load_manifest("extra,status,url,title\r\nx,converted,http://a/1,One\r\n"
                    "x,converted,http://a/2,Two\r\nx,cgi,http://a/3,\xFF\r\n"
                    "x,converted,http://a/3,Three\r\n,converted,,none\r\n",
                    m));
  for (const ManifestEntry& e :
       {entry(EntryStatus::copy_failed, "http://a/1"),
        entry(EntryStatus::before_last_time, "http://a/2"),
        entry(EntryStatus::other_host, "http://b/"), entry(EntryStatus::converted, "")}) {
    record_entry(m, e, ".\\");
  }
  const std::string text = manifest_text(m);
  EXPECT_EQ(text,
            "\xEF\xBB\xBFurl,status,path,kind,title,time,size,content_type,charset,encoding,"
            "cache_file\r\nhttp://a/1,copy_failed,,,,,,,,,\r\nhttp://a/2,converted,,,Two,,,,,,\r\n"
            "http://a/3,converted,,,Three,,,,,,\r\nhttp://b/,other_host,,,,,,,,,\r\n");
  Manifest other;
  EXPECT_FALSE(load_manifest("name,value\r\nurl,x\r\n", other));
  EXPECT_TRUE(load_manifest("", other));
  EXPECT_TRUE(load_manifest("url,title\nhttp://h/\xFF,\xE3\x81\n", other));
  EXPECT_EQ(other.rows.begin()->first + other.rows.begin()->second.title,
            "http://h/%FF\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(SitesPage, SectionsCountsOrderAndEscaping) {
  Manifest m;
  auto add = [&](std::string url, std::string kind, std::string path, std::string title,
                 std::string time, std::string status = "converted") {
    ManifestRow& r = m.rows[url];
    r.url = url, r.kind = kind, r.path = path, r.title = title, r.time = time, r.status = status;
  };
  add("http://Zz.jp/b", "page", "JP/ZZ/B.HTM", "B<i>&\"", "1998-01-02T03:04:05");
  add("http://zz.jp/a", "page", "JP/ZZ/A #?%\".HTM", "", "1999-12-31T23:59:59");
  add("http://zz.jp/c.gif", "image", "JP/ZZ/C.GIF", "", "");
  add("http://u@aa.jp:8080/", "page", "JP/AA/\xE8\xA1\xA8.HTM", "\xC3\xA9\xE8\xA1\xA8\xFF", "x");
  add("http://aa.jp:8080/s", "page", "JP/AA/S.HTM", "skipped", "", "copy_failed");
  for (int i = 0; i < 60; ++i) {
    const std::string n = std::to_string(100 + i);
    add("file:///" + n, "page", n, "", "2000-01-01T00:00:" + n.substr(1));
  }
  const std::string page = sites_page(m);
  const std::string in_order[] = {
      "<A HREF=\"#site1\">(no host)</A> (60 pages, 0 images)",
      "<A HREF=\"#site2\">aa.jp:8080</A> (1 page, 0 images)",
      "<A HREF=\"#site3\">zz.jp</A> (2 pages, 1 image)",
      "<OL>\r\n<LI><A HREF=\"159\">159</A> 2000-01-01 00:00\r\n<LI><A HREF=\"158\">",
      "<A HREF=\"110\">110</A> 2000-01-01 00:00\r\n</OL>",
      "<A HREF=\"JP/AA/%E8%A1%A8.HTM\">&#233;\x95\x5c&#65533;</A> x\r\n",
      "<A NAME=\"site3\">zz.jp</A></H3>\r\n<P>2 pages, 1 image</P>\r\n<UL>\r\n"
      "<LI><A HREF=\"JP/ZZ/A%20%23%3F%25%22.HTM\">JP/ZZ/A #?%&quot;.HTM</A> 1999-12-31 23:59\r\n"
      "<LI><A HREF=\"JP/ZZ/B.HTM\">B&lt;i&gt;&amp;&quot;</A> 1998-01-02 03:04\r\n</UL>",
  };
  size_t at = 0;
  for (const std::string& piece : in_order) {
    const size_t found = page.find(piece, at);
    EXPECT_NE(found, std::string::npos) << piece;
    if (found != std::string::npos) at = found + piece.size();
  }
  EXPECT_EQ(page.find("skipped"), std::string::npos);
}

}  // namespace
}  // namespace volari::testing
