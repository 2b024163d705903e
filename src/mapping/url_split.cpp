#include "mapping/url_split.h"

#include "support/sjis.h"

namespace volari {

namespace {

struct Prefix {
  const char* text;
  size_t len;
  UrlKind kind;
};

constexpr Prefix kPrefixes[] = {{"HTTP://", 7, kind_http},
                                {"HTTPS://", 8, kind_https},
                                {"FTP://", 6, kind_ftp},
                                {"FILE://", 7, kind_file}};

std::string rest_of(UrlKind kind, const std::string& url) {
  const size_t skip = url_prefix_length(kind);
  return skip < url.size() ? url.substr(skip) : std::string();
}

}  // namespace

UrlKind classify_url(const std::string& url) {
  std::string upper = url;
  sjis_upper(upper);
  for (const Prefix& p : kPrefixes) {
    if (upper.compare(0, p.len, p.text) == 0) return p.kind;
  }
  return kind_other;
}

size_t url_prefix_length(UrlKind kind) {
  for (const Prefix& p : kPrefixes) {
    if (p.kind == kind) return p.len;
  }
  return 0;
}

std::string split_url_domain(UrlKind kind, const std::string& url) {
  const std::string rest = rest_of(kind, url);
  return rest.substr(0, rest.find('/'));
}

std::string split_url_directory(UrlKind kind, const std::string& url) {
  const std::string rest = rest_of(kind, url);
  const size_t first = rest.find('/');
  const size_t last = rest.rfind('/');
  if (first == std::string::npos || first == last) return std::string();
  return rest.substr(first + 1, last - first - 1);
}

std::string split_url_filename(UrlKind kind, const std::string& url) {
  const std::string rest = rest_of(kind, url);
  const size_t last = rest.rfind('/');
  return last == std::string::npos ? std::string() : rest.substr(last + 1);
}

}  // namespace volari
