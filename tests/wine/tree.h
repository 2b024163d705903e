// What a run left on disk, in a form the two platforms' results can be compared in.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "testlib/console_text.h"  // crlf

namespace volari::testing {

struct Node {
  bool directory = false;
  std::string bytes;  // a file's content
  int64_t mtime = 0;  // whole seconds since 1970
};

// Relative path ('/' between names) -> node. Names are the program's own bytes (Shift-JIS).
using Tree = std::map<std::string, Node>;

// Every entry below `root` (not following links), less the top-level names in `skip`. Wine keeps
// a Windows name in UTF-8 on Linux: with `utf8_names` each name is turned back into code page
// 932; a name that does not convert is kept as it is behind the marker "?utf8?".
Tree snapshot(const std::string& root, bool utf8_names, const std::set<std::string>& skip);

// `text` converted between two iconv encodings; nothing when a byte does not convert.
std::optional<std::string> convert(const std::string& text, const char* from, const char* to);

// `bytes` with every byte outside printable ASCII as \xHH, for messages.
std::string printable(const std::string& bytes);

// Every occurrence of `from` in `text` replaced by `to`.
std::string replace_all(std::string text, const std::string& from, const std::string& to);

}  // namespace volari::testing
