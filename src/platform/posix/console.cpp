#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/cp932.h"
#include "platform/posix/posix_platform.h"

namespace volari {

namespace {

bool is_shift_jis(const char* codeset) {
  return std::strcmp(codeset, "SHIFT_JIS") == 0 || std::strcmp(codeset, "SJIS") == 0 ||
         std::strcmp(codeset, "CP932") == 0 || std::strcmp(codeset, "WINDOWS-31J") == 0;
}

}  // namespace

PosixConsole::PosixConsole() {
  if (!::isatty(STDOUT_FILENO)) return;  // redirected: the Shift-JIS bytes go out as they are
  // The environment's character set, without changing the process's locale.
  locale_t loc = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0))
    loc = ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return;
  const char* codeset = ::nl_langinfo_l(CODESET, loc);
  std::string target = codeset != nullptr ? codeset : "";
  ::freelocale(loc);
  if (target.empty() || is_shift_jis(target.c_str())) return;
  // A plain-ASCII locale cannot show Japanese at all; UTF-8 is what a modern terminal speaks.
  if (target == "ANSI_X3.4-1968") target = "UTF-8";
  iconv_t cd = ::iconv_open(target.c_str(), "CP932");
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_ = cd;
}

PosixConsole::~PosixConsole() {
  flush();
  if (iconv_) ::iconv_close(static_cast<iconv_t>(iconv_));
}

void PosixConsole::write(const char* bytes, size_t n) {
  if (iconv_ == nullptr) {
    std::fwrite(bytes, 1, n, stdout);
    return;
  }
  iconv_t cd = static_cast<iconv_t>(iconv_);
  char* in = const_cast<char*>(bytes);
  size_t in_left = n;
  char out[1024];
  while (in_left > 0) {
    char* o = out;
    size_t out_left = sizeof out;
    const size_t r = ::iconv(cd, &in, &in_left, &o, &out_left);
    const int error = errno;
    std::fwrite(out, 1, sizeof out - out_left, stdout);
    if (r == static_cast<size_t>(-1) && error != E2BIG) {
      // No Shift-JIS here, or nothing the terminal can show: one '?' per character, so that a
      // second byte never shows as a letter of its own.
      std::fputc('?', stdout);
      const size_t skip = sjis_char_length(reinterpret_cast<const unsigned char*>(in), in_left);
      in += skip;
      in_left -= skip;
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

void PosixConsole::flush() {
  std::fflush(stdout);
}

}  // namespace volari
