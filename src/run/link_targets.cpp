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
  uint64_t hash = kFnvBasis;
  const auto put = [&hash](char c) {
    hash = (hash ^ static_cast<unsigned char>(ascii_lower(c))) * kFnvPrime;
  };
  size_t at = url.find("//");
  at = at == std::string_view::npos ? 0 : at + 2;
  size_t host_end = std::min(url.find_first_of("/?#", at), url.size());
  std::string_view host = url.substr(at, host_end - at);
  host.remove_prefix(host.rfind('@') == std::string_view::npos ? 0 : host.rfind('@') + 1);
  host = host.substr(0, host.find(':'));
  if (host.size() > 4 && same_ignoring_ascii_case(host.substr(0, 4), "www.")) host.remove_prefix(4);
  for (const char c : host) put(c);
  put('/');
  const std::string_view path = url.substr(host_end, url.find_first_of("?#", host_end) - host_end);
  for (size_t i = 0; i < path.size(); ++i) {
    const int high = path[i] == '%' && i + 2 < path.size() ? hex_digit(path[i + 1]) : -1;
    const int low = high >= 0 ? hex_digit(path[i + 2]) : -1;
    if (low >= 0) {
      put(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      put(path[i]);
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
