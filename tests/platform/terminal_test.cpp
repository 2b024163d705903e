// The real platform on a terminal and off it: what the console shows, the keys a program gets,
// and the terminal's own mode, never left changed. Each case runs in a child process that
// arranges its standard streams before it builds its platform.
#include <gtest/gtest.h>
#include <locale.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace volari {
namespace {

// Reads `fd` until its end (`*ended` set), `n` bytes or `limit_ms`, whichever comes first.
std::string read_for(int fd, int limit_ms, size_t n = SIZE_MAX, bool* ended = nullptr) {
  std::string out;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (out.size() < n && std::chrono::steady_clock::now() < end) {
    struct pollfd p = {fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[256];
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r <= 0) {
      if (ended) *ended = true;
      break;
    }
    out.append(buf, static_cast<size_t>(r));
  }
  return out;
}

// What `body` returns in a child process, or "(unfinished)" when the child has not ended within
// `limit_ms` (it is killed then). The parent runs `parent` meanwhile.
std::string in_child(const std::function<std::string()>& body,
                     const std::function<void()>& parent = {}, int limit_ms = 10000) {
  int fds[2];
  if (::pipe(fds) != 0) return "(no pipe)";
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGHUP, SIG_IGN);
    const std::string out = body();
    if (::write(fds[1], out.data(), out.size()) < 0) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  if (parent) parent();
  bool ended = false;
  const std::string out = read_for(fds[0], limit_ms, SIZE_MAX, &ended);
  ::close(fds[0]);
  if (!ended) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return ended && WIFEXITED(status) ? out : "(unfinished)";
}

const auto n = [](int value) { return std::to_string(value) + " "; };

// A pseudo-terminal pair, closed at the end; raw (adding no CR, passing each byte at once) or as a
// shell leaves it.
struct Pty {
  int master = -1;
  int slave = -1;
  explicit Pty(bool raw) {
    EXPECT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    struct termios t;
    ::tcgetattr(slave, &t);
    if (raw) ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    ::close(slave);
  }
  void type(const std::string& bytes) const {
    if (::write(master, bytes.data(), bytes.size()) < 0) ADD_FAILURE();
  }
  // In a child: makes the slave its standard input and controlling terminal, the child leading
  // the terminal's foreground group.
  void become_stdin() const {
    ::close(master);
    ::setsid();
    ::ioctl(slave, TIOCSCTTY, 0);
    ::dup2(slave, STDIN_FILENO);
  }
};

// A terminal gets the text in its locale's character set (UTF-8 in a plain ASCII locale); a stray
// lead byte and an unassigned character each show as one '?'. The process's own locale is kept.
TEST(PlatformConsole, ATerminalShowsShiftJisInItsCharacterSet) {
  const struct {
    const char *locale, *sjis, *shown;
  } cases[] = {{"C", "\x93\xfa\x96\x7b\n", "日本\n"},
               {"C.UTF-8", "A\x81 B\x85\x41Z\x81", "A? B?Z?"}};
  for (const auto& c : cases) {
    Pty pty(true);
    const std::string kept = in_child([&] {
      ::unsetenv("LANG");
      ::setenv("LC_ALL", c.locale, 1);
      ::dup2(pty.slave, STDOUT_FILENO);
      const std::string before = ::setlocale(LC_CTYPE, nullptr);
      {
        PosixPlatform p;
        p.console_write(c.sjis, std::strlen(c.sjis));
      }
      return n(before == ::setlocale(LC_CTYPE, nullptr));
    });
    EXPECT_EQ(kept, "1 ");
    EXPECT_EQ(c.shown, read_for(pty.master, 3000, std::strlen(c.shown))) << c.locale;
  }
}

// Polls until a key waits (or the time is up); true when one does.
bool await_key(Platform& p, int limit_ms = 3000) {
  for (int waited = 0; waited < limit_ms; waited += 5) {
    if (p.key_waiting()) return true;
    ::usleep(5000);
  }
  return false;
}

TEST(PlatformKeys, TerminalBytesBecomeConsoleKeyCodes) {
  std::string many, many_codes;  // more than one read's worth: no sequence is split
  for (int i = 0; i < 100; ++i) many += "\x1b[B", many_codes += "224 80 ";
  const struct {
    std::vector<std::string> typed;
    std::string codes;
    bool raw = true;
  } cases[] = {
      {{"\x1bOP"}, "224 59 "},  // application mode
      {{"\x1b[19~"}, "224 66 "},
      {{"\x1b[15;5~"}, "224 63 "},  // a modifier does not change the key
      {{"\x1b[[A"}, "224 59 "},     // Linux console F1
      {{"\x1b[200~"}, "224 0 "},    // a sequence of no known key is still no Escape
      {{"ab\r\x7f"}, "97 98 13 8 "},
      {{"x\x1b[Bq\x1b\x1b"}, "120 224 80 113 27 27 "},
      {{"\x1b", "[", "A"}, "224 72 "},  // one key, written in pieces
      // A shell's terminal buffers lines; keys pressed between polls still arrive one by one.
      {{"\x1b[A\x1b"}, "224 72 27 ", false},
      {{many}, many_codes},
  };
  // The codes a program on a fresh terminal gets (typed piece by piece), and whether the
  // terminal's mode is as before.
  for (const auto& c : cases) {
    Pty pty(c.raw);
    const std::string got = in_child(
        [&] {
          pty.become_stdin();
          struct termios before = {}, after = {};
          ::tcgetattr(STDIN_FILENO, &before);
          PosixPlatform p;
          std::string out;
          if (!await_key(p)) return out;
          do {
            out += n(p.read_key());
          } while (await_key(p, 100));  // the terminal may pass long input on in pieces
          ::tcgetattr(STDIN_FILENO, &after);
          return out + (std::memcmp(&before, &after, sizeof before) == 0 ? "" : "(mode changed)");
        },
        [&] {
          for (const std::string& piece : c.typed) pty.type(piece);
        });
    EXPECT_EQ(c.codes, got) << ::testing::PrintToString(c.typed);
  }
}

// Without a terminal the keys are the input's bytes and none waits; reading never blocks.
TEST(PlatformKeys, WithoutATerminalKeysAreTheInputsBytes) {
  const std::string got = in_child(
      [] {
        std::string out;
        for (const char* bytes : {"", "\x1bz"}) {
          int fds[2];
          if (::pipe(fds) != 0 || ::write(fds[1], bytes, std::strlen(bytes)) < 0) return out;
          ::close(fds[1]);
          ::dup2(fds[0], STDIN_FILENO);
          PosixPlatform p;
          out += n(p.key_waiting());
          for (int i = 0; i < 3; ++i) out += n(p.read_key());
        }
        return out;
      },
      {}, 2000);
  EXPECT_EQ("0 -1 -1 -1 0 27 122 -1 ", got);  // 122 is 'z'
}

// A background process that changed the terminal's mode would be stopped by it (and killed here
// when its time is up): it sees no key, and the key stays for the foreground. A hang-up ends the
// wait for the next key.
TEST(PlatformKeys, ABackgroundProcessLeavesTheTerminalAloneAHangUpEndsTheWait) {
  Pty pty(false);
  const std::string got = in_child(
      [&] {
        pty.become_stdin();
        const std::string background = in_child(
            [] {
              ::setpgid(0, 0);
              return n(PosixPlatform().key_waiting());
            },
            {}, 3000);
        PosixPlatform p;
        const std::string key = n(await_key(p) ? p.read_key() : -2);
        return background + key + n(p.read_key());
      },
      [&] {
        pty.type("k");
        ::usleep(1000000);
        ::close(pty.master);
        pty.master = -1;
      });
  EXPECT_EQ("0 107 -1 ", got);  // 107 is 'k'
}

}  // namespace
}  // namespace volari
