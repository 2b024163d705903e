// Pages opened in a real browser, headless Chromium (Debian's chromium), all with one start:
// what the browser made of each, and where its links and images lead.
#pragma once

#include <string>
#include <vector>

namespace volari::testing {

struct PageView {
  std::string charset;  // document.characterSet
  std::string text;     // the body's text as the browser shows it (UTF-8), blanks at the ends cut
  // href and src values of links, areas, images, frames, scripts and style sheets, resolved:
  std::vector<std::string> found;    // local files that load
  std::vector<std::string> missing;  // local files that do not
  std::vector<std::string> remote;   // anything not a local file
};

// Why the browser cannot run here ("" when it can).
std::string browser_missing();

// Opens every file (absolute paths) in one Chromium run; one view per file, in order. A page
// that does not open gives an empty view.
std::vector<PageView> view_in_browser(const std::vector<std::string>& files);

}  // namespace volari::testing
