#include "config/args.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/error_line.h"
#include "support/sjis.h"

namespace volari {

const char kProgramName[] = "VOLD32";
const char kVersion[] = "1.08";

namespace {

constexpr size_t kPatternBuffer = sizeof(ScanState::pattern);

void copy_arg(char* dst, const char* src) {
  size_t i = 0;
  while (src[i] && i < kArgBuffer - 1) {
    if (is_sjis_lead(static_cast<unsigned char>(src[i])) && src[i + 1]) {
      if (i + 2 > kArgBuffer - 1) break;
      dst[i] = src[i];
      ++i;
    }
    dst[i] = src[i];
    ++i;
  }
  dst[i] = '\0';
}

void put(Platform& platform, const char* text, int n) {
  if (n > 0) platform.console_write(text, static_cast<size_t>(n));
}

void heading(Platform& platform) {
  char text[64];
  put(platform, text,
      std::snprintf(text, sizeof text, "\n%s - VOLARI  version %s", kProgramName, kVersion));
}

}  // namespace

int read_number(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  const bool negative = *text == '-';
  if (*text == '+' || *text == '-') ++text;
  long long v = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (v <= INT_MAX) v = v * 10 + (*text - '0');
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

bool arg_start(ArgScanner& scanner, int argc, char** argv) {
  scanner.count = argv ? argc : 0;
  scanner.vector = argv;
  scanner.cursor = 1;
  return scanner.count > 1;
}

ArgKind arg_next(ArgScanner& scanner, Platform& platform, char* buf) {
  if (scanner.cursor == 0) return ArgKind::end;
  for (;;) {
    if (scanner.cursor >= scanner.count) {
      scanner.cursor = 0;
      return ArgKind::end;
    }
    const char* arg = scanner.vector[scanner.cursor];
    if (arg[0] == '-' || arg[0] == '/') {
      copy_arg(buf, arg + 1);
      ++scanner.cursor;
      return ArgKind::option;
    }
    if (std::strpbrk(arg, "?*")) {
      // Never cut: a shorter pattern would match other names.
      const std::string pattern = path_from_user(arg);
      if (pattern.size() < kPatternBuffer) {
        if (scan_dir(platform, scanner.scan, pattern.c_str(), scanner.path, false) !=
            ScanEntry::end) {
          copy_arg(buf, scanner.path);
          return ArgKind::plain;
        }
      }
      ++scanner.cursor;
      continue;
    }
    copy_arg(buf, arg);
    ++scanner.cursor;
    return ArgKind::plain;
  }
}

Request parse_command_line(Platform& platform, Settings& settings, int argc, char** argv) {
  Request result = Request::run;
  const auto ask = [&result](Request r) { result = r > result ? r : result; };
  ArgScanner scanner;
  if (!arg_start(scanner, argc, argv)) return result;
  char buf[kArgBuffer];
  ArgKind kind;
  while ((kind = arg_next(scanner, platform, buf)) != ArgKind::end) {
    if (kind == ArgKind::plain) {
      settings.flg_dom_only = 1;
      copy_text(settings.domain_only, buf);
      for (char* p = settings.domain_only; *p; ++p) *p = ascii_lower(*p);
      continue;
    }
    // The long options every Linux tool knows; "-h" stays history mode.
    if (std::strcmp(buf, "-help") == 0 || std::strcmp(buf, "-version") == 0) {
      ask(buf[1] == 'h' ? Request::usage : Request::version);
      continue;
    }
    const char letter = ascii_lower(buf[0]);
    const char* value = letter ? buf + 1 : buf;
    switch (letter) {
      case '!':
        settings.flg_debug = value[0] ? read_number(value) : 1;
        break;
      case '?':
        if (value[0] == '?') show_debug_usage(platform);
        ask(Request::usage);
        break;
      case 'h':
        settings.flg_history_db = 1;
        copy_text(settings.fat_filename, value[0] ? path_from_user(value).c_str() : "NETSCAPE.HST");
        copy_text(settings.log_filename, "HISTORY.TXT");
        copy_text(settings.hst_filename, "HISTORY.HTM");
        settings.flg_hst_file = 1;
        settings.flg_hst_mode = kHistoryModeKeys;
        break;
      case 'i':
        settings.intel_cpu = 0;
        break;
      case 'k':
        settings.flg_wait_key = 1;
        break;
      case 'r':
        settings.flg_result = 0;
        break;
      case 't':
        settings.flg_test = value[0] ? read_number(value) : 1;
        break;
      case 'v':
        settings.flg_verbose = 0;
        break;
      default: {
        // A mistyped option must not start a whole conversion with settings nobody meant.
        char message[kArgBuffer + 32];
        std::snprintf(message, sizeof message, "option unknown '-%s'.", buf);
        error_line(platform, message);
        ask(Request::unusable);
        break;
      }
    }
  }
  return result;
}

void show_usage(Platform& platform) {
  heading(platform);
  char text[1024];
  const int n = std::snprintf(
      text, sizeof text,
      "\n\n    using : %s [options...] [url]\n\t-i    : not Intel data\n\t-v    : verbose not "
      "display\n\t-r    : result not display\n\t-k    : wait key press\n\t-?    : display help "
      "message\n\n",
      kProgramName);
  put(platform, text, n);
}

void show_version(Platform& platform) {
  char text[64];
  put(platform, text,
      std::snprintf(text, sizeof text, "%s - VOLARI  version %s\n", kProgramName, kVersion));
}

void show_debug_usage(Platform& platform) {
  heading(platform);
  char text[1024];
  const int n = std::snprintf(
      text, sizeof text,
      "\n\n    using : %s [options...]\n\t-!    : debug1 mode  disp copy\n\t-!2   : debug2 mode  "
      "disp copy+conv+all\n\t-!3   : debug3 mode  disp copy+conv+all+detail\n\t-t    : test1  "
      "mode  proc read+conv\n\t-t2   : test2  mode  proc read+conv+copy\n\t-t3   : test3  mode  "
      "proc read+conv+copy(cgi skip)\n\t-t4   : test4  mode  proc read+conv+copy(dir skip)\n\n",
      kProgramName);
  put(platform, text, n);
}

}  // namespace volari
