#include "output/sites_page.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "platform/cp932.h"

namespace volari {

namespace {

struct Site {
  std::vector<const ManifestRow*> pages;
  size_t images = 0;
};

void put_text(std::string_view utf8, std::string& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    size_t n = utf8_char_length(s + i, utf8.size() - i);
    const char32_t c = n == 0 ? 0xFFFD : utf8_decode(s + i, n);
    i += n == 0 ? 1 : n;
    switch (c) {
      case '<':
        out += "&lt;";
        continue;
      case '>':
        out += "&gt;";
        continue;
      case '&':
        out += "&amp;";
        continue;
      case '"':
        out += "&quot;";
        continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    unsigned char sjis[2];
    n = unicode_to_cp932(c, sjis);
    if (n > 0) {
      out.append(reinterpret_cast<const char*>(sjis), n);
    } else {
      out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
    }
  }
}

void put_link(std::string_view path, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  static const std::string_view kEscaped = "\"#%&:<>?\\^`{|}";
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || kEscaped.find(ch) != std::string_view::npos) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
}

std::string host_of(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos || url.find_first_of("/?#") < scheme) return "";
  std::string_view rest = url.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  const size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest.remove_prefix(at + 1);
  std::string host(rest);
  for (char& c : host) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return host;
}

std::string count_of(size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void put_page_line(const ManifestRow& row, std::string& out) {
  out += "<LI><A HREF=\"";
  put_link(row.path, out);
  out += "\">";
  put_text(row.title.empty() ? row.path : row.title, out);
  out += "</A> ";
  const std::string& t = row.time;
  if (t.size() >= 16 && t[10] == 'T') {
    put_text(t.substr(0, 10) + " " + t.substr(11, 5), out);
  } else {
    put_text(t, out);
  }
  out += "\r\n";
}

}  // namespace

std::string sites_page(const Manifest& manifest) {
  std::map<std::string, Site> sites;
  std::vector<const ManifestRow*> newest;
  for (const auto& [url, row] : manifest.rows) {
    if (row.status != status_word(EntryStatus::converted)) continue;
    Site& site = sites[host_of(url)];
    if (row.kind == "page" && !row.path.empty()) {
      site.pages.push_back(&row);
      newest.push_back(&row);
    } else if (row.kind == "image") {
      ++site.images;
    }
  }
  // A time that is no date (a row edited by hand) counts as the oldest.
  const auto key = [](const ManifestRow* r) {
    const std::string_view t = r->time;
    return t.empty() || t[0] < '0' || t[0] > '9' ? std::string_view() : t;
  };
  const auto by_time = [&key](const ManifestRow* a, const ManifestRow* b) {
    const std::string_view ta = key(a), tb = key(b);
    return ta != tb ? ta > tb : a->url < b->url;
  };
  const size_t shown = std::min(newest.size(), kNewestPages);
  std::partial_sort(newest.begin(), newest.begin() + static_cast<long>(shown), newest.end(),
                    by_time);
  newest.resize(shown);

  std::string out =
      "<HTML>\r\n<HEAD>\r\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n"
      "<TITLE>Sites from VOLARI</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<H2>Sites from VOLARI</H2>\r\n"
      "<UL>\r\n";
  size_t number = 0;
  for (const auto& [host, site] : sites) {
    out += "<LI><A HREF=\"#site" + std::to_string(++number) + "\">";
    put_text(host.empty() ? "(no host)" : host, out);
    out += "</A> (" + count_of(site.pages.size(), "page") + ", " + count_of(site.images, "image") +
           ")\r\n";
  }
  out += "</UL>\r\n<H3>Newest pages</H3>\r\n<OL>\r\n";
  for (const ManifestRow* row : newest) put_page_line(*row, out);
  out += "</OL>\r\n";

  number = 0;
  for (auto& [host, site] : sites) {
    out += "<H3><A NAME=\"site" + std::to_string(++number) + "\">";
    put_text(host.empty() ? "(no host)" : host, out);
    out += "</A></H3>\r\n<P>" + count_of(site.pages.size(), "page") + ", " +
           count_of(site.images, "image") + "</P>\r\n<UL>\r\n";
    std::sort(site.pages.begin(), site.pages.end(), [](const ManifestRow* a, const ManifestRow* b) {
      return a->path != b->path ? a->path < b->path : a->url < b->url;
    });
    for (const ManifestRow* row : site.pages) put_page_line(*row, out);
    out += "</UL>\r\n";
  }
  out += "</BODY>\r\n</HTML>\r\n";
  return out;
}

}  // namespace volari
