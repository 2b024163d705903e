#include <cstring>

#include "support/disk.h"
#include "support/sjis.h"

namespace volari {

namespace {

void end_scan(ScanState& state) {
  state.search.reset();
  state.active = false;
  state.pattern[0] = '\0';
}

}  // namespace

ScanEntry scan_dir(Platform& platform, ScanState& state, const char* pattern, char* out,
                   bool dot_entries) {
  constexpr size_t kOut = 260;
  if (std::strlen(pattern) >= sizeof(state.pattern)) {
    // Its copy would be cut and never match again, restarting the scan on every call.
    end_scan(state);
    if (out) out[0] = '\0';
    return ScanEntry::end;
  }
  for (;;) {
    if (state.active && std::strcmp(state.pattern, pattern) != 0) end_scan(state);
    if (!state.active) {
      copy_text(state.pattern, pattern);
      state.search = platform.find_files(pattern);
      state.active = true;
    }
    FoundEntry entry;
    if (!state.search || !state.search->next(&entry)) {
      if (out) out[0] = '\0';
      end_scan(state);
      return ScanEntry::end;
    }
    if (out) {
      char path[sizeof(state.pattern)];
      path_dir_part(pattern, path);
      size_t n = copy_text(out, kOut, path);
      if (n > 0) n += copy_text(out + n, kOut - n, "\\");
      copy_text(out + n, kOut - n, entry.name);
    }
    if (!entry.directory) return ScanEntry::file;
    if (entry.name[0] != '.') return ScanEntry::directory;
    if (dot_entries) return ScanEntry::dot;
  }
}

}  // namespace volari
