// The console texts a run is expected to show, made from the program's own formats.
#pragma once

#include <cstdio>
#include <string>

#include "support/japanese.h"

namespace volari::testing {

inline std::string banner() {
  char a[256];
  std::snprintf(a, sizeof a, ja::kBannerFormat, "MS-DOS", ja::kBannerEdition);
  return a;
}

// Both summary blocks; the skip total is the sum of the four skips.
inline std::string summary(int cache, int conv, int html, int graphic, int before, int nofile,
                           int nohttp, int cgi) {
  char a[2048];
  char b[2048];
  std::snprintf(a, sizeof a, ja::kSummaryFirstFormat, cache, conv, html, graphic);
  std::snprintf(b, sizeof b, ja::kSummarySecondFormat, before + nofile + nohttp + cgi, before,
                nofile, nohttp, cgi);
  return std::string(a) + b;
}

// `text` with every LF written as CR LF, as text-mode files hold it.
inline std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace volari::testing
