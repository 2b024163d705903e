#include "testlib/browser.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "testlib/process.h"
#include "testlib/temp_dir.h"

namespace volari::testing {

namespace {

constexpr char kChromium[] = "/usr/bin/chromium";

// Every page is opened as a browser opens a page of its own (a page in a frame would take the
// encoding of the page around it): a copy of it beside it, with a script appended that notes, URL-
// encoded, per page a line "i charset text" and per link a line "i +|-|= url" (loads, does not
// load, is not local), and goes on to the next copy; the last goes to a report page, which
// --dump-dom prints. The notes wait in localStorage, which all local pages share. A frameset
// takes no script after it: there the note goes before it and waits for the document.
constexpr char kNote[] = R"(<script>WHEN(function () {
  const say = (...f) => localStorage.setItem('r', (localStorage.getItem('r') || '') +
                                                      f.map(encodeURIComponent).join(' ') + '\n');
  const loads = (url) => {
    try { const x = new XMLHttpRequest(); x.open('GET', url, false); x.send(); return true; }
    catch (e) { return false; }
  };
  const d = document;
  say(INDEX, d.characterSet, d.body ? d.body.innerText.trim() : '');
  for (const e of d.querySelectorAll('a[href],area[href],link[href],img[src],frame[src],' +
                                     'iframe[src],script[src]')) {
    const url = (e.href || e.src).split('#')[0];
    if (url) say(INDEX, url.startsWith('file:') ? (loads(url) ? '+' : '-') : '=', url);
  }
  location.replace(NEXT);
});</script>)";

constexpr char kReport[] = R"(<!DOCTYPE html><meta charset="utf-8"><pre id="out"></pre><script>
document.getElementById('out').textContent = localStorage.getItem('r');</script>)";

std::string decoded(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string file_url(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if (isalnum(c) || std::string("/-_.~").find(static_cast<char>(c)) != std::string::npos) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

}  // namespace

std::string browser_missing() {
  return access(kChromium, X_OK) == 0 ? "" : "no chromium; run `tools/setup.sh browser` as root";
}

std::vector<PageView> view_in_browser(const std::vector<std::string>& files) {
  std::vector<PageView> views(files.size());
  TempDir dir;
  dir.write_file("report.html", kReport);
  std::vector<std::string> copies;
  for (size_t i = 0; i < files.size(); ++i) {
    copies.push_back(files[i] + ".view.html");
  }
  for (size_t i = 0; i < files.size(); ++i) {
    std::string note = kNote;
    for (size_t at; (at = note.find("INDEX")) != std::string::npos;) {
      note.replace(at, 5, std::to_string(i));
    }
    const std::string next = i + 1 < files.size() ? copies[i + 1] : dir.file("report.html");
    note.replace(note.find("NEXT"), 4, "'" + file_url(next) + "'");
    std::ifstream in(files[i], std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string lower = page;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t frameset = lower.find("<frameset");
    const bool early = frameset != std::string::npos;
    note.replace(note.find("WHEN"), 4,
                 early ? "(f => addEventListener('DOMContentLoaded', f))" : "(f => f())");
    page.insert(early ? frameset : page.size(), note);
    std::ofstream(copies[i], std::ios::binary) << page;
  }
  const ProcessResult r =
      run_process({kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                   "--no-first-run", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", "--allow-file-access-from-files",
                   "--virtual-time-budget=60000", "--user-data-dir=" + dir.file("profile"),
                   "--dump-dom", file_url(copies.empty() ? dir.file("report.html") : copies[0])},
                  dir.path(), {}, 120);
  for (const std::string& copy : copies) std::remove(copy.c_str());
  const size_t start = r.out.find("<pre id=\"out\">");
  std::istringstream lines(start == std::string::npos ? "" : r.out.substr(start + 14));
  for (std::string line; std::getline(lines, line) && line.rfind("</pre>", 0) != 0;) {
    std::istringstream fields(line);
    std::string index, a, b;
    fields >> index >> a >> b;
    const size_t i = std::stoul(index);
    if (i >= views.size()) continue;
    PageView& v = views[i];
    a = decoded(a);
    if (a == "+" || a == "-" || a == "=") {
      (a == "+" ? v.found : a == "-" ? v.missing : v.remote).push_back(decoded(b));
    } else {
      v.charset = a;
      v.text = decoded(b);
    }
  }
  return views;
}

}  // namespace volari::testing
