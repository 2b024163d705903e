#include "testlib/mkcache_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testlib/process.h"

namespace volari::testing {

namespace {

std::vector<std::string> command(std::vector<std::string> argv, const std::string& extra) {
  std::istringstream words(extra);
  for (std::string w; words >> w;) argv.insert(argv.end() - 1, w);
  return argv;
}

// Undoes the dump's escapes (\\ \t \n \r \xHH).
std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
  }
  return out;
}

}  // namespace

int run_mkcache(const std::string& outdir, const std::string& manifest_text,
                const std::string& extra_args) {
  std::filesystem::create_directories(outdir);
  const std::string manifest = outdir + "/manifest.txt";
  std::ofstream(manifest, std::ios::binary) << manifest_text;
  const ProcessResult r =
      run_process(command({VOLARI_MKCACHE, manifest, outdir}, extra_args), "", {}, 120);
  if (r.status != 0) ADD_FAILURE() << "mkcache: " << r.err;
  return r.status;
}

std::vector<std::vector<std::string>> dump_index(const std::string& index_path,
                                                 const std::string& extra_args) {
  const ProcessResult r =
      run_process(command({VOLARI_MKCACHE, "--dump", index_path}, extra_args), "");
  if (r.status != 0) ADD_FAILURE() << "mkcache --dump " << index_path << ": " << r.err;
  std::vector<std::vector<std::string>> pairs;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    pairs.emplace_back();
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');)
      pairs.back().push_back(unescape(field));
  }
  return pairs;
}

std::string manifest_escape(const std::string& bytes) {
  std::string out;
  char hex[8];
  for (unsigned char c : bytes) {
    const bool plain = c > 0x20 && c < 0x7F && c != '\\' && c != '=' && c != '#';
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += plain ? std::string(1, static_cast<char>(c)) : hex;
  }
  for (const char* w : {"-", "post", "nofile", "delete", "bsize", "ffactor", "nelem", "cachesize",
                        "lorder", "records", "intkeys", "history", "index", "names", "time"}) {
    if (out == w) {
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(out[0]));
      return hex + out.substr(1);
    }
  }
  return out;
}

}  // namespace volari::testing
