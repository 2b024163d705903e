#include <gtest/gtest.h>
#include <termios.h>

#include <string>
#include <vector>

#include "child.h"
#include "platform/posix/posix_platform.h"

namespace volari {
namespace {

using platform_test::ChildRun;
using platform_test::Pty;
using platform_test::report_int;
using platform_test::report_ints;
using platform_test::run_child;

constexpr int kWaitMs = 3000;

// Polls until a key waits (or the time is up); true when one does.
bool await_key(Platform& p, int limit_ms = kWaitMs) {
  const auto start = std::chrono::steady_clock::now();
  while (platform_test::elapsed_ms(start) < limit_ms) {
    if (p.key_waiting()) return true;
    struct timespec pause = {0, 5 * 1000000};
    ::nanosleep(&pause, nullptr);
  }
  return false;
}

// In a child on the terminal: waits for the first key, then reads every code that waits.
void report_codes(int report) {
  PosixPlatform p;
  if (!await_key(p)) return;
  do {
    report_int(report, p.read_key());
  } while (await_key(p, 100));  // the terminal may pass long input on in pieces
}

// Codes a program on a fresh terminal gets for `typed`; the terminal starts in the mode `raw`
// says (ICANON and ECHO off), or as a shell leaves it.
std::vector<int> codes_for(const std::vector<std::string>& typed, bool raw) {
  Pty pty;
  if (!pty.ok()) return {-100};
  if (raw) {
    struct termios t;
    ::tcgetattr(pty.slave, &t);
    t.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    ::tcsetattr(pty.slave, TCSANOW, &t);
  }
  const ChildRun run = run_child(
      [&](int report) {
        pty.become_stdin(true);
        report_codes(report);
      },
      [&] {
        for (const std::string& piece : typed) pty.type(piece);
      });
  if (!run.finished) return {-200};
  return report_ints(run.report);
}

struct KeyCase {
  const char* typed;
  std::vector<int> codes;
};

const KeyCase kKeys[] = {
    {"\x1b", {27}},
    {"\x1b[A", {224, 72}},
    {"\x1b[B", {224, 80}},
    {"\x1b[C", {224, 77}},
    {"\x1b[D", {224, 75}},
    {"\x1b[H", {224, 71}},
    {"\x1b[F", {224, 79}},
    {"\x1bOA", {224, 72}},  // application cursor mode
    {"\x1bOP", {224, 59}},
    {"\x1bOS", {224, 62}},
    {"\x1b[15~", {224, 63}},
    {"\x1b[21~", {224, 68}},
    {"\x1b[24~", {224, 134}},
    {"\x1b[2~", {224, 82}},
    {"\x1b[3~", {224, 83}},
    {"\x1b[5~", {224, 73}},
    {"\x1b[6~", {224, 81}},
    {"\x1b[1;5A", {224, 72}},  // a modifier does not change the key
    {"\x1b[[A", {224, 59}},    // Linux console F1
    {"\x1b[200~", {224, 0}},   // a sequence of no known key is still no Escape
    {"a", {97}},
    {"ab", {97, 98}},
    {"\r", {13}},
    {"\x7f", {8}},
    {"\x1b\x1b", {27, 27}},
    {"\x1b[A\x1b", {224, 72, 27}},
    {"x\x1b[Bq", {120, 224, 80, 113}},
};

TEST(PlatformKeys, TerminalBytesBecomeConsoleKeyCodes) {
  for (const KeyCase& c : kKeys) {
    EXPECT_EQ(c.codes, codes_for({c.typed}, true))
        << ::testing::PrintToString(std::string(c.typed));
  }
}

TEST(PlatformKeys, KeysTypedWhileBusyAreReadWithTheTerminalsLineMode) {
  // A shell's terminal buffers lines; keys pressed between polls still arrive one by one.
  EXPECT_EQ(std::vector<int>{27}, codes_for({"\x1b"}, false));
  EXPECT_EQ((std::vector<int>{224, 72}), codes_for({"\x1b[A"}, false));
  EXPECT_EQ((std::vector<int>{224, 59}), codes_for({"\x1bOP"}, false));
  EXPECT_EQ(std::vector<int>{113}, codes_for({"q"}, false));
}

TEST(PlatformKeys, ASequenceSplitAcrossWritesIsOneKey) {
  EXPECT_EQ((std::vector<int>{224, 72}), codes_for({"\x1b", "[", "A"}, true));
}

TEST(PlatformKeys, LongInputKeepsSequencesWhole) {
  // More than one read's worth of bytes: a sequence cut at the end of the buffer is not split.
  std::string typed;
  std::vector<int> expected;
  for (int i = 0; i < 100; ++i) {
    typed += "\x1b[B";
    expected.push_back(224);
    expected.push_back(80);
  }
  EXPECT_EQ(expected, codes_for({typed}, true));
}

// poll_escape's use of the keys: a cursor key costs two polls and is never Escape.
TEST(PlatformKeys, ACursorKeyTakesTwoPollsWithoutEscape) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int report) {
        pty.become_stdin(true);
        PosixPlatform p;
        report_int(report, await_key(p));
        for (int poll = 0; poll < 3; ++poll) {
          const bool waiting = p.key_waiting();
          report_int(report, waiting);
          if (waiting) report_int(report, p.read_key());
        }
      },
      [&] { pty.type("\x1b[A"); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ((std::vector<int>{1, 1, 224, 1, 72, 0}), report_ints(run.report));
}

bool same_mode(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST(PlatformKeys, TheTerminalsModeIsRestoredAfterEveryPollAndRead) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int report) {
        pty.become_stdin(true);
        PosixPlatform p;
        struct termios before;
        struct termios after;
        ::tcgetattr(STDIN_FILENO, &before);
        report_int(report, (before.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO));
        p.key_waiting();  // nothing typed yet
        ::tcgetattr(STDIN_FILENO, &after);
        report_int(report, same_mode(before, after));
        await_key(p);
        ::tcgetattr(STDIN_FILENO, &after);
        report_int(report, same_mode(before, after));
        report_int(report, p.read_key());
        ::tcgetattr(STDIN_FILENO, &after);
        report_int(report, same_mode(before, after));
      },
      [&] { pty.type("k"); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ((std::vector<int>{1, 1, 1, 'k', 1}), report_ints(run.report));
}

TEST(PlatformKeys, WithoutATerminalNoKeyWaitsAndReadingNeverBlocks) {
  const ChildRun run = run_child([](int report) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, STDIN_FILENO);
    PosixPlatform p;
    const auto start = std::chrono::steady_clock::now();
    report_int(report, p.key_waiting());
    report_int(report, p.read_key());
    report_int(report, p.read_key());
    report_int(report, platform_test::elapsed_ms(start) < 1000);
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ((std::vector<int>{0, -1, -1, 1}), report_ints(run.report));
}

TEST(PlatformKeys, FromAPipeKeysAreItsBytesAndNoneEverWaits) {
  const ChildRun run = run_child([](int report) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    ssize_t ignored = ::write(fds[1], "\x1bz", 2);
    (void)ignored;
    ::close(fds[1]);
    ::dup2(fds[0], STDIN_FILENO);
    PosixPlatform p;
    report_int(report, p.key_waiting());  // bytes are there, yet no key is waiting
    report_int(report, p.read_key());
    report_int(report, p.read_key());
    report_int(report, p.read_key());
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ((std::vector<int>{0, 27, 'z', -1}), report_ints(run.report));
}

TEST(PlatformKeys, AHungUpTerminalEndsTheWait) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int report) {
        pty.become_stdin(false);
        PosixPlatform p;
        report_int(report, 1);
        report_int(report, p.read_key());
      },
      [&] {
        struct timespec pause = {0, 200 * 1000000};
        ::nanosleep(&pause, nullptr);
        ::close(pty.master);
        pty.master = -1;
      },
      5000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ((std::vector<int>{1, -1}), report_ints(run.report));
}

TEST(PlatformKeys, ABackgroundProcessLeavesTheTerminalAlone) {
  // A background process that changed the terminal's mode would be stopped by it.
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const ChildRun run = run_child(
      [&](int report) {
        pty.become_stdin(true);
        const pid_t background = ::fork();
        if (background == 0) {
          ::setpgid(0, 0);
          PosixPlatform p;
          ::_exit(p.key_waiting() ? 1 : 0);
        }
        int status = 0;
        struct timespec pause = {0, 10 * 1000000};
        int waited = 0;
        pid_t r = 0;
        while ((r = ::waitpid(background, &status, WNOHANG | WUNTRACED)) == 0 && waited < 300) {
          ::nanosleep(&pause, nullptr);
          ++waited;
        }
        const bool stopped = r != background || WIFSTOPPED(status);
        if (stopped) {
          ::kill(background, SIGKILL);
          ::waitpid(background, &status, 0);
        }
        report_int(report, stopped ? -1 : WEXITSTATUS(status));
        // The key is still there for the foreground.
        PosixPlatform p;
        report_int(report, await_key(p) ? p.read_key() : -1);
      },
      [&] { pty.type("k"); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ((std::vector<int>{0, 'k'}), report_ints(run.report));
}

}  // namespace
}  // namespace volari
