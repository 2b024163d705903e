#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/csv.h"
#include "output/manifest.h"
#include "output/sites_page.h"

namespace volari::testing {
namespace {

using Records = std::vector<CsvRecord>;

TEST(Csv, WrittenAndReadBack) {
  const struct {
    Records records;
    std::string text;
  } cases[] = {
      {{{"a", "b", ""}, {"1"}}, "a,b,\r\n1\r\n"},
      {{{"a,b", "say \"hi\"", "\"", "x"}}, "\"a,b\",\"say \"\"hi\"\"\",\"\"\"\",x\r\n"},
      {{{"line\r\nbreak", "lf\n", "cr\r"}}, "\"line\r\nbreak\",\"lf\n\",\"cr\r\"\r\n"},
      {{{" lead", "trail\t", "in side"}}, "\" lead\",\"trail\t\",in side\r\n"},
      {{{""}, {"", ""}}, "\"\"\r\n,\r\n"},
      {{{"\xEF\xBB\xBFx"}}, "\"\xEF\xBB\xBFx\"\r\n"},
      {{{"\xE6\x97\xA5\xE6\x9C\xAC", "\xE8\xA1\xA8,"}},
       "\xE6\x97\xA5\xE6\x9C\xAC,\"\xE8\xA1\xA8,\"\r\n"},
  };
  for (const auto& c : cases) {
    std::string text;
    for (const auto& r : c.records) append_csv_record(r, text);
    EXPECT_EQ(text, c.text);
    const CsvText back = parse_csv(text);
    EXPECT_EQ(back.records, c.records) << c.text;
    EXPECT_EQ(back.faults, 0u) << c.text;
  }
}

TEST(Csv, ReadsLooseAndMalformedText) {
  const struct {
    std::string text;
    Records records;
    size_t faults;
  } cases[] = {
      {"\xEF\xBB\xBFu,v\nw\r\n\r\n\nx\ry", {{"u", "v"}, {"w"}, {"x"}, {"y"}}, 0},
      {"\"a\nb\",c,", {{"a\nb", "c", ""}}, 0},
      {"a\"b,\"c\"d\"e\n", {{"a\"b", "cd\"e"}}, 3},
      {" \"a\",b", {{" \"a\"", "b"}}, 2},
      {"x,\"open\r\nrest", {{"x", "open\r\nrest"}}, 1},
      {"\"", {{""}}, 1},
      {"\xEF\xBB\xBF", {}, 0},
  };
  for (const auto& c : cases) {
    const CsvText got = parse_csv(c.text);
    EXPECT_EQ(got.records, c.records) << c.text;
    EXPECT_EQ(got.faults, c.faults) << c.text;
  }
}

ManifestEntry entry(EntryStatus status, std::string url, std::string path = "",
                    std::string title = "") {
  ManifestEntry e;
  e.status = status;
  e.url = std::move(url);
  e.out_path = std::move(path);
  e.page = true;
  e.title = std::move(title);
  return e;
}

TEST(Manifest, RowFromEntry) {
  ManifestEntry full =
      entry(EntryStatus::converted, "http://h/\x82\xa0\x85", ".\\H\\\x95\\\\\x85.HTM",
            " \x93\xfa\x96\x7b\r\n &amp;&lt;b&gt;&#x41;&#66; &#0;&bogus; \x85 ");
  full.time = DateTime{1998, 7, 2, 14, 9, 5, 21, 0};
  full.size = 5000000000u;
  full.content_type = "text/html";
  full.cache_file = "M0GQR9J4.HTM";
  const ManifestRow row = make_manifest_row(full, ".\\");
  EXPECT_EQ(row.url, "http://h/\xE3\x81\x82%85");
  EXPECT_EQ(row.path, "H/\xE8\xA1\xA8/%85.HTM");  // 0x5C of a double-byte character kept
  EXPECT_EQ(row.title, "\xE6\x97\xA5\xE6\x9C\xAC &<b>AB &#0;&bogus; \xEF\xBF\xBD");
  EXPECT_EQ(row.time, "1998-07-14T09:05:21");
  EXPECT_EQ(row.size, "5000000000");
  EXPECT_EQ(row.kind, "page");
  EXPECT_EQ(make_manifest_row(full, ".\\H\\").path, "\xE8\xA1\xA8/%85.HTM");
  EXPECT_EQ(make_manifest_row(full, "D:\\OUT\\").path, "H/\xE8\xA1\xA8/%85.HTM");
  const ManifestRow skip = make_manifest_row(entry(EntryStatus::missing, "http://h/"), ".\\");
  EXPECT_EQ(skip.status + skip.kind + skip.path + skip.time + skip.size, "missing");
}

// Loaded rows are replaced by what a run meets, except by the two skips; new URLs get rows.
TEST(Manifest, MergeKeepsOneRowPerUrl) {
  const std::string old_text =
      "\xEF\xBB\xBF"
      "extra,status,url,title\r\n"
      "x,converted,http://a/1,One\r\nx,converted,http://a/2,Two\r\n"
      "x,converted,http://a/3,Three\r\nx,converted,http://a/4,Four\r\n"
      "x,cgi,http://a/5,\xFF\r\nx,converted,http://a/5,Five\r\n,converted,,none\r\n";
  Manifest m;
  ASSERT_TRUE(load_manifest(old_text, m));
  const EntryStatus before = EntryStatus::before_last_time, other = EntryStatus::other_host;
  for (const ManifestEntry& e :
       {entry(EntryStatus::copy_failed, "http://a/1"), entry(before, "http://a/2"),
        entry(other, "http://a/3"), entry(before, "http://b/"), entry(other, "http://c/"),
        entry(EntryStatus::converted, "http://b/"), entry(EntryStatus::not_http, "ftp://f/"),
        entry(EntryStatus::converted, "")}) {
    record_entry(m, e, ".\\");
  }
  const std::string expected[][2] = {{"ftp://f/", "not_http"},    {"http://a/1", "copy_failed"},
                                     {"http://a/2", "converted"}, {"http://a/3", "converted"},
                                     {"http://a/4", "converted"}, {"http://a/5", "converted"},
                                     {"http://b/", "converted"},  {"http://c/", "other_host"}};
  std::string text = manifest_text(m);
  Manifest again;
  ASSERT_TRUE(load_manifest(text, again));
  EXPECT_EQ(manifest_text(again), text);
  ASSERT_EQ(again.rows.size(), std::size(expected));
  size_t i = 0;
  for (const auto& [url, row] : again.rows) {
    EXPECT_EQ(url + " " + row.status, expected[i][0] + " " + expected[i][1]);
    ++i;
  }
  EXPECT_EQ(again.rows["http://a/2"].title, "Two");
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "\xEF\xBB\xBFurl,status,path,kind,title,time,size,content_type,charset,encoding,"
            "cache_file\r\n");

  Manifest other_file;
  EXPECT_FALSE(load_manifest("name,value\r\nurl,x\r\n", other_file));
  EXPECT_TRUE(load_manifest("", other_file));
  EXPECT_TRUE(load_manifest("url,title\nhttp://h/\xFF,\xE3\x81\n", other_file));
  EXPECT_EQ(other_file.rows.begin()->first + other_file.rows.begin()->second.title,
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
  EXPECT_NE(
      page.find("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">"),
      std::string::npos);
  const std::string in_order[] = {
      "<A HREF=\"#site1\">(no host)</A> (60 pages, 0 images)",
      "<A HREF=\"#site2\">aa.jp:8080</A> (1 page, 0 images)",
      "<A HREF=\"#site3\">zz.jp</A> (2 pages, 1 image)",
      "<OL>\r\n<LI><A HREF=\"159\">159</A> 2000-01-01 00:00\r\n<LI><A HREF=\"158\">",
      "<A HREF=\"110\">110</A> 2000-01-01 00:00\r\n</OL>",
      "<A NAME=\"site1\">(no host)</A></H3>\r\n<P>60 pages, 0 images</P>",
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
  EXPECT_GT(page.find("HREF=\"109\"", page.find("<OL>")), page.find("<A NAME=\"site1\""));
  EXPECT_EQ(page.find("skipped"), std::string::npos);
}

}  // namespace
}  // namespace volari::testing
