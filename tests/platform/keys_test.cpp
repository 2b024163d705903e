#include <gtest/gtest.h>
#include <termios.h>

#include <string>
#include <vector>

#include "child.h"
#include "platform/posix/posix_platform.h"

namespace volari::platform_test {
namespace {

// Polls until a key waits (or the time is up); true when one does.
bool await_key(Platform& p, int limit_ms = 3000) {
  for (int waited = 0; waited < limit_ms; waited += 5) {
    if (p.key_waiting()) return true;
    struct timespec pause = {0, 5 * 1000000};
    ::nanosleep(&pause, nullptr);
  }
  return false;
}

// Codes a program on a fresh terminal gets for `typed` (written piece by piece); the terminal
// starts in the mode `raw` says (ICANON and ECHO off), or as a shell leaves it.
std::string codes_for(const std::vector<std::string>& typed, bool raw) {
  Pty pty;
  if (!pty.ok()) return "(no pty)";
  if (raw) {
    struct termios t;
    ::tcgetattr(pty.slave, &t);
    t.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    ::tcsetattr(pty.slave, TCSANOW, &t);
  }
  const ChildRun run = run_child(
      [&](int out) {
        pty.become_stdin(true);
        PosixPlatform p;
        if (!await_key(p)) return;
        do {
          report(out, p.read_key());
        } while (await_key(p, 100));  // the terminal may pass long input on in pieces
      },
      [&] {
        for (const std::string& piece : typed) pty.type(piece);
      });
  return run.finished ? run.report : "(unfinished)";
}

TEST(PlatformKeys, TerminalBytesBecomeConsoleKeyCodes) {
  const struct {
    std::vector<std::string> typed;
    const char* codes;
    bool raw = true;
  } cases[] = {
      {{"\x1bOP"}, "224 59 "},  // application mode
      {{"\x1b[24~"}, "224 134 "},
      {{"\x1b[15;5~"}, "224 63 "},  // a modifier does not change the key
      {{"\x1b[[A"}, "224 59 "},     // Linux console F1
      {{"\x1b[200~"}, "224 0 "},    // a sequence of no known key is still no Escape
      {{"ab\r\x7f"}, "97 98 13 8 "},
      {{"x\x1b[Bq\x1b\x1b"}, "120 224 80 113 27 27 "},
      {{"\x1b", "[", "A"}, "224 72 "},  // one key, written in pieces
      // A shell's terminal buffers lines; keys pressed between polls still arrive one by one.
      {{"\x1b[A\x1b"}, "224 72 27 ", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.codes, codes_for(c.typed, c.raw)) << ::testing::PrintToString(c.typed);
  }
  // More than one read's worth of bytes: a sequence cut at the end of the buffer is not split.
  std::string typed;
  std::string codes;
  for (int i = 0; i < 100; ++i) {
    typed += "\x1b[B";
    codes += "224 80 ";
  }
  EXPECT_EQ(codes, codes_for({typed}, true));
}

bool same_mode(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// poll_escape's use of the keys: a cursor key costs two polls and is never Escape; the terminal's
// own mode is back after every poll and read.
TEST(PlatformKeys, ACursorKeyTakesTwoPollsAndTheModeIsKept) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int out) {
        pty.become_stdin(true);
        PosixPlatform p;
        struct termios before;
        struct termios now;
        ::tcgetattr(STDIN_FILENO, &before);
        report(out, (before.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO));
        report(out, await_key(p));
        ::tcgetattr(STDIN_FILENO, &now);
        report(out, same_mode(before, now));
        for (int poll = 0; poll < 3; ++poll) {
          const bool waiting = p.key_waiting();
          report(out, waiting);
          if (waiting) report(out, p.read_key());
        }
        ::tcgetattr(STDIN_FILENO, &now);
        report(out, same_mode(before, now));
      },
      [&] { pty.type("\x1b[A"); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ("1 1 1 1 224 1 72 0 1 ", run.report);
}

TEST(PlatformKeys, WithoutATerminalKeysAreTheInputsBytesAndNoneWaits) {
  // Reading must never block: the child has two seconds.
  const ChildRun run = run_child(
      [](int out) {
        for (const char* bytes : {"", "\x1bz"}) {  // an empty input, then one with bytes in it
          int fds[2];
          if (::pipe(fds) != 0) return;
          ssize_t ignored = ::write(fds[1], bytes, std::strlen(bytes));
          (void)ignored;
          ::close(fds[1]);
          ::dup2(fds[0], STDIN_FILENO);
          PosixPlatform p;
          report(out, p.key_waiting());
          for (int i = 0; i < 3; ++i) report(out, p.read_key());
        }
      },
      {}, 2000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ("0 -1 -1 -1 0 27 122 -1 ", run.report);  // 122 is 'z'
}

TEST(PlatformKeys, AHungUpTerminalEndsTheWait) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int out) {
        pty.become_stdin(false);
        PosixPlatform p;
        report(out, 1);
        report(out, p.read_key());
      },
      [&] {
        struct timespec pause = {0, 200 * 1000000};
        ::nanosleep(&pause, nullptr);
        ::close(pty.master);
        pty.master = -1;
      },
      5000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ("1 -1 ", run.report);
}

TEST(PlatformKeys, ABackgroundProcessLeavesTheTerminalAlone) {
  // A background process that changed the terminal's mode would be stopped by it (and killed here
  // when its time is up).
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int out) {
        pty.become_stdin(true);
        const ChildRun background = run_child(
            [](int bg_out) {
              ::setpgid(0, 0);
              PosixPlatform p;
              report(bg_out, p.key_waiting());
            },
            {}, 3000);
        report(out, background.finished && background.report == "0 ");  // no key for it
        // The key is still there for the foreground.
        PosixPlatform p;
        report(out, await_key(p) ? p.read_key() : -1);
      },
      [&] { pty.type("k"); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ("1 107 ", run.report);  // 107 is 'k'
}

}  // namespace
}  // namespace volari::platform_test
