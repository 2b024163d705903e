// glibc's converters: the independent oracle of the encoding tests and checks.
#pragma once

#include <iconv.h>

#include <string>

namespace volari::testing {

// `in` converted from one charset to another, as iconv names them; empty when iconv cannot
// convert all of it (or knows neither charset).
inline std::string iconv_text(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  std::string out(in.size() * 4 + 16, '\0');
  char* ip = const_cast<char*>(in.data());
  char* op = &out[0];
  size_t il = in.size(), ol = out.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<size_t>(-1);
  iconv_close(cd);
  return ok ? out.substr(0, op - out.data()) : std::string();
}

}  // namespace volari::testing
