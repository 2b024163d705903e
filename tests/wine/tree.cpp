#include "wine/tree.h"

#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace volari::testing {

namespace {

void walk(const fs::path& dir, const std::string& rel, bool utf8_names,
          const std::set<std::string>& skip, Tree& tree) {
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    const std::string raw = e.path().filename().string();
    if (rel.empty() && skip.count(raw)) continue;
    std::string name = raw;
    if (utf8_names) {
      const std::optional<std::string> sjis = convert(raw, "UTF-8", "CP932");
      name = sjis ? *sjis : "?utf8?" + raw;
    }
    const std::string path = rel.empty() ? name : rel + "/" + name;
    struct stat st;
    if (lstat(e.path().c_str(), &st) != 0) continue;
    Node node;
    node.mtime = st.st_mtime;
    node.directory = S_ISDIR(st.st_mode);
    if (S_ISREG(st.st_mode)) {
      std::ifstream in(e.path(), std::ios::binary);
      std::ostringstream s;
      s << in.rdbuf();
      node.bytes = s.str();
    }
    tree[path] = node;
    if (node.directory) walk(e.path(), path, utf8_names, skip, tree);
  }
}

}  // namespace

Tree snapshot(const std::string& root, bool utf8_names, const std::set<std::string>& skip) {
  Tree tree;
  walk(root, "", utf8_names, skip, tree);
  return tree;
}

std::optional<std::string> convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* put = out.data();
  size_t out_left = out.size();
  size_t r = iconv(cd, &in, &in_left, &put, &out_left);
  if (r != static_cast<size_t>(-1)) r = iconv(cd, nullptr, nullptr, &put, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || in_left != 0) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

std::string printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n\n";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace volari::testing
