// The naming rules: URL to output path, without a file.
#include "mapping/map_url.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "config/args.h"
#include "mapping/host_naming.h"
#include "mapping/out_path.h"
#include "support/sjis.h"

namespace volari {
namespace {

// The defaults, with some fields changed: "KEY=value ..." (DIR_MAX, CGI_FILE, CGI_NAME, SKIP_URL,
// SUB: domain_sub SUB, CAP: upper-case file and directory names, ONLY: the target host).
std::unique_ptr<Settings> settings_for(const std::string& tweaks) {
  auto s = std::make_unique<Settings>();
  std::istringstream in(tweaks);
  for (std::string word; in >> word;) {
    const std::string key = word.substr(0, word.find('=')), value = word.substr(key.size() + 1);
    const int n = read_number(value.c_str());
    if (key == "DIR_MAX") s->flg_dir_max = n;
    if (key == "CGI_FILE") s->flg_cgi_file = n;
    if (key == "CGI_NAME") copy_text(s->cgi_name, value.c_str());
    if (key == "SKIP_URL") s->flg_skip_url = n;
    if (key == "SUB") s->flg_sub_dir = n, copy_text(s->domain_sub, "SUB");
    if (key == "CAP") s->flg_cap_file = s->flg_cap_dir = n;
    if (key == "ONLY") s->flg_dom_only = 1, copy_text(s->domain_only, value.c_str());
  }
  return s;
}

constexpr MapOutcome kMapped = MapOutcome::mapped;
constexpr MapOutcome kRefused = MapOutcome::name_refused;

struct Row {
  const char* url;
  MapOutcome outcome;
  const char* out_path;  // "": not checked
  int graphic = -1, names_file = -1;
  const char* tweaks = "";
};

const Row kRows[] = {
    {"http://aa.bb.cc:80/dir1/sub/page.html", kMapped, ".\\CC\\BB\\AA.DOM\\DIR1\\SUB\\PAGE.HTML", 0,
     1},
    {"http://1.2.3.4/index.html", kMapped, ".\\00.DOM\\INDEX.HTML"},
    {"http://aa.bb/a/b/", kMapped, ".\\BB\\AA.DOM\\A\\B\\INDEX.HTM", 0, 0},
    {"http://aa.bb/cgi?x=a/b", kRefused, ""},
    {"http://WWW2.AA.BB/x", kMapped, ".\\BB\\AA.DOM\\X.HTM", 0, 1},
    {"ftp://ftp.aa.bb/pub/file.zip", MapOutcome::kind_skipped, ""},
    {"ftp://ftp.aa.bb/pub/", kMapped, ".\\BB\\AA.DOM\\PUB\\INDEX.HTM", 1, 0, "SKIP_URL=0"},
    {"file:///D|/temp/a.htm", kMapped, ".\\00.DOM\\D_\\TEMP\\A.HTM", 1, 1, "SKIP_URL=0 CGI_FILE=2"},
    {"about:blank", kMapped, ".\\ABOUT.DOM\\INDEX.HTM"},
    {"HtTpS://aa.bb", kMapped, ".\\BB\\AA.DOM\\INDEX.HTM"},
    {"http:/aa.bb/x", kMapped, ".\\HTTP.DOM\\AA.BB\\X.HTM"},
    {"http://", kMapped, ".\\00.DOM\\INDEX.HTM"},
    {"http://aa.bb/x", MapOutcome::kind_skipped, "", -1, -1, "SKIP_URL=1"},
    // The target host: the raw host part, ASCII case ignored.
    {"http://AA.bb/x", kMapped, ".\\BB\\AA.DOM\\X.HTM", -1, -1, "ONLY=aa.bb"},
    {"http://aa.bb:80/x", MapOutcome::other_host, "", -1, -1, "ONLY=aa.bb"},
    {"http://u@aa.bb/x", MapOutcome::other_host, "", -1, -1, "ONLY=aa.bb"},
    // Directory and file names.
    {"http://h/dir1/sub/x", kMapped, ".\\H.DOM\\SUB\\X.HTM", -1, -1, "SUB=1"},
    {"http://h/x", kMapped, ".\\H.DOM\\X.HTM", -1, -1, "SUB=1"},
    {"http://h/readme", kMapped, ".\\H.DOM\\README.HTM", 0, 1},
    {"http://h/Dir/Page", kMapped, ".\\H.DOM\\Dir\\Page.HTM", -1, -1, "CAP=0"},
    {"http://h/photo.jpeg", kMapped, ".\\H.DOM\\PHOTO.JPG", 1, 1, "DIR_MAX=8"},
    {"http://h/longfilename.jpeg", kMapped, ".\\H.DOM\\LONGFILE.JPG", -1, -1, "DIR_MAX=8"},
    {"http://h/index.html", kMapped, ".\\H.DOM\\INDEX.HTM", 0, -1, "DIR_MAX=8"},
    {"http://h/photo.Jpeg", kMapped, ".\\H.DOM\\PHOTO.JPE", -1, -1, "DIR_MAX=8"},
    {"http://h/archive.tar.gz", kMapped, ".\\H.DOM\\ARCHIVE_.GZ", -1, -1, "DIR_MAX=8"},
    {"http://h/a.b.c.gif", kMapped, ".\\H.DOM\\A_B_C.GIF", -1, -1, "DIR_MAX=8"},
    {"http://h/documents/old/x", kMapped, ".\\H.DOM\\DOCUMENT\\OLD\\X.HTM", -1, -1, "DIR_MAX=8"},
    {"http://h/photo.gif", kMapped, ".\\.DOM\\.GIF", -1, -1, "DIR_MAX=0"},
    {"http://h/longfilename.jpeg", kMapped, ".\\H.DOM\\LONGFILENAME.JPEG", -1, -1, "DIR_MAX=-1"},
    {"http://h/documents/x", kMapped, ".\\H.DOM\\DOCUMENTS\\X.HTM", -1, -1, "DIR_MAX=9"},
    {"http://h/long.directory/sub/x", kMapped, ".\\H.DOM\\LONG.DIR\\SUB\\X.HTM", -1, -1,
     "DIR_MAX=8"},
    {"http://h/a\x82\xa0\x82\xa2\x82\xa4\x82\xa6.txt", kMapped,
     ".\\H.DOM\\A\x82\xa0\x82\xa2\x82\xa4.TXT", 0, -1, "DIR_MAX=8"},
    {"http://h/x.\x82\xa0\x82\xa2", kMapped, ".\\H.DOM\\X.\x82\xa0", 1, -1, "DIR_MAX=8"},
    {"http://h/abcdefgh\x95\x5Cx/y", kMapped, ".\\H.DOM\\ABCDEFGH\\X\\Y.HTM", -1, -1, "DIR_MAX=8"},
    // The name filter and percent escapes.
    {"http://h/a%20b.html", kMapped, ".\\H.DOM\\A B.HTML"},
    {"http://h/%7euser/x", kMapped, ".\\H.DOM\\~USER\\X.HTM"},
    {"http://h/50%off.html", kMapped, ".\\H.DOM\\50%OFF.HTML"},
    {"http://h/img.gif%", kMapped, ".\\H.DOM\\IMG.GIF", 1},
    {"http://h/100%", kMapped, ".\\H.DOM\\100%.HTM"},
    {"http://h/search.cgi?q=abc&x=1", kRefused, ""},
    {"http://h/search.cgi?q=abc&x=1", kMapped, ".\\H.DOM\\SEARCH.CGI", 1, -1, "CGI_FILE=1"},
    {"http://h/search.cgi?q=abc&x=1", kMapped, ".\\H.DOM\\SEARCH.CGI_Q_ABC_X_1", -1, -1,
     "CGI_FILE=2"},
    {"http://h/search.cgi?q=abc&x=1", kMapped, ".\\H.DOM\\SEARCH.CGI", -1, -1, "CGI_FILE=3"},
    {"http://h/search.cgi?q=a", kMapped, ".\\H.DOM\\Q.HTM", 0, -1, "CGI_FILE=3 CGI_NAME=Q.HTM"},
    {"http://h/search.cgi?q=a", kMapped, ".\\H.DOM\\SEARCH.CGI", -1, -1, "CGI_FILE=7"},
    {"http://h/search?q=x", kMapped, ".\\H.DOM\\SEARCH", 0, -1, "CGI_FILE=1"},
    {"http://h/cgi-bin/x;y/z", kRefused, ""},
    {"http://h/a%00b.html", kMapped, ".\\H.DOM\\A", 0},
    // A special byte after an escaped zero still decides.
    {"http://h/a%00?b", kRefused, ""},
    {"http://h/a%00?b", kMapped, ".\\H.DOM\\A", -1, -1, "CGI_FILE=1"},
    {"http://h/a%00?b", kMapped, ".\\H.DOM\\A", -1, -1, "CGI_FILE=2"},
    {"http://h/a%00?b", kMapped, ".\\H.DOM\\CGI", -1, -1, "CGI_FILE=3 CGI_NAME=CGI"},
    {"http://h/a%3fb.html", kMapped, ".\\H.DOM\\A?B.HTML"},
    {"http://h/%%41.htm", kMapped, ".\\H.DOM\\%A.HTM"},
    {"http://h/a%7eb", kMapped, ".\\H.DOM\\a~b.HTM", -1, -1, "CAP=0"},
    {"http://h/%zz.htm", kMapped, ".\\H.DOM\\%ZZ.HTM"},
    {"http://h/\x95\x5C/\x95\x5C.html", kMapped, ".\\H.DOM\\\x95\x5C\\\x95\x5C.HTML", 0},
    {"http://h/\x83\x7C.gif", kRefused, ""},  // a second byte that is '|'
    {"http://h/\x83\x7C.gif", kMapped, ".\\H.DOM\\\x83_.GIF", 1, -1, "CGI_FILE=2"},
    {"http://h/\x83\x61.htm", kMapped, ".\\H.DOM\\\x83\x61.HTM"},
    // Names that would lead out of the output directory.
    {"http://aa.bb/%2e%2e/%2E%2E/x.html", MapOutcome::path_refused,
     ".\\BB\\AA.DOM\\..\\..\\X.HTML"},
    {"http://aa.bb/d/%2e%2e%5cx.html", MapOutcome::path_refused, ".\\BB\\AA.DOM\\D\\..\\X.HTML"},
    {"http://aa.bb/d/%2e%2e%2fx.html", MapOutcome::path_refused, ".\\BB\\AA.DOM\\D\\../X.HTML"},
};

TEST(MapUrl, EveryRuleInOrder) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.url) + " " + row.tweaks);
    const MappedUrl m = map_url(*settings_for(row.tweaks), row.url);
    EXPECT_EQ(m.outcome, row.outcome);
    EXPECT_TRUE(!*row.out_path || m.out_path == row.out_path) << m.out_path;
    EXPECT_TRUE(row.graphic < 0 || m.flags.graphic == (row.graphic == 1));
    EXPECT_TRUE(row.names_file < 0 || m.flags.names_file == (row.names_file == 1));
  }
  // The parts as split and the names as made (before the filter), for the traces.
  const MappedUrl m = map_url(*settings_for(""), "http://aa.bb.cc:80/dir1/sub/cgi?x=a/b");
  EXPECT_EQ(m.url_domain + "|" + m.url_directory + "|" + m.url_filename,
            "aa.bb.cc:80|dir1/sub/cgi?x=a|b");
  EXPECT_EQ(m.dir_domain + "|" + m.dir_directory + "|" + m.dir_filename,
            "CC\\BB\\AA.DOM|DIR1\\SUB\\CGI?X=A|B.HTM");
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

struct PathRow {
  const char* out_directory;
  const char* domain;
  const char* directory;
  const char* filename;
  const char* expected;
  bool refused;
};

const PathRow kPathRows[] = {
    {".\\", "CC\\BB\\AA.DOM", "DIR1\\SUB", "PAGE.HTML", ".\\CC\\BB\\AA.DOM\\DIR1\\SUB\\PAGE.HTML",
     false},
    {".\\", "CC\\BB\\AA.DOM", "", "PAGE.HTML", ".\\CC\\BB\\AA.DOM\\PAGE.HTML", false},
    {".\\", "", "", "X.HTM", ".\\X.HTM", false},
    {".\\", "A.DOM", "B", "", ".\\A.DOM\\B\\", false},
    {"..\\out\\", "A.DOM", "", "X.HTM", "..\\out\\A.DOM\\X.HTM", false},
    {".\\", "A.DOM", ".", "X.HTM", ".\\A.DOM\\.\\X.HTM", false},
    {".\\", "A.DOM", "..X", "X..", ".\\A.DOM\\..X\\X..", false},
    {".\\", "\\A.DOM", "", "X", ".\\\\A.DOM\\X", false},
    {"\\\\srv\\share\\", "A.DOM", "", "X", "\\\\srv\\share\\A.DOM\\X", false},
    // Names that would lead out of the output directory.
    {".\\", "A.DOM", "..", "X.HTM", ".\\A.DOM\\..\\X.HTM", true},
    {".\\", "A.DOM", "B", "..\\X.HTM", ".\\A.DOM\\B\\..\\X.HTM", true},
    {".\\", "A.DOM", "B/../..", "X", ".\\A.DOM\\B/../..\\X", true},
    {".\\", "A.DOM", "...", "X", ".\\A.DOM\\...\\X", true},
    {".\\", "A.DOM", ". .", "X", ".\\A.DOM\\. .\\X", true},
    {".\\", "..", "", "X", ".\\..\\X", true},
    {".\\", "A.DOM", "", "..", ".\\A.DOM\\..", true},
    {"\\", "\\A.DOM", "", "X.HTM", "\\\\A.DOM\\X.HTM", true},
};

TEST(OutPath, JoinsAndRefuses) {
  for (const PathRow& row : kPathRows) {
    SCOPED_TRACE(std::string(row.domain) + " | " + row.directory + " | " + row.filename);
    const auto settings = std::make_unique<Settings>();
    copy_text(settings->out_directory, row.out_directory);
    std::string out_path;
    EXPECT_EQ(make_out_path(*settings, row.domain, row.directory, row.filename, out_path),
              !row.refused);
    EXPECT_EQ(out_path, row.expected);
  }
}

TEST(OutPath, LimitIs260Bytes) {
  const auto settings = std::make_unique<Settings>();
  const std::string domain(100, 'D');
  for (size_t total : {259u, 260u, 261u, 300u}) {
    // ".\" + domain + "\" + file
    const std::string file(total - 3 - domain.size(), 'F');
    std::string out_path;
    EXPECT_EQ(make_out_path(*settings, domain, "", file, out_path), total <= 260) << total;
    EXPECT_EQ(out_path.size(), total);
  }
}

}  // namespace
}  // namespace volari
