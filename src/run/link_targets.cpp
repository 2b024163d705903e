#include "run/link_targets.h"

#include "mapping/map_url.h"

namespace volari {

uint64_t LinkTargets::key(const std::string& out_path) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : out_path) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

std::optional<std::string> LinkTargets::find(Platform& platform, const Settings& settings,
                                             const std::string& absolute_url) {
  MappedUrl u = map_url(settings, absolute_url);
  if (u.outcome != MapOutcome::mapped) return std::nullopt;
  const uint64_t k = key(u.out_path);
  if (paths_.count(k) == 0) {
    auto [it, fresh] = on_disk_.try_emplace(k, false);
    if (fresh) it->second = platform.attributes(u.out_path.c_str()) != -1;
    if (!it->second) return std::nullopt;
  }
  return std::move(u.out_path);
}

}  // namespace volari
