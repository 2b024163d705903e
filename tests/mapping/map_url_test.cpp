// The naming rules: URL to output path, without a file. The whole-program transcripts show the
// rules at work on real caches; these rows pin what they leave unseen.
#include "mapping/map_url.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
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

// "\xHH" as the byte HH.
std::string unescaped(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    const bool hex = field.compare(i, 2, "\\x") == 0 && i + 3 < field.size();
    out += hex ? static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16)) : field[i];
    i += hex ? 3 : 0;
  }
  return out;
}

// The cases of map_url_cases.txt, one a line.
TEST(MapUrl, EveryRuleInOrder) {
  const MapOutcome outcomes[] = {MapOutcome::mapped, MapOutcome::name_refused,
                                 MapOutcome::kind_skipped, MapOutcome::path_refused};
  const std::string names[] = {"mapped", "name_refused", "kind_skipped", "path_refused"};
  std::ifstream in(VOLARI_SOURCE_DIR "/tests/mapping/map_url_cases.txt", std::ios::binary);
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string url, tweaks, outcome, path, graphic;
    std::getline(fields, url, '\t');
    std::getline(fields, tweaks, '\t');
    std::getline(fields, outcome, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, graphic, '\t');
    SCOPED_TRACE(line);
    const MappedUrl m = map_url(*settings_for(tweaks == "-" ? "" : tweaks), unescaped(url));
    EXPECT_EQ(names[int(std::find(outcomes, std::end(outcomes), m.outcome) - outcomes)], outcome);
    EXPECT_TRUE(path == "-" || m.out_path == unescaped(path)) << m.out_path;
    EXPECT_TRUE(graphic == "-" || m.flags.graphic == (graphic == "1"));
    ++cases;
  }
  EXPECT_GT(cases, 60);
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
