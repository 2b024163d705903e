// The naming rules: URL to output path, without a file. The whole-program transcripts show the
// rules at work on real caches; these rows pin what they leave unseen.
#include "mapping/map_url.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "config/args.h"
#include "mapping/out_path.h"
#include "support/sjis.h"

namespace volari {
namespace {

// The defaults, with some fields changed: "KEY=value ..." (DIR_MAX, CGI_FILE, CGI_NAME, SKIP_URL,
// SKIP_WWW, DOM_DIR, DOM_FLG, IP, EXT, CAP_DOM; SUB: domain_sub SUB; CAP: upper-case file and
// directory names; ALIAS=dom>dir: one more entry of the domain table).
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
    if (key == "SKIP_WWW") s->flg_skip_www = n;
    if (key == "DOM_DIR") s->flg_dom_dir = n;
    if (key == "DOM_FLG") s->flg_dom_flg = n;
    if (key == "IP") copy_text(s->domain_ip, value.c_str());
    if (key == "EXT") copy_text(s->domain_ext, value.c_str());
    if (key == "CAP_DOM") s->flg_cap_dom = n;
    if (key == "SUB") s->flg_sub_dir = n, copy_text(s->domain_sub, "SUB");
    if (key == "CAP") s->flg_cap_file = s->flg_cap_dir = n;
    if (key == "ALIAS") {
      DomainAlias& a = s->domain_table[s->domain_count++];
      copy_text(a.dom, value.substr(0, value.find('>')).c_str());
      copy_text(a.dir, value.substr(value.find('>') + 1).c_str());
    }
  }
  return s;
}

constexpr MapOutcome kMapped = MapOutcome::mapped;
constexpr MapOutcome kRefused = MapOutcome::name_refused;

struct Row {
  const char* url;
  MapOutcome outcome;
  const char* out_path;  // "": not checked
  int graphic = -1;      // -1: not checked
  const char* tweaks = "";
};

const Row kRows[] = {
    {"http://aa.bb/cgi?x=a/b", kRefused, ""},  // the directory is refused
    {"file:///D|/temp/a.htm", kMapped, ".\\00.DOM\\D_\\TEMP\\A.HTM", 1, "SKIP_URL=0 CGI_FILE=2"},
    {"HtTpS://aa.bb", kMapped, ".\\BB\\AA.DOM\\INDEX.HTM"},
    {"http:/aa.bb/x", kMapped, ".\\HTTP.DOM\\AA.BB\\X.HTM"},
    {"http://", kMapped, ".\\00.DOM\\INDEX.HTM"},
    {"http://aa.bb/x", MapOutcome::kind_skipped, "", -1, "SKIP_URL=1"},
    // Host names.
    {"http://user@aa.bb:80/x", kMapped, ".\\BB:80\\AA\\USER.DOM\\X.HTM", -1, "SKIP_WWW=0"},
    {"http://aa.cc.dd/x", kMapped, ".\\CC-DD\\AA.DOM\\X.HTM", -1, "ALIAS=.cc.dd>.CC-DD"},
    {"http://1.2.3.4/x", kMapped, ".\\00.DOM\\X.HTM", -1, "DOM_DIR=4"},
    {"http://aa..bb/x", kMapped, ".\\AABB.DOM\\X.HTM", -1, "DOM_DIR=4"},
    {"http://aa.bb.cc/x", kMapped, ".\\AA\\BB\\CC.DOM\\X.HTM", -1, "DOM_DIR=0"},
    {"http://www/x", kMapped, ".\\WWW.DOM\\X.HTM"},
    {"http://1.2.3.4/x", kMapped, ".\\4\\3\\2\\1.DOM\\X.HTM", -1, "IP="},
    {"http://aa.bb/x", kMapped, ".\\bb\\aa\\X.HTM", -1, "EXT= CAP_DOM=0"},
    // A port on a numeric host: cut, the host stays numeric; kept, it is not numeric any more.
    {"http://1.2.3.4:8080/x", kMapped, ".\\00.DOM\\X.HTM"},
    {"http://1.2.3.4:8080/x", kMapped, ".\\4:8080\\3\\2\\1.DOM\\X.HTM", -1, "SKIP_WWW=0"},
    // The port goes before the user part is looked at.
    {"http://user:pw@aa.bb/x", kMapped, ".\\USER.DOM\\X.HTM"},
    {"http://a@b@c.d/x", kMapped, ".\\D\\C\\A@B.DOM\\X.HTM", -1, "SKIP_WWW=0"},
    // A protected replacement keeps its inner dots, and is never numeric.
    {"http://a.b.example.co.jp/x", kMapped, ".\\B\\A.EX.CO.JP.DOM\\X.HTM", -1,
     "DOM_FLG=1 ALIAS=.example.co.jp>.EX.CO.JP"},
    {"http://1.2.3.4/x", kMapped, ".\\3\\2\\1.4.DOM\\X.HTM", -1, "DOM_FLG=1 ALIAS=.4>.4"},
    // The first alias that matches wins, with no regard to label boundaries; an empty one never
    // matches. It comes before the www label; the shortened name is then protected whole.
    {"http://aabb.cc/x", kMapped, ".\\AAX.DOM\\X.HTM", -1, "ALIAS=>Z ALIAS=bb.cc>X ALIAS=cc>Y"},
    {"http://www.aa.bb/x", kMapped, ".\\X.DOM\\X.HTM", -1, "DOM_FLG=1 ALIAS=www.aa.bb>www.x"},
    {"http://Www.aa.bb/x", kMapped, ".\\BB\\AA\\WWW.DOM\\X.HTM"},
    {"http://WWW.aa.bb/x", kMapped, ".\\BB\\AA.DOM\\X.HTM"},
    {"http://www.aa.bb/x", kMapped, ".\\BB\\AA\\WWW.DOM\\X.HTM", -1, "SKIP_WWW=13"},
    {"http://ftp.aa.bb/x", kMapped, ".\\BB\\AA\\FTP.DOM\\X.HTM", -1, "SKIP_WWW=11"},
    {"http://aa.bb./x", kMapped, ".\\BB\\AA.DOM\\X.HTM"},
    {"http://aa../x", kMapped, ".\\\\AA.DOM\\X.HTM"},  // only one leading separator goes
    {"http://aa..bb/x", kMapped, ".\\BB\\\\AA.DOM\\X.HTM"},
    {"http://aa.bb/x", kMapped, ".\\BB_AA.DOM\\X.HTM", -1, "DOM_DIR=9"},
    {"http://aa.bb/x", kMapped, ".\\AABB.DOM\\X.HTM", -1, "DOM_DIR=12"},
    {"http://aa.bb/x", kMapped, ".\\AA_BB.DOM\\X.HTM", -1, "DOM_DIR=10"},
    {"http://.../x", kMapped, ".\\00.DOM\\X.HTM", -1, "DOM_DIR=2"},
    // Directory and file names.
    {"http://h/dir1/sub/x", kMapped, ".\\H.DOM\\SUB\\X.HTM", -1, "SUB=1"},
    {"http://h/x", kMapped, ".\\H.DOM\\X.HTM", -1, "SUB=1"},
    {"http://h/Dir/Page", kMapped, ".\\H.DOM\\Dir\\Page.HTM", -1, "CAP=0"},
    {"http://verylonghostname.example.com/photo.jpeg", kMapped,
     ".\\COM\\EXAMPLE\\VERYLONG.DOM\\PHOTO.JPG", 1, "DIR_MAX=8"},
    {"http://h/photo.Jpeg", kMapped, ".\\H.DOM\\PHOTO.JPE", -1, "DIR_MAX=8"},
    {"http://h/archive.tar.gz", kMapped, ".\\H.DOM\\ARCHIVE_.GZ", -1, "DIR_MAX=8"},
    {"http://h/a.b.c.gif", kMapped, ".\\H.DOM\\A_B_C.GIF", -1, "DIR_MAX=8"},
    {"http://h/documents/old/x", kMapped, ".\\H.DOM\\DOCUMENT\\OLD\\X.HTM", -1, "DIR_MAX=8"},
    {"http://h/photo.gif", kMapped, ".\\.DOM\\.GIF", -1, "DIR_MAX=0"},
    {"http://h/longfilename.jpeg", kMapped, ".\\H.DOM\\LONGFILENAME.JPEG", -1, "DIR_MAX=-1"},
    {"http://h/documents/x", kMapped, ".\\H.DOM\\DOCUMENTS\\X.HTM", -1, "DIR_MAX=9"},
    {"http://h/long.directory/sub/x", kMapped, ".\\H.DOM\\LONG.DIR\\SUB\\X.HTM", -1, "DIR_MAX=8"},
    {"http://h/a\x82\xa0\x82\xa2\x82\xa4\x82\xa6.txt", kMapped,
     ".\\H.DOM\\A\x82\xa0\x82\xa2\x82\xa4.TXT", 0, "DIR_MAX=8"},
    {"http://h/x.\x82\xa0\x82\xa2", kMapped, ".\\H.DOM\\X.\x82\xa0", 1, "DIR_MAX=8"},
    {"http://h/abcdefgh\x95\x5Cx/y", kMapped, ".\\H.DOM\\ABCDEFGH\\X\\Y.HTM", -1, "DIR_MAX=8"},
    // The name filter and percent escapes.
    {"http://h/50%off.html", kMapped, ".\\H.DOM\\50%OFF.HTML"},
    {"http://h/img.gif%", kMapped, ".\\H.DOM\\IMG.GIF", 1},
    {"http://h/100%", kMapped, ".\\H.DOM\\100%.HTM"},
    {"http://h/search.cgi?q=abc&x=1", kMapped, ".\\H.DOM\\SEARCH.CGI", 1, "CGI_FILE=1"},
    {"http://h/search.cgi?q=abc&x=1", kMapped, ".\\H.DOM\\SEARCH.CGI_Q_ABC_X_1", -1, "CGI_FILE=2"},
    {"http://h/search.cgi?q=a", kMapped, ".\\H.DOM\\Q.HTM", 0, "CGI_FILE=3 CGI_NAME=Q.HTM"},
    {"http://h/search.cgi?q=a", kMapped, ".\\H.DOM\\SEARCH.CGI", -1, "CGI_FILE=7"},
    {"http://h/search?q=x", kMapped, ".\\H.DOM\\SEARCH", 0, "CGI_FILE=1"},
    {"http://h/cgi-bin/x;y/z", kRefused, ""},
    {"http://h/a%00b.html", kMapped, ".\\H.DOM\\A", 0},
    // A special byte after an escaped zero still decides.
    {"http://h/a%00?b", kRefused, ""},
    {"http://h/a%00?b", kMapped, ".\\H.DOM\\A", -1, "CGI_FILE=2"},
    {"http://h/a%00?b", kMapped, ".\\H.DOM\\CGI", -1, "CGI_FILE=3 CGI_NAME=CGI"},
    {"http://h/a%3fb.html", kMapped, ".\\H.DOM\\A?B.HTML"},
    {"http://h/%%41.htm", kMapped, ".\\H.DOM\\%A.HTM"},
    {"http://h/a%7eb", kMapped, ".\\H.DOM\\a~b.HTM", -1, "CAP=0"},
    {"http://h/%zz.htm", kMapped, ".\\H.DOM\\%ZZ.HTM"},
    {"http://h/\x83\x7C.gif", kRefused, ""},  // a second byte that is '|'
    {"http://h/\x83\x7C.gif", kMapped, ".\\H.DOM\\\x83_.GIF", 1, "CGI_FILE=2"},
    // Names that would lead out of the output directory.
    {"http://aa.bb/d/%2e%2e%2fx.html", MapOutcome::path_refused, ".\\BB\\AA.DOM\\D\\../X.HTML"},
};

TEST(MapUrl, EveryRuleInOrder) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.url) + " " + row.tweaks);
    const MappedUrl m = map_url(*settings_for(row.tweaks), row.url);
    EXPECT_EQ(m.outcome, row.outcome);
    EXPECT_TRUE(!*row.out_path || m.out_path == row.out_path) << m.out_path;
    EXPECT_TRUE(row.graphic < 0 || m.flags.graphic == (row.graphic == 1));
  }
  // A count beyond the alias table reads no further.
  const auto settings = settings_for("");
  settings->domain_count = UINT32_MAX;
  EXPECT_EQ(map_url(*settings, "http://zz/").out_path, ".\\ZZ.DOM\\INDEX.HTM");
}

TEST(OutPath, JoinsUpTo260BytesAndRefusesWhatLeadsOut) {
  const struct {
    const char* out_directory;
    const char* domain;
    const char* directory;
    const char* filename;
    bool refused;
  } rows[] = {
      {".\\", "A.DOM", "B", "", false},
      {".\\", "A.DOM", ".", "X.HTM", false},
      {".\\", "A.DOM", "..X", "X..", false},
      {"\\\\srv\\share\\", "A.DOM", "", "X", false},
      {".\\", "A.DOM", "B", "..\\X.HTM", true},
      {".\\", "A.DOM", "B/../..", "X", true},
      {".\\", "A.DOM", "...", "X", true},
      {".\\", "A.DOM", ". .", "X", true},
      {".\\", "..", "", "X", true},
      {".\\", "A.DOM", "", "..", true},
      {"\\", "\\A.DOM", "", "X.HTM", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.domain) + " | " + row.directory + " | " + row.filename);
    const auto settings = settings_for("");
    copy_text(settings->out_directory, row.out_directory);
    std::string out_path;
    EXPECT_EQ(make_out_path(*settings, row.domain, row.directory, row.filename, out_path),
              !row.refused);
  }
  const std::string domain(100, 'D');
  for (size_t total : {260u, 261u}) {
    const std::string file(total - 3 - domain.size(), 'F');  // ".\" + domain + "\" + file
    std::string out_path;
    EXPECT_EQ(make_out_path(*settings_for(""), domain, "", file, out_path), total <= 260) << total;
  }
}

}  // namespace
}  // namespace volari
