// URL kinds, splitting and host naming.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "mapping/host_naming.h"
#include "mapping/url_split.h"
#include "support/sjis.h"

namespace volari {
namespace {

struct SplitRow {
  const char* url;
  UrlKind kind;
  const char* domain;
  const char* directory;
  const char* filename;
  const char* dir_domain;
};

const SplitRow kSplitRows[] = {
    {"http://aa.bb.cc:80/dir1/sub/page.html", kind_http, "aa.bb.cc:80", "dir1/sub", "page.html",
     "CC\\BB\\AA.DOM"},
    {"http://1.2.3.4/index.html", kind_http, "1.2.3.4", "", "index.html", "00.DOM"},
    {"http://aa.bb/a/b/", kind_http, "aa.bb", "a/b", "", "BB\\AA.DOM"},
    {"http://aa.bb/cgi?x=a/b", kind_http, "aa.bb", "cgi?x=a", "b", "BB\\AA.DOM"},
    {"http://WWW2.AA.BB/x", kind_http, "WWW2.AA.BB", "", "x", "BB\\AA.DOM"},
    {"ftp://ftp.aa.bb/pub/file.zip", kind_ftp, "ftp.aa.bb", "pub", "file.zip", "BB\\AA.DOM"},
    {"file:///D|/temp/a.htm", kind_file, "", "D|/temp", "a.htm", "00.DOM"},
    {"about:blank", kind_other, "about:blank", "", "", "ABOUT.DOM"},
    // Scheme case, a prefix without its "//", short and empty URLs.
    {"HtTpS://aa.bb", kind_https, "aa.bb", "", "", "BB\\AA.DOM"},
    {"File://x/", kind_file, "x", "", "", "X.DOM"},
    {"http:/aa.bb/x", kind_other, "http:", "aa.bb", "x", "HTTP.DOM"},
    {"http://", kind_http, "", "", "", "00.DOM"},
    {"", kind_other, "", "", "", "00.DOM"},
};

TEST(UrlSplit, SplitsAndNamesTheHost) {
  const auto settings = std::make_unique<Settings>();
  for (const SplitRow& row : kSplitRows) {
    SCOPED_TRACE(row.url);
    const UrlKind kind = classify_url(row.url);
    EXPECT_EQ(kind, row.kind);
    const std::string domain = split_url_domain(kind, row.url);
    EXPECT_EQ(domain, row.domain);
    EXPECT_EQ(split_url_directory(kind, row.url), row.directory);
    EXPECT_EQ(split_url_filename(kind, row.url), row.filename);
    EXPECT_EQ(make_dir_domain(*settings, domain), row.dir_domain);
  }
}

TEST(UrlSplit, KindLongerThanTheUrlSkipsNoMoreThanItHolds) {
  EXPECT_EQ(split_url_domain(kind_https, "http"), "");
  EXPECT_EQ(split_url_filename(kind_http, "a/b"), "");
  EXPECT_EQ(split_url_domain(static_cast<UrlKind>(0), "a/b"), "a");
}

struct HostRow {
  const char* host;
  const char* expected;
  int skip_www = 15;
  int dom_dir = 1;
  int dom_flg = 0;
  const char* alias_dom = "";
  const char* alias_dir = "";
  const char* ip = "00";
  const char* ext = ".DOM";
  int cap = 1;
  int dir_max = 260;
};

const HostRow kHostRows[] = {
    {"user@aa.bb", "BB\\AA.DOM"},
    {"user@aa.bb:80", "BB:80\\AA\\USER.DOM", 0},
    {"aa.cc.dd", "CC-DD\\AA.DOM", 15, 1, 0, ".cc.dd", ".CC-DD"},
    {"aa.cc.dd", "AA.CC-DD.DOM", 15, 1, 1, ".cc.dd", ".CC-DD"},
    {"1.2.3.4", "00.DOM", 15, 4},
    {"aa..bb", "AABB.DOM", 15, 4},
    {"aa.bb.cc", "AA\\BB\\CC.DOM", 15, 0},
    {"aa.bb.cc", "AA.BB.CC.DOM", 15, 2},
    {"www", "WWW.DOM"},
    {"1.2.3.4", "4\\3\\2\\1.DOM", 15, 1, 0, "", "", ""},
    {"aa.bb", "bb\\aa", 15, 1, 0, "", "", "00", "", 0},
    // Port on a numeric host: cut, the host stays numeric; kept, it is not numeric any more.
    {"1.2.3.4:8080", "00.DOM"},
    {"1.2.3.4:8080", "4:8080\\3\\2\\1.DOM", 0},
    // The port goes before the user part is looked at.
    {"user:pw@aa.bb:80", "BB\\AA.DOM"},
    {"user:pw@aa.bb", "USER.DOM"},
    {"a@b@c.d", "D\\C.DOM"},
    {"a@b@c.d", "D\\C\\A@B.DOM", 0},
    // A protected replacement keeps its inner dots; unprotected, it is split like the rest.
    {"a.b.example.co.jp", "B\\A.EX.CO.JP.DOM", 15, 1, 1, ".example.co.jp", ".EX.CO.JP"},
    {"a.b.example.co.jp", "JP\\CO\\EX\\B\\A.DOM", 15, 1, 0, ".example.co.jp", ".EX.CO.JP"},
    // A protected ending is never numeric.
    {"1.2.3.4", "3\\2\\1.4.DOM", 15, 1, 1, ".4", ".4"},
    {"1.2.3.4", "00.DOM", 15, 1, 0, ".4", ".4"},
    // The alias comes before the www label; the shortened name is then protected whole.
    {"www.aa.bb", "X.DOM", 15, 1, 1, "www.aa.bb", "www.x"},
    {"Www.aa.bb", "BB\\AA\\WWW.DOM"},
    {"wwwxyz.aa", "AA.DOM"},
    {"www.aa.bb", "BB\\AA\\WWW.DOM", 13},
    {"ftp.aa.bb", "BB\\AA\\FTP.DOM", 11},
    {"ftp.aa.bb", "BB\\AA.DOM", 4},
    {"aa.bb.", "BB\\AA.DOM"},
    {"aa..", "\\AA.DOM"},  // only one leading separator goes
    {"aa..bb", "BB\\\\AA.DOM"},
    {"aa.bb", "BB_AA.DOM", 15, 9},
    {"aa.bb", "AABB.DOM", 15, 12},
    {"aa.bb", "AA_BB.DOM", 15, 10},
    {"", "00.DOM"},
    {"...", "00.DOM", 15, 2},
    {"verylonghostname.example.com", "COM\\EXAMPLE\\VERYLONG.DOM", 15, 1, 0, "", "", "00", ".DOM",
     1, 8},
    {"\x83\x61.aa", "AA\\\x83\x61.DOM"},
};

TEST(HostNaming, FollowsEveryStep) {
  for (const HostRow& row : kHostRows) {
    SCOPED_TRACE(std::string(row.host) + " skip " + std::to_string(row.skip_www) + " dir " +
                 std::to_string(row.dom_dir) + " flg " + std::to_string(row.dom_flg));
    const auto settings = std::make_unique<Settings>();
    settings->flg_skip_www = row.skip_www;
    settings->flg_dom_dir = row.dom_dir;
    settings->flg_dom_flg = row.dom_flg;
    if (*row.alias_dom) {
      copy_text(settings->domain_table[0].dom, row.alias_dom);
      copy_text(settings->domain_table[0].dir, row.alias_dir);
      settings->domain_count = 1;
    }
    copy_text(settings->domain_ip, row.ip);
    copy_text(settings->domain_ext, row.ext);
    settings->flg_cap_dom = row.cap;
    settings->flg_dir_max = row.dir_max;
    EXPECT_EQ(make_dir_domain(*settings, row.host), row.expected);
  }
}

struct AliasRow {
  const char* name;
  const char* expected;
  size_t tail_len;
};

const AliasRow kAliasRows[] = {
    {"aabb.cc", "aaX", 1},  // no regard to label boundaries
    {"bb.cc", "X", 1},     {"aa.cc", "aa.Y", 1}, {"AA.BB.CC", "AA.BB.CC", 0},
    {"c", "c", 0},         {"ee", "ee", 0},      {"xx.dd", "xx.WW", 2},
};

TEST(HostNaming, AliasFirstMatchWins) {
  const auto settings = std::make_unique<Settings>();
  const char* const table[][2] = {{"bb.cc", "X"}, {"cc", "Y"}, {"", "Z"}, {"dd", "WW"}};
  for (const auto& entry : table) {
    copy_text(settings->domain_table[settings->domain_count].dom, entry[0]);
    copy_text(settings->domain_table[settings->domain_count].dir, entry[1]);
    ++settings->domain_count;
  }
  for (int flg : {0, 1, 3}) {
    settings->flg_dom_flg = flg;
    for (const AliasRow& row : kAliasRows) {
      SCOPED_TRACE(std::string(row.name) + " flg " + std::to_string(flg));
      std::string name = row.name;
      EXPECT_EQ(lookup_domain_alias(*settings, name), (flg & 1) ? row.tail_len : 0u);
      EXPECT_EQ(name, row.expected);
    }
  }
  settings->domain_count = UINT32_MAX;  // a count beyond the table reads no further
  std::string name = "zz";
  EXPECT_EQ(lookup_domain_alias(*settings, name), 0u);
  EXPECT_EQ(name, "zz");
}

struct ReverseRow {
  const char* name;
  size_t tail_len;
  const char* expected;
};

const ReverseRow kReverseRows[] = {
    {"aa.bb.cc", 0, "cc.bb.aa"},
    {"aa.bb.", 0, ".bb.aa"},
    {"aa..bb", 0, "bb..aa"},
    {"", 0, ""},
    {".", 0, "."},
    {"aa.bb.CC-DD", 6, "bb.aa.CC-DD"},
    {"a.b.c", 2, "b.a.c"},
    {"x.y", 3, "x.y"},
    {"x.y", 5, "x.y"},
};

TEST(HostNaming, ReversesLabels) {
  for (const ReverseRow& row : kReverseRows) {
    SCOPED_TRACE(row.name);
    std::string name = row.name;
    reverse_host_labels(name, row.tail_len);
    EXPECT_EQ(name, row.expected);
  }
}

}  // namespace
}  // namespace volari
