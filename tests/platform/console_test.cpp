#include <gtest/gtest.h>
#include <locale.h>
#include <termios.h>

#include <string>

#include "child.h"
#include "platform/posix/posix_platform.h"

namespace volari::platform_test {
namespace {

// 処理を開始します。 in Shift-JIS, and in UTF-8.
const std::string kStartSjis =
    "\x8f\x88\x97\x9d\x82\xf0\x8a\x4a\x8e\x6e\x82\xb5\x82\xdc\x82\xb7\x81\x42";
const std::string kStartUtf8 =
    "\xe5\x87\xa6\xe7\x90\x86\xe3\x82\x92\xe9\x96\x8b\xe5\xa7\x8b\xe3\x81\x97\xe3\x81\xbe\xe3\x81"
    "\x99\xe3\x80\x82";

// Writes `text` through a platform built in a child whose standard output is a terminal with
// locale `locale`; returns what reached the terminal (its output processing off), or "(failed)".
std::string on_terminal(const std::string& text, const char* locale, size_t expect) {
  Pty pty;
  if (!pty.ok()) return "(no pty)";
  struct termios t;
  ::tcgetattr(pty.slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(pty.slave, TCSANOW, &t);
  const ChildRun run = run_child([&](int out) {
    ::close(pty.master);
    ::unsetenv("LANG");
    ::unsetenv("LC_CTYPE");
    ::setenv("LC_ALL", locale, 1);
    ::dup2(pty.slave, STDOUT_FILENO);
    const std::string before = ::setlocale(LC_CTYPE, nullptr);
    {
      PosixPlatform p;
      p.console_write(text.data(), text.size());
      p.console_flush();
    }
    // The process's own locale is left as it was.
    report(out, before == ::setlocale(LC_CTYPE, nullptr));
  });
  if (!run.finished || run.report != "1 ") return "(failed)";
  return read_for(pty.master, 3000, expect);
}

TEST(PlatformConsole, ATerminalShowsShiftJisInItsCharacterSet) {
  const struct {
    const char* locale;
    std::string sjis;
    std::string shown;
  } cases[] = {
      {"C.UTF-8", kStartSjis + " (MS-DOS)\n", kStartUtf8 + " (MS-DOS)\n"},
      {"C", kStartSjis, kStartUtf8},  // a plain ASCII locale: UTF-8, which a terminal shows
      {"C.UTF-8", "\xb1\xb2", "\xef\xbd\xb1\xef\xbd\xb2"},  // half-width katakana
      // A stray lead byte (before no second byte, or at the end) and an unassigned character
      // each show as one '?'; nothing else is lost.
      {"C.UTF-8", "A\x81 B\x85\x41Z\x81", "A? B?Z?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.shown, on_terminal(c.sjis, c.locale, c.shown.size()))
        << c.locale << " " << ::testing::PrintToString(c.sjis);
  }
}

TEST(PlatformConsole, RedirectedOutputKeepsTheExactBytes) {
  const std::string text = kStartSjis + "\n\x95\x5c\r\n\x85\x41\x81";
  const ChildRun run = run_child([&](int report) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::dup2(report, STDOUT_FILENO);
    PosixPlatform p;
    p.console_write(text.data(), 5);
    p.console_write(text.data() + 5, text.size() - 5);
    p.console_flush();
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(text, run.report);
}

}  // namespace
}  // namespace volari::platform_test
