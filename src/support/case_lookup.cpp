#include "support/case_lookup.h"

#include "support/disk.h"
#include "support/sjis.h"

namespace volari {

namespace {

// ASCII letters lowered; the second byte of a double-byte character is no letter.
std::string lowered(std::string text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (is_sjis_lead(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else {
      text[i] = ascii_lower(text[i]);
    }
  }
  return text;
}

}  // namespace

std::optional<std::string> CaseFreeLookup::find(Platform& platform, const std::string& path,
                                                FileMode mode) {
  if (file_exists(platform, path.c_str(), mode)) return path;
  // Cache names of Unix caches hold '/' ("0A/cache...html"): it separates names as well.
  size_t cut = last_separator(path);
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && (cut == std::string::npos || slash > cut)) cut = slash;
  const std::string folder = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  auto [it, fresh] = folders_.try_emplace(folder);
  if (fresh) {
    const std::string pattern = (folder.empty() ? std::string(".\\") : folder) + "*";
    if (auto search = platform.find_files(pattern.c_str())) {
      FoundEntry e;
      while (search->next(&e)) {
        if (e.directory) continue;
        auto [name, first] = it->second.try_emplace(lowered(e.name), e.name);
        if (!first) name->second.clear();
      }
    }
  }
  const auto match = it->second.find(lowered(path.substr(folder.size())));
  if (match == it->second.end() || match->second.empty()) return std::nullopt;
  const std::string found = folder + match->second;
  if (!file_exists(platform, found.c_str(), mode)) return std::nullopt;
  return found;
}

}  // namespace volari
