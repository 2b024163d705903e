// Directory and file naming, the name filter, page or image, and the output path.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mapping/file_naming.h"
#include "mapping/host_naming.h"
#include "mapping/name_filter.h"
#include "mapping/out_path.h"
#include "mapping/url_split.h"
#include "support/sjis.h"

namespace volari {
namespace {

enum Part { dir, file };
constexpr int kNone = -1;

struct NameRow {
  Part part;
  const char* input;
  const char* expected;  // a refused name is left as the filter got it
  FilterResult result = filter_kept;
  int flg_filename = kNone;
  int graphic = kNone;
  int dir_max = 260;
  int cgi_file = 0;
  int sub_dir = 0;
  int cap = 1;
};

const NameRow kNameRows[] = {
    {dir, "dir1/sub", "DIR1\\SUB"},
    {dir, "dir1/sub", "SUB", filter_kept, kNone, kNone, 260, 0, 1},
    {dir, "", "", filter_kept, kNone, kNone, 260, 0, 1},
    {file, "page.html", "PAGE.HTML", filter_kept, 1, 0},
    {file, "", "INDEX.HTM", filter_kept, 0, 0},
    {file, "readme", "README.HTM", filter_kept, 1},
    {file, "photo.jpeg", "PHOTO.JPG", filter_kept, 1, 1, 8},
    {file, "longfilename.jpeg", "LONGFILE.JPG", filter_kept, 1, 1, 8},
    {file, "index.html", "INDEX.HTM", filter_kept, 1, 0, 8},
    {file, "photo.Jpeg", "PHOTO.JPE", filter_kept, 1, 1, 8},
    {file, "archive.tar.gz", "ARCHIVE_.GZ", filter_kept, 1, 1, 8},
    {file, "a.b.c.gif", "A_B_C.GIF", filter_kept, 1, 1, 8},
    {dir, "documents/old", "DOCUMENT\\OLD", filter_kept, kNone, kNone, 8},
    {file, "a%20b.html", "A B.HTML"},
    {dir, "%7euser", "~USER"},
    {file, "50%off.html", "50%OFF.HTML"},
    {file, "img.gif%", "IMG.GIF"},
    {file, "100%", "100%.HTM"},
    {file, "search.cgi?q=abc&x=1", "SEARCH.CGI?Q=ABC&X=1", filter_refused, 1, kNone, 260, 0},
    {file, "search.cgi?q=abc&x=1", "SEARCH.CGI", filter_cut, 1, 1, 260, 1},
    {file, "search.cgi?q=abc&x=1", "SEARCH.CGI_Q_ABC_X_1", filter_kept, 1, 1, 260, 2},
    {file, "search.cgi?q=abc&x=1", "SEARCH.CGI", filter_cut_cgi, 1, 1, 260, 3},
    {file, "search?q=x", "SEARCH", filter_cut, 1, 0, 260, 1},
    {dir, "cgi-bin/x;y", "CGI-BIN\\X;Y", filter_refused},
    {file, "photo.gif", ".GIF", filter_kept, 1, 1, 0},
    // Short-name mode off for a negative limit and above 8.
    {file, "longfilename.jpeg", "LONGFILENAME.JPEG", filter_kept, 1, 1, -1},
    {dir, "documents/old", "DOCUMENTS\\OLD", filter_kept, kNone, kNone, 9},
    // Escapes: a zero byte ends the name, decoded bytes are not looked at again.
    {file, "a%00b.html", "A", filter_kept, 1, 0},
    {file, "a%00?b", "A", filter_kept, 1, 0, 260, 0},
    {dir, "%2e%2e", ".."},
    {file, "a%3fb.html", "A?B.HTML", filter_kept, 1, 0, 260, 0},
    {file, "%%41.htm", "%A.HTM"},
    {file, "x.htm%4", "X.HTM"},
    {file, "a%7eb", "a~b.HTM", filter_kept, 1, 0, 260, 0, 0, 0},
    {file, "%zz.htm", "%ZZ.HTM"},
    // Other flg_cgi_file values cut like 1.
    {file, "search.cgi?q=abc", "SEARCH.CGI", filter_cut, 1, 1, 260, 7},
    {file, "search.cgi?q=abc", "SEARCH.CGI", filter_cut, 1, 1, 260, -1},
    // Double-byte characters: second bytes 0x5C and 0x7C, second byte in a-z.
    {file, "\x95\x5C.html", "\x95\x5C.HTML", filter_kept, 1, 0},
    {dir, "\x95\x5C/sub", "\x95\x5C\\SUB"},
    {file, "\x83\x7C.gif", "\x83\x7C.GIF", filter_refused, 1, kNone, 260, 0},
    {file, "\x83\x7C.gif", "\x83_.GIF", filter_kept, 1, 1, 260, 2},
    {file, "\x83\x7C.gif", "\x83", filter_cut, 1, 0, 260, 1},
    {file, "\x83\x61.htm", "\x83\x61.HTM", filter_kept, 1, 0},
    // A short-name cut never splits a double-byte character.
    {file, "a\x82\xa0\x82\xa2\x82\xa4\x82\xa6.txt", "A\x82\xa0\x82\xa2\x82\xa4.TXT", filter_kept, 1,
     0, 8},
    {file, "\x82\xa0\x82\xa2\x82\xa4\x82\xa6.txt", "\x82\xa0\x82\xa2\x82\xa4\x82\xa6.TXT",
     filter_kept, 1, 0, 8},
    {file, "x.\x82\xa0\x82\xa2", "X.\x82\xa0", filter_kept, 1, 1, 8},
    {dir, "a\x82\xa0\x82\xa2\x82\xa4\x82\xa6/b", "A\x82\xa0\x82\xa2\x82\xa4\\B", filter_kept, kNone,
     kNone, 8},
    // Short directory names: '.' is an ordinary byte, no name is dropped.
    {dir, "long.directory/sub", "LONG.DIR\\SUB", filter_kept, kNone, kNone, 8},
    {dir, "v1.2/long.name.x", "V1.2\\LONG.NAM", filter_kept, kNone, kNone, 8},
    // 0x5C separates names byte by byte: the cut piece loses the lead byte.
    {dir, "abcdefgh\x95\x5Cx/y", "ABCDEFGH\\X\\Y", filter_kept, kNone, kNone, 8},
};

TEST(FileNaming, MakesFiltersAndClassifiesNames) {
  for (const NameRow& row : kNameRows) {
    SCOPED_TRACE(std::string(row.part == dir ? "dir " : "file ") + row.input + " max " +
                 std::to_string(row.dir_max) + " cgi " + std::to_string(row.cgi_file));
    const auto settings = std::make_unique<Settings>();
    settings->flg_dir_max = row.dir_max;
    settings->flg_cgi_file = row.cgi_file;
    settings->flg_sub_dir = row.sub_dir;
    copy_text(settings->domain_sub, "SUB");
    settings->flg_cap_file = row.cap;
    std::string name;
    if (row.part == dir) {
      name = make_dir_directory(*settings, row.input);
    } else {
      const int flg_filename = make_dir_filename(*settings, row.input, name);
      if (row.flg_filename != kNone) {
        EXPECT_EQ(flg_filename, row.flg_filename);
      }
    }
    EXPECT_EQ(filter_name(*settings, name), row.result);
    EXPECT_EQ(name, row.expected);
    if (row.graphic != kNone) {
      EXPECT_EQ(is_graphic_name(name), row.graphic);
    }
  }
}

TEST(FileNaming, CaseSettingsAndRootNameAreTakenAsGiven) {
  const auto settings = std::make_unique<Settings>();
  settings->flg_cap_dir = 0;
  settings->flg_cap_file = 0;
  copy_text(settings->domain_root, "index.html");
  std::string name;
  EXPECT_EQ(make_dir_directory(*settings, "Dir1/Sub"), "Dir1\\Sub");
  EXPECT_EQ(make_dir_filename(*settings, "Page", name), 1);
  EXPECT_EQ(name, "Page.HTM");
  settings->flg_dir_max = 2;
  EXPECT_EQ(make_dir_filename(*settings, "", name), 0);
  EXPECT_EQ(name, "index.html");
  settings->flg_sub_dir = 1;
  copy_text(settings->domain_sub, "long/sub");
  EXPECT_EQ(make_dir_directory(*settings, "x"), "long/sub");
}

struct GraphicRow {
  const char* name;
  int graphic;
};

const GraphicRow kGraphicRows[] = {
    {"PAGE.HTML", 0}, {"A.TXT", 0},    {"NOEXT", 0},     {"IMG.GIF", 1}, {"X.HT", 1},
    {"ARC.ZIP", 1},   {"page.htm", 0}, {"A.TXTX", 0},    {"X.", 1},      {"A.HTM.GZ", 1},
    {"A.GZ.HTM", 0},  {"", 0},         {"X.\x82htm", 1},
};

TEST(FileNaming, PageOrImage) {
  for (const GraphicRow& row : kGraphicRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(is_graphic_name(row.name), row.graphic);
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
              row.refused);
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
    EXPECT_EQ(make_out_path(*settings, domain, "", file, out_path), total > 260) << total;
    EXPECT_EQ(out_path.size(), total);
  }
}

// Escapes that spell ".." or a separator get through the naming rules; the path refuses them.
TEST(OutPath, EscapedParentNamesStayInside) {
  const auto settings = std::make_unique<Settings>();
  const char* const urls[] = {"http://aa.bb/%2e%2e/%2E%2E/x.html", "http://aa.bb/d/%2e%2e%5cx.html",
                              "http://aa.bb/d/%2e%2e%2fx.html"};
  for (const char* url : urls) {
    SCOPED_TRACE(url);
    const UrlKind kind = classify_url(url);
    std::string directory = make_dir_directory(*settings, split_url_directory(kind, url));
    std::string filename;
    make_dir_filename(*settings, split_url_filename(kind, url), filename);
    EXPECT_EQ(filter_name(*settings, directory), filter_kept);
    EXPECT_EQ(filter_name(*settings, filename), filter_kept);
    std::string out_path;
    EXPECT_TRUE(make_out_path(*settings, make_dir_domain(*settings, split_url_domain(kind, url)),
                              directory, filename, out_path))
        << out_path;
  }
}

}  // namespace
}  // namespace volari
