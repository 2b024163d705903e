#include "testlib/mkcache_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace volari::testing {
namespace {

std::vector<std::string> split_blanks(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string word;
  while (in >> word) out.push_back(word);
  return out;
}

// Runs argv; with `out` set, collects its standard output. Returns the exit status or -1.
int run(const std::vector<std::string>& argv, std::string* out) {
  int fds[2] = {-1, -1};
  if (out && pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    if (out) {
      close(fds[0]);
      close(fds[1]);
    }
    return -1;
  }
  if (pid == 0) {
    if (out) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  if (out) {
    close(fds[1]);
    char buf[65536];
    for (;;) {
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      out->append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes the dump's escapes (\\ \t \n \r \xHH).
std::string unescape_field(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out.push_back(s[i]);
      continue;
    }
    const char c = s[++i];
    if (c == 't') {
      out.push_back('\t');
    } else if (c == 'n') {
      out.push_back('\n');
    } else if (c == 'r') {
      out.push_back('\r');
    } else if (c == 'x' && i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 &&
               hex_digit(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

int run_mkcache(const std::string& outdir, const std::string& manifest_text,
                const std::string& extra_args) {
  std::error_code ec;
  std::filesystem::create_directories(outdir, ec);
  const std::string manifest = outdir + "/manifest.txt";
  {
    std::ofstream f(manifest, std::ios::binary | std::ios::trunc);
    f.write(manifest_text.data(), static_cast<std::streamsize>(manifest_text.size()));
    if (!f) return -1;
  }
  std::vector<std::string> argv{VOLARI_MKCACHE};
  for (std::string& a : split_blanks(extra_args)) argv.push_back(std::move(a));
  argv.push_back(manifest);
  argv.push_back(outdir);
  return run(argv, nullptr);
}

std::vector<DumpedPair> dump_index(const std::string& index_path, const std::string& extra_args) {
  std::vector<std::string> argv{VOLARI_MKCACHE, "--dump"};
  for (std::string& a : split_blanks(extra_args)) argv.push_back(std::move(a));
  argv.push_back(index_path);
  std::string text;
  const int status = run(argv, &text);
  if (status != 0) ADD_FAILURE() << "mkcache --dump " << index_path << " exited with " << status;
  std::vector<DumpedPair> pairs;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t line = pos;
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> f;
    for (size_t start = pos;;) {
      const size_t tab = text.find('\t', start);
      if (tab == std::string::npos || tab > end) {
        f.push_back(text.substr(start, end - start));
        break;
      }
      f.push_back(text.substr(start, tab - start));
      start = tab + 1;
    }
    pos = end + 1;
    DumpedPair p;
    if (f.size() == 1) {
      p.url = unescape_field(f[0]);
    } else if (f.size() == 2) {
      p.url = unescape_field(f[0]);
      p.cache_file = unescape_field(f[1]);
    } else if (f.size() == 3 && (f[0] == "POST" || f[0] == "INT" || f[0] == "RAW")) {
      p.is_post = f[0] == "POST";
      p.is_internal = f[0] == "INT";
      p.is_raw = f[0] == "RAW";
      p.url = unescape_field(f[1]);
      p.cache_file = unescape_field(f[2]);
    } else {
      ADD_FAILURE() << "mkcache --dump: unexpected line: " << text.substr(line, end - line);
      continue;
    }
    pairs.push_back(std::move(p));
  }
  return pairs;
}

std::string manifest_escape(const std::string& bytes) {
  static const char* const kWords[] = {"-",       "post",    "nofile",    "delete", "bsize",
                                       "ffactor", "nelem",   "cachesize", "lorder", "records",
                                       "intkeys", "history", "index",     "names",  "time"};
  std::string out;
  for (unsigned char c : bytes) {
    if (c <= 0x20 || c >= 0x7F || c == '\\' || c == '=' || c == '#') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  for (const char* w : kWords) {
    if (out == w) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(out[0]));
      return buf + out.substr(1);
    }
  }
  return out;
}

}  // namespace volari::testing
