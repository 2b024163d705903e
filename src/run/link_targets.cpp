#include "run/link_targets.h"

#include <algorithm>

#include "mapping/map_url.h"
#include "support/sjis.h"

namespace volari {

namespace {

constexpr uint64_t kFnvBasis = 14695981039346656037ull, kFnvPrime = 1099511628211ull;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ascii_lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

uint64_t LinkTargets::loose_key(std::string_view url) {
  // Plain loops over the bytes: this runs for every link a page has that the memo does not know.
  uint64_t hash = kFnvBasis;
  const auto put = [&hash](unsigned char c) {
    hash = (hash ^ (c >= 'A' && c <= 'Z' ? c + 32u : c)) * kFnvPrime;
  };
  const size_t n = url.size();
  size_t at = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    if (url[i] == '/' && url[i + 1] == '/') {
      at = i + 2;
      break;
    }
  }
  size_t host_end = at;
  size_t host_begin = at;  // after the last '@'
  size_t port = std::string_view::npos;
  for (; host_end < n; ++host_end) {
    const char c = url[host_end];
    if (c == '/' || c == '?' || c == '#') break;
    if (c == '@') {
      host_begin = host_end + 1;
      port = std::string_view::npos;
    } else if (c == ':' && port == std::string_view::npos) {
      port = host_end;
    }
  }
  std::string_view host = url.substr(host_begin, std::min(port, host_end) - host_begin);
  if (host.size() > 4 && same_ignoring_ascii_case(host.substr(0, 4), "www.")) host.remove_prefix(4);
  for (const char c : host) put(static_cast<unsigned char>(c));
  put('/');
  for (size_t i = host_end; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(url[i]);
    if (c == '?' || c == '#') break;
    const int high = c == '%' && i + 2 < n ? hex_digit(url[i + 1]) : -1;
    const int low = high >= 0 ? hex_digit(url[i + 2]) : -1;
    if (low >= 0) {
      put(static_cast<unsigned char>(high * 16 + low));
      i += 2;
    } else {
      put(c);
    }
  }
  return hash;
}

void LinkTargets::add(std::string_view url, const std::string& out_path, bool converted) {
  urls_.insert(loose_key(url));
  if (converted) paths_.insert(key(out_path));
}

uint64_t LinkTargets::key(const std::string& text) {
  uint64_t hash = kFnvBasis;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return hash;
}

std::optional<std::string> LinkTargets::find(Platform& platform, const Settings& settings,
                                             const std::string& absolute_url) {
  if (urls_.count(loose_key(absolute_url)) == 0) return std::nullopt;
  auto [it, fresh] = looked_up_.try_emplace(key(absolute_url));
  if (fresh) {
    MappedUrl u = map_url(settings, absolute_url);
    if (u.outcome == MapOutcome::mapped &&
        (paths_.count(key(u.out_path)) != 0 || platform.attributes(u.out_path.c_str()) != -1)) {
      it->second = std::move(u.out_path);
    }
  }
  if (it->second.empty()) return std::nullopt;
  return it->second;
}

}  // namespace volari
