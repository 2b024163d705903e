#include "mapping/url_resolve.h"

#include <algorithm>
#include <cstddef>

#include "support/sjis.h"

namespace volari {

namespace {

struct UrlParts {
  std::string_view scheme;  // as written; empty for a relative reference
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
  char* const lowered = &out[start];
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      lowered[i] = static_cast<char>(c + 32);
    } else if (c >= 0x80 && char_length(s, i) == 2) {
      ++i;
    }
  }
}

// Schemes are ASCII letters, digits and "+-.".
bool same_scheme(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(static_cast<unsigned char>(a[i])) !=
        ascii_lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool is_hierarchical(std::string_view scheme) {
  return same_scheme(scheme, "http") || same_scheme(scheme, "https") ||
         same_scheme(scheme, "ftp") || same_scheme(scheme, "file");
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
      p.scheme = s.substr(0, i);
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

// Appends `in` without its "." and ".." segments (RFC 3986 5.2.4) to `out`; ".." at the root
// stays at the root.
void append_without_dot_segments(std::string_view in, std::string& out) {
  if (in.find("/.") == std::string_view::npos && (in.empty() || in[0] != '.')) {
    out.append(in);
    return;
  }
  const size_t start = out.size();
  const auto up = [&out, start] {
    const size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos || slash < start ? start : slash);
  };
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
      up();
      if (in.empty()) out += '/';
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', 1);
      out.append(in.substr(0, next));
      in.remove_prefix(std::min(next, in.size()));
    }
  }
}

// The value as browsers take it: outer blanks trimmed, tabs and line breaks dropped; in
// `storage` when it differs from `raw`.
std::string_view clean_value(std::string_view raw, std::string& storage) {
  bool plain = raw.empty() || (!is_html_blank(raw.front()) && !is_html_blank(raw.back()));
  for (size_t i = 0; plain && i < raw.size(); ++i) {
    plain = raw[i] != '&' && raw[i] != '\t' && raw[i] != '\n' && raw[i] != '\r';
  }
  if (plain) return raw;
  const std::string decoded = decode_amp_entities(raw);
  size_t b = 0;
  size_t e = decoded.size();
  while (b < e && is_html_blank(static_cast<unsigned char>(decoded[b]))) ++b;
  while (e > b && is_html_blank(static_cast<unsigned char>(decoded[e - 1]))) --e;
  storage.reserve(e - b);
  for (size_t i = b; i < e; ++i) {
    if (decoded[i] != '\t' && decoded[i] != '\n' && decoded[i] != '\r') storage += decoded[i];
  }
  return storage;
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
  std::string storage;
  std::string_view ref = clean_value(value, storage);
  const size_t hash = ref.find('#');
  if (hash != std::string_view::npos) {
    result.fragment.assign(ref.substr(hash));
    ref = ref.substr(0, hash);
  }
  UrlParts r = parse(ref);
  const UrlParts b = parse(base.substr(0, base.find('#')));
  if (!r.scheme.empty() && !is_hierarchical(r.scheme)) return std::nullopt;
  if (!r.has_authority && same_scheme(r.scheme, b.scheme)) r.scheme = {};
  const bool own = !r.scheme.empty() || r.has_authority;
  if (!own && (b.scheme.empty() || !is_hierarchical(b.scheme))) return std::nullopt;

  const UrlParts& t = own ? r : b;
  std::string& url = result.url;
  url.reserve(base.size() + ref.size() + 2);
  append_lower(t.scheme.empty() ? b.scheme : t.scheme, url);
  url += ':';
  if (t.has_authority) {
    url += "//";
    const size_t at = t.authority.rfind('@');
    const size_t host = at == std::string_view::npos ? 0 : at + 1;
    url.append(t.authority.substr(0, host));
    append_lower(t.authority.substr(host), url);
  }
  std::string_view query = r.query;
  if (own || (!r.path.empty() && r.path[0] == '/')) {
    append_without_dot_segments(r.path, url);
  } else if (r.path.empty()) {
    url.append(b.path);
    if (r.query.empty()) query = b.query;
  } else {
    const size_t slash = b.path.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : b.path.substr(0, slash + 1);
    const bool root = b.has_authority && b.path.empty();
    if (r.path[0] != '.' && r.path.find("/.") == std::string_view::npos &&
        folder.find("/.") == std::string_view::npos &&
        (root || folder.empty() || folder[0] != '.')) {
      // No dot segment anywhere in the merged path.
      if (root) url += '/';
      url.append(folder);
      url.append(r.path);
    } else {
      std::string merged = root ? "/" : "";
      merged.append(folder);
      merged.append(r.path);
      append_without_dot_segments(merged, url);
    }
  }
  url.append(query);
  return result;
}

}  // namespace volari
