#include "config/profile.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/file_replacement.h"
#include "support/sjis.h"
#include "support/text_file.h"

namespace volari {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";  // an editor's mark of UTF-8, no text
constexpr int64_t kProfileMax = 1 << 20;           // no settings file is larger

std::string_view without_bom(std::string_view text) {
  return text.substr(0, kBom.size()) == kBom ? text.substr(kBom.size()) : text;
}

bool is_header(std::string_view line, std::string_view section) {
  const size_t close = line.find(']');
  return !line.empty() && line[0] == '[' && close != std::string_view::npos &&
         line.substr(1, close - 1) == section;
}

// The value of `line` when its key is `key`.
std::optional<std::string_view> key_value(std::string_view line, std::string_view key) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || line.substr(0, eq) != key) return std::nullopt;
  return line.substr(eq + 1);
}

bool ends_line(const char* piece, size_t n) {
  return n > 0 && piece[n - 1] == '\n';
}

// The next whole line without its line end, cut to kProfileLine - 1 bytes; false at the end.
bool read_line(TextFile& in, char (&line)[kProfileLine], size_t& len) {
  char piece[kProfilePiece];
  size_t n = in.gets(piece, sizeof piece);
  if (n == 0) return false;
  len = 0;
  for (;;) {
    const bool last = ends_line(piece, n);
    const size_t take = std::min(n - (last ? 1 : 0), sizeof line - 1 - len);
    std::memcpy(line + len, piece, take);
    len += take;
    if (last || (n = in.gets(piece, sizeof piece)) == 0) break;
  }
  line[len] = '\0';
  return true;
}

// A line as the file holds it: its bytes with their line end, and its text without.
struct Line {
  std::string_view bytes;
  std::string_view text;
};

std::vector<Line> lines_of(std::string_view file) {
  std::vector<Line> lines;
  for (size_t at = 0; at < file.size();) {
    size_t end = file.find('\n', at);
    end = end == std::string_view::npos ? file.size() : end + 1;
    Line line{file.substr(at, end - at), file.substr(at, end - at)};
    if (!line.text.empty() && line.text.back() == '\n') line.text.remove_suffix(1);
    if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    lines.push_back(line);
    at = end;
  }
  if (!lines.empty()) lines[0].text = without_bom(lines[0].text);
  return lines;
}

// The file with key=value stored. Every other byte stays (a mark of UTF-8, a 0x1A, a NUL); new
// lines end as the first line does: LF alone in a file written on Unix, else CR LF.
std::string stored(std::string_view file, const char* section, const char* key, const char* value) {
  const std::vector<Line> lines = lines_of(file);
  const std::string_view first = lines.empty() ? std::string_view() : lines[0].bytes;
  const bool lf_only = first.size() >= 1 && first.back() == '\n' &&
                       (first.size() < 2 || first[first.size() - 2] != '\r');
  const std::string eol = lf_only ? "\n" : "\r\n";
  const std::string key_line = std::string(key) + "=" + value + eol;
  std::string out;
  bool in_section = false, placed = false;
  for (const Line& line : lines) {
    if (!placed && (line.text.empty() || line.text[0] != ';')) {
      if (in_section && !line.text.empty() && line.text[0] == '[') {
        out += key_line;
        placed = true;
      } else if (in_section && key_value(line.text, key)) {
        out += key_line;
        placed = true;
        continue;
      } else if (!in_section && is_header(line.text, section)) {
        in_section = true;
      }
    }
    out += line.bytes;
  }
  if (placed) return out;
  if (!in_section) {
    out += eol + "[" + section + "]" + eol;
  } else if (!file.empty() && file.back() != '\n') {
    out += eol;  // else the key would join the unterminated last line
  }
  return out + key_line;
}

}  // namespace

bool profile_get(Platform& platform, const char* file, const char* section, const char* key,
                 char* out) {
  out[0] = '\0';
  TextFile in(platform);
  if (!in.open(file, TextMode::read)) return false;
  char line[kProfileLine];
  size_t len = 0;
  bool found = false;
  for (bool first = true; read_line(in, line, len); first = false) {
    const std::string_view text = first ? without_bom({line, len}) : std::string_view(line, len);
    if (!text.empty() && text[0] == ';') continue;
    if (!found) {
      found = is_header(text, section);
      continue;
    }
    if (!text.empty() && text[0] == '[') break;
    if (const auto value = key_value(text, key)) {
      copy_text(out, kProfileValue, std::string(*value).c_str());
      return true;
    }
  }
  return false;
}

bool profile_put(Platform& platform, const char* file, const char* section, const char* key,
                 const char* value) {
  if (!file[0] || std::strlen(file) >= kProfilePath) return false;
  if (std::strpbrk(section, "]\r\n") || std::strpbrk(key, "=\r\n") || std::strpbrk(value, "\r\n")) {
    return false;
  }
  char present[kProfileValue];
  profile_get(platform, file, section, key, present);
  if (present[0] && std::strcmp(present, value) == 0) return true;

  // A link is followed: the file it names is rewritten, in its own folder.
  const std::string real = platform.resolve_links(file);
  const FileHandle old = platform.open_file(real.c_str(), FileMode::read);
  if (old == kNoFile) {
    return platform.attributes(real.c_str()) == -1 &&  // there, but unreadable: keep it
           replace_whole_file(platform, real,
                              std::string("[") + section + "]\r\n" + key + "=" + value + "\r\n");
  }
  std::string bytes;
  if (!read_whole_file(platform, old, kProfileMax, bytes)) {
    platform.close_file(old);
    return false;
  }
  return replace_whole_file(platform, real, stored(bytes, section, key, value), old);
}

}  // namespace volari
