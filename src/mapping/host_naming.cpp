#include "mapping/host_naming.h"

#include <algorithm>
#include <cstring>

#include "mapping/short_names.h"
#include "support/sjis.h"

namespace volari {

namespace {

// Only the first three bytes are compared, so "www2" and "wwwxyz" go as well.
void drop_first_label(std::string& name, const char* lower, const char* upper) {
  if (name.compare(0, 3, lower) != 0 && name.compare(0, 3, upper) != 0) return;
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(0, dot + 1);
}

// Rewrites the dots before the protected ending; true when the host is numeric.
bool rewrite_dots(const Settings& settings, std::string& name, size_t tail_len) {
  const size_t head_len = tail_len < name.size() ? name.size() - tail_len : 0;
  const int mode = settings.flg_dom_dir;
  std::string out;
  out.reserve(name.size());
  bool numeric = tail_len == 0;
  for (size_t at = 0; at < head_len; ++at) {
    const char c = name[at];
    if (c != '.') {
      if (c < '0' || c > '9') numeric = false;
      out += c;
    } else if (mode & 4) {
      continue;
    } else if (mode & 8) {
      out += '_';
    } else if (mode & 2) {
      out += '.';
    } else {
      out += '\\';
    }
  }
  out.append(name, head_len, std::string::npos);
  name = out;
  return numeric;
}

}  // namespace

std::string make_dir_domain(const Settings& settings, const std::string& url_domain) {
  std::string name = url_domain;
  const int skip = settings.flg_skip_www;
  if (skip & 1) {
    const size_t colon = name.rfind(':');
    if (colon != std::string::npos) name.erase(colon);
  }
  const size_t at_sign = name.rfind('@');
  if (at_sign != std::string::npos) {
    if (skip & 8) {
      name.erase(0, at_sign + 1);
    } else {
      name[at_sign] = '.';
    }
  }
  const size_t tail_len = lookup_domain_alias(settings, name);
  if (skip & 2) drop_first_label(name, "www", "WWW");
  if (skip & 4) drop_first_label(name, "ftp", "FTP");
  if (settings.flg_dom_dir & 1) reverse_host_labels(name, tail_len);
  const std::string domain_ip = text_of(settings.domain_ip);
  if (rewrite_dots(settings, name, tail_len) && !domain_ip.empty()) name = domain_ip;
  if (!name.empty() && name[0] == '\\') name.erase(0, 1);
  shorten_dir_path(settings, name);
  name += text_of(settings.domain_ext);
  if (settings.flg_cap_dom != 0) sjis_upper(name);
  return name;
}

size_t lookup_domain_alias(const Settings& settings, std::string& name) {
  const uint32_t count = std::min<uint32_t>(settings.domain_count, kMaxDomainAliases);
  for (uint32_t i = 0; i < count; ++i) {
    const DomainAlias& alias = settings.domain_table[i];
    const std::string dom = text_of(alias.dom);
    if (dom.empty() || name.size() < dom.size()) continue;
    if (name.compare(name.size() - dom.size(), dom.size(), dom) != 0) continue;
    const std::string dir = text_of(alias.dir);
    name.replace(name.size() - dom.size(), dom.size(), dir);
    return (settings.flg_dom_flg & 1) ? dir.size() : 0;
  }
  return 0;
}

void reverse_host_labels(std::string& name, size_t tail_len) {
  if (tail_len != 0 && tail_len >= name.size()) return;
  const size_t head_len = name.size() - tail_len;
  std::string out;
  out.reserve(name.size());
  size_t end = head_len;
  for (;;) {
    const size_t dot = end == 0 ? std::string::npos : name.rfind('.', end - 1);
    const size_t begin = dot == std::string::npos ? 0 : dot + 1;
    out.append(name, begin, end - begin);
    if (dot == std::string::npos) break;
    out += '.';
    end = dot;
  }
  out.append(name, head_len, std::string::npos);
  name = out;
}

}  // namespace volari
