#include "run/link_targets.h"

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
  uint64_t hash = kFnvBasis;
  const auto put = [&hash](char c) {
    hash = (hash ^ static_cast<unsigned char>(ascii_lower(c))) * kFnvPrime;
  };
  // Plain loops: find_first_of calls memchr once a byte, and this runs for every link.
  const size_t n = url.size();
  size_t at = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    if (url[i] == '/' && url[i + 1] == '/') {
      at = i + 2;
      break;
    }
  }
  size_t host_end = at;
  while (host_end < n && url[host_end] != '/' && url[host_end] != '?' && url[host_end] != '#') {
    ++host_end;
  }
  std::string_view host = url.substr(at, host_end - at);
  const size_t user = host.rfind('@');
  if (user != std::string_view::npos) host.remove_prefix(user + 1);
  host = host.substr(0, host.find(':'));
  if (host.size() > 4 && same_ignoring_ascii_case(host.substr(0, 4), "www.")) host.remove_prefix(4);
  for (const char c : host) put(c);
  put('/');
  for (size_t i = host_end; i < n && url[i] != '?' && url[i] != '#'; ++i) {
    const int high = url[i] == '%' && i + 2 < n ? hex_digit(url[i + 1]) : -1;
    const int low = high >= 0 ? hex_digit(url[i + 2]) : -1;
    if (low >= 0) {
      put(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      put(url[i]);
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
