#include "mapping/url_split.h"

#include "support/sjis.h"

namespace volari {

namespace {

struct Prefix {
  const char* text;
  size_t len;
  UrlKind kind;
};

constexpr Prefix kPrefixes[] = {{"HTTP://", 7, UrlKind::http},
                                {"HTTPS://", 8, UrlKind::https},
                                {"FTP://", 6, UrlKind::ftp},
                                {"FILE://", 7, UrlKind::file}};

std::string_view rest_of(UrlKind kind, std::string_view url) {
  const size_t skip = url_prefix_length(kind);
  return skip < url.size() ? url.substr(skip) : std::string_view();
}

}  // namespace

UrlKind classify_url(std::string_view url) {
  std::string upper(url.substr(0, 8));
  sjis_upper(upper);
  for (const Prefix& p : kPrefixes) {
    if (upper.compare(0, p.len, p.text) == 0) return p.kind;
  }
  return UrlKind::other;
}

size_t url_prefix_length(UrlKind kind) {
  for (const Prefix& p : kPrefixes) {
    if (p.kind == kind) return p.len;
  }
  return 0;
}

std::string split_url_domain(UrlKind kind, std::string_view url) {
  const std::string_view rest = rest_of(kind, url);
  return std::string(rest.substr(0, rest.find('/')));
}

std::string split_url_directory(UrlKind kind, std::string_view url) {
  const std::string_view rest = rest_of(kind, url);
  const size_t first = rest.find('/');
  const size_t last = rest.rfind('/');
  if (first == std::string_view::npos || first == last) return std::string();
  return std::string(rest.substr(first + 1, last - first - 1));
}

std::string split_url_filename(UrlKind kind, std::string_view url) {
  const std::string_view rest = rest_of(kind, url);
  const size_t last = rest.rfind('/');
  return last == std::string_view::npos ? std::string() : std::string(rest.substr(last + 1));
}

}  // namespace volari
