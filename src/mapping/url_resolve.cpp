#include "mapping/url_resolve.h"

#include <algorithm>
#include <cstddef>

#include "support/sjis.h"

namespace volari {

namespace {

struct UrlParts {
  std::string scheme;  // lower case; empty for a relative reference
  bool has_authority = false;
  std::string_view authority;
  std::string_view path;
  std::string_view query;  // with its '?'; empty when there is none
};

bool is_alpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool is_html_blank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
unsigned char ascii_lower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// Bytes of the character at s[i]: 2 for a lead byte with a trail byte after it, else 1.
size_t char_length(std::string_view s, size_t i) {
  if (i + 1 >= s.size() || !is_sjis_lead(static_cast<unsigned char>(s[i]))) return 1;
  const unsigned char t = static_cast<unsigned char>(s[i + 1]);
  return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC) ? 2 : 1;
}

// Appends `s` with ASCII capitals in lower case; double-byte characters stay whole.
void append_lower(std::string_view s, std::string& out) {
  const size_t start = out.size();
  out.append(s);
  for (size_t i = 0; i < s.size(); i += char_length(s, i)) {
    out[start + i] = static_cast<char>(ascii_lower(static_cast<unsigned char>(s[i])));
  }
}

bool is_hierarchical(const std::string& scheme) {
  return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file";
}

// Decoded value of "&#38;", "&#x26;" and the like at s[i], or -1.
long numeric_reference(std::string_view s, size_t i, size_t& end) {
  size_t j = i + 2;
  const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
  if (hex) ++j;
  long value = 0;
  const size_t first = j;
  for (; j < s.size() && j - first < 7; ++j) {  // 7 digits fit a 32-bit long
    const unsigned char c = ascii_lower(static_cast<unsigned char>(s[j]));
    if (is_digit(c)) {
      value = value * (hex ? 16 : 10) + (c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      value = value * 16 + (c - 'a' + 10);
    } else {
      break;
    }
  }
  if (j == first || j >= s.size() || s[j] != ';') return -1;
  end = j + 1;
  return value;
}

UrlParts parse(std::string_view s) {
  UrlParts p;
  if (!s.empty() && is_alpha(static_cast<unsigned char>(s[0]))) {
    size_t i = 1;
    while (i < s.size() && (is_alpha(static_cast<unsigned char>(s[i])) ||
                            is_digit(static_cast<unsigned char>(s[i])) || s[i] == '+' ||
                            s[i] == '-' || s[i] == '.')) {
      ++i;
    }
    if (i < s.size() && s[i] == ':') {
      append_lower(s.substr(0, i), p.scheme);
      s.remove_prefix(i + 1);
    }
  }
  if (s.size() >= 2 && s[0] == '/' && s[1] == '/') {
    size_t end = 2;
    while (end < s.size() && s[end] != '/' && s[end] != '?') ++end;
    p.has_authority = true;
    p.authority = s.substr(2, end - 2);
    s.remove_prefix(end);
  }
  const size_t q = s.find('?');
  p.path = s.substr(0, q);
  if (q != std::string_view::npos) p.query = s.substr(q);
  return p;
}

// Removes "." and ".." segments (RFC 3986 5.2.4); ".." at the root stays at the root.
std::string remove_dot_segments(std::string_view in) {
  if (in.find("/.") == std::string_view::npos && (in.empty() || in[0] != '.')) {
    return std::string(in);
  }
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./") {
      in.remove_prefix(2);
    } else if (in.substr(0, 3) == "/./" || in == "/.") {
      in.remove_prefix(2);
      if (in.empty()) out += '/';
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in.remove_prefix(3);
      const size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
      if (in.empty()) out += '/';
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', 1);
      out.append(in.substr(0, next));
      in.remove_prefix(std::min(next, in.size()));
    }
  }
  return out;
}

// The value as browsers take it: outer blanks trimmed, tabs and line breaks dropped.
std::string clean_value(std::string_view raw) {
  bool plain = raw.empty() || (!is_html_blank(raw.front()) && !is_html_blank(raw.back()));
  for (size_t i = 0; plain && i < raw.size(); ++i) {
    plain = raw[i] != '&' && raw[i] != '\t' && raw[i] != '\n' && raw[i] != '\r';
  }
  if (plain) return std::string(raw);
  const std::string decoded = decode_amp_entities(raw);
  size_t b = 0;
  size_t e = decoded.size();
  while (b < e && is_html_blank(static_cast<unsigned char>(decoded[b]))) ++b;
  while (e > b && is_html_blank(static_cast<unsigned char>(decoded[e - 1]))) --e;
  std::string out;
  out.reserve(e - b);
  for (size_t i = b; i < e; ++i) {
    if (decoded[i] != '\t' && decoded[i] != '\n' && decoded[i] != '\r') out += decoded[i];
  }
  return out;
}

}  // namespace

std::string decode_amp_entities(std::string_view value) {
  if (value.find('&') == std::string_view::npos) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size();) {
    size_t end = 0;
    if (value[i] != '&') {
      out += value[i++];
    } else if (value.substr(i, 5) == "&amp;" || value.substr(i, 5) == "&AMP;") {
      out += '&';
      i += 5;
    } else if (value.substr(i, 2) == "&#" && numeric_reference(value, i, end) == '&') {
      out += '&';
      i = end;
    } else {
      out += value[i++];
    }
  }
  return out;
}

std::optional<ResolvedLink> resolve_link(std::string_view base, std::string_view value) {
  ResolvedLink result;
  std::string ref = clean_value(value);
  const size_t hash = ref.find('#');
  if (hash != std::string::npos) {
    result.fragment = ref.substr(hash);
    ref.erase(hash);
  }
  UrlParts r = parse(ref);
  const UrlParts b = parse(base.substr(0, base.find('#')));
  if (!r.scheme.empty() && !is_hierarchical(r.scheme)) return std::nullopt;
  if (r.scheme == b.scheme && !r.has_authority) r.scheme.clear();

  UrlParts t;
  std::string path;
  if (!r.scheme.empty() || r.has_authority) {
    t = r;
    path = remove_dot_segments(r.path);
  } else {
    t = b;
    if (b.scheme.empty() || !is_hierarchical(b.scheme)) return std::nullopt;
    if (r.path.empty()) {
      path = std::string(b.path);
      if (!r.query.empty()) t.query = r.query;
    } else {
      t.query = r.query;
      if (r.path[0] == '/') {
        path = remove_dot_segments(r.path);
      } else {
        const size_t slash = b.path.rfind('/');
        std::string merged = b.has_authority && b.path.empty() ? "/" : "";
        if (slash != std::string_view::npos) merged.append(b.path.substr(0, slash + 1));
        merged.append(r.path);
        path = remove_dot_segments(merged);
      }
    }
  }
  if (t.scheme.empty()) t.scheme = b.scheme;

  std::string& url = result.url;
  url = t.scheme + ':';
  if (t.has_authority) {
    url += "//";
    const size_t at = t.authority.rfind('@');
    const size_t host = at == std::string_view::npos ? 0 : at + 1;
    url.append(t.authority.substr(0, host));
    append_lower(t.authority.substr(host), url);
  }
  url += path;
  url.append(t.query);
  return result;
}

}  // namespace volari
