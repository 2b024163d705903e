#include "config/profile.h"

#include <algorithm>
#include <cstring>

#include "support/sjis.h"
#include "support/text_file.h"

namespace volari {

const char kProfileTemp[] = "ZEL_LIB.TMP";

namespace {

// The piece as a line: its one trailing line end removed.
void piece_line(const char* piece, char* line) {
  copy_text(line, kProfilePiece, piece);
  const size_t n = std::strlen(line);
  if (n > 0 && line[n - 1] == '\n') line[n - 1] = '\0';
}

bool is_header(const char* line, const char* section) {
  if (line[0] != '[') return false;
  const char* close = std::strchr(line, ']');
  if (!close) return false;
  const size_t n = static_cast<size_t>(close - line - 1);
  return std::strlen(section) == n && std::memcmp(line + 1, section, n) == 0;
}

// The value of `line` when its key is `key`, else null.
const char* key_value(const char* line, const char* key) {
  const char* eq = std::strchr(line, '=');
  if (!eq) return nullptr;
  const size_t n = static_cast<size_t>(eq - line);
  if (std::strlen(key) != n || std::memcmp(line, key, n) != 0) return nullptr;
  return eq + 1;
}

bool ends_line(const char* piece, size_t n) {
  return n > 0 && piece[n - 1] == '\n';
}

// The next whole line without its line end, cut to kProfileLine - 1 bytes; false at the end.
bool read_line(TextFile& in, char (&line)[kProfileLine]) {
  char piece[kProfilePiece];
  size_t n = in.gets(piece, sizeof piece);
  if (n == 0) return false;
  size_t len = 0;
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

void put_key(TextFile& out, const char* key, const char* value) {
  out.puts(key);
  out.puts("=");
  out.puts(value);
  out.puts("\n");
}

// Copies `in` to `out` with the key stored; works on whole lines so that no long line is split.
void rewrite(TextFile& in, TextFile& out, const char* section, const char* key, const char* value) {
  char piece[kProfilePiece];
  char line[kProfilePiece];
  bool in_section = false;
  bool placed = false;
  bool dropping = false;  // the rest of the old key line
  bool line_start = true;
  size_t n;
  while ((n = in.gets(piece, sizeof piece)) > 0) {
    const bool starts = line_start;
    line_start = ends_line(piece, n);
    if (!starts) {
      if (!dropping) out.write(piece, n);
      continue;
    }
    dropping = false;
    if (!placed && piece[0] != ';') {
      piece_line(piece, line);
      if (in_section && line[0] == '[') {
        put_key(out, key, value);
        placed = true;
      } else if (in_section && key_value(line, key)) {
        put_key(out, key, value);
        placed = dropping = true;
        continue;
      } else if (!in_section && is_header(line, section)) {
        in_section = true;
      }
    }
    out.write(piece, n);
  }
  if (placed) return;
  if (in_section) {
    if (!line_start) out.puts("\n");  // else the key would join the unterminated last line
  } else {
    out.puts("\n[");
    out.puts(section);
    out.puts("]\n");
  }
  put_key(out, key, value);
}

// kProfileTemp in the directory of `file`; a file of that very name gets another.
bool temp_name(const char* file, char* out, size_t size) {
  char dir[kProfilePath];
  path_dir_part(file, dir);
  const size_t n = std::strlen(dir);
  const char* name = file + n;
  if (*name == '\\') ++name;
  const char* temp = kProfileTemp;
  if (same_ignoring_ascii_case(name, kProfileTemp)) temp = "ZEL_LIB2.TMP";
  const bool join = n > 0 && dir[n - 1] != '\\' && dir[n - 1] != ':';
  const size_t need = n + (join ? 1 : 0) + std::strlen(temp) + 1;
  if (need > size) return false;
  std::memcpy(out, dir, n);
  size_t at = n;
  if (join) out[at++] = '\\';
  std::memcpy(out + at, temp, std::strlen(temp) + 1);
  return true;
}

}  // namespace

bool profile_get(Platform& platform, const char* file, const char* section, const char* key,
                 char* out) {
  out[0] = '\0';
  TextFile in(platform);
  if (!in.open(file, TextMode::read)) return false;
  char line[kProfileLine];
  bool found = false;
  while (read_line(in, line)) {
    if (line[0] == ';') continue;
    if (!found) {
      found = is_header(line, section);
      continue;
    }
    if (line[0] == '[') break;
    if (const char* value = key_value(line, key)) {
      copy_text(out, kProfileValue, value);
      return true;
    }
  }
  return false;
}

void profile_put(Platform& platform, const char* file, const char* section, const char* key,
                 const char* value) {
  if (!file[0] || std::strlen(file) >= kProfilePath) return;
  if (std::strpbrk(section, "]\r\n") || std::strpbrk(key, "=\r\n") || std::strpbrk(value, "\r\n")) {
    return;
  }
  char present[kProfileValue];
  profile_get(platform, file, section, key, present);
  if (present[0] && std::strcmp(present, value) == 0) return;

  TextFile in(platform);
  const bool exists = in.open(file, TextMode::read);
  if (!exists && platform.attributes(file) != -1) return;  // there, but unreadable: keep it
  char temp[kProfilePath + 16];
  if (!temp_name(file, temp, sizeof temp)) return;
  TextFile out(platform);
  bool ok = out.open(temp, TextMode::write);
  if (ok) {
    if (exists) {
      rewrite(in, out, section, key, value);
      if (in.read_failed()) ok = false;  // a shortened copy must never replace the file
    } else {
      out.puts("[");
      out.puts(section);
      out.puts("]\n");
      put_key(out, key, value);
    }
  }
  in.close();
  ok = out.close() && ok;
  if (!ok || !platform.rename_file(temp, file)) platform.remove_file(temp);
}

}  // namespace volari
