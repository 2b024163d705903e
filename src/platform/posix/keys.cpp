#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/posix/posix_platform.h"

namespace volari {

namespace {

constexpr int kPrefix = 224;
constexpr uint64_t kLookIntervalMs = 20;
constexpr int kSequenceWaitMs = 30;  // the rest of an escape sequence arrives within this

// Raw mode (no echo, no line buffering, reads that never wait) for the lifetime of this object
// only, so the terminal is never left changed between polls.
class RawMode {
 public:
  RawMode() {
    if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    struct termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~RawMode() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;
  bool active() const { return active_; }

 private:
  struct termios saved_ {};
  bool active_ = false;
};

// A background process that changes its terminal's mode is stopped by the terminal.
bool in_background() {
  const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
  return foreground != -1 && foreground != ::getpgrp();
}

// 1 when input waits, 0 when none came within `ms`, -1 when the terminal is gone.
int input_within(int ms) {
  struct pollfd p = {STDIN_FILENO, POLLIN, 0};
  const int r = ::poll(&p, 1, ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (r == 0) return 0;
  return (p.revents & POLLIN) ? 1 : -1;
}

bool is_intermediate(unsigned char c) {
  return c >= 0x20 && c <= 0x3F;
}

// Length of the key that starts with the ESC at b[0]: 1 for Escape itself, the length of an
// escape sequence (ESC O x, ESC [ [ x, ESC [ params final), 0 when the bytes end inside one.
size_t sequence_length(const unsigned char* b, size_t n) {
  if (n < 2) return 0;
  if (b[1] == 'O') return n < 3 ? 0 : 3;
  if (b[1] != '[') return 1;
  if (n > 2 && b[2] == '[') return n < 4 ? 0 : 4;  // Linux console F1-F5
  size_t j = 2;
  while (j < n && is_intermediate(b[j])) ++j;
  return j < n ? j + 1 : 0;
}

bool ends_in_sequence(const unsigned char* b, size_t n) {
  for (size_t i = 0; i < n;) {
    if (b[i] != 27) {
      ++i;
      continue;
    }
    const size_t len = sequence_length(b + i, n - i);
    if (len == 0) return true;
    i += len;
  }
  return false;
}

// The codes a Windows console gives after the prefix 224 for cursor and function keys, by the
// final byte of ESC [ x / ESC O x, and by the number of ESC [ n ~.
struct KeyCode {
  int key;
  int code;
};
constexpr KeyCode kByFinal[] = {
    {'A', 72}, {'B', 80}, {'C', 77}, {'D', 75},  // up, down, right, left
    {'H', 71}, {'F', 79}, {'E', 76}, {'G', 76},  // home, end, keypad centre
    {'P', 59}, {'Q', 60}, {'R', 61}, {'S', 62},  // F1-F4
    {'Z', 15},                                   // shift-tab
};
constexpr KeyCode kByNumber[] = {
    {1, 71},  {7, 71},  {2, 82},  {3, 83},  {4, 79},   {8, 79},   {5, 73},
    {6, 81},  {11, 59}, {12, 60}, {13, 61}, {14, 62},  {15, 63},  {17, 64},
    {18, 65}, {19, 66}, {20, 67}, {21, 68}, {23, 133}, {24, 134},
};

int key_code(unsigned char final, int param) {
  const KeyCode* table = final == '~' ? kByNumber : kByFinal;
  const size_t size = final == '~' ? std::size(kByNumber) : std::size(kByFinal);
  const int key = final == '~' ? param : final;
  for (size_t i = 0; i < size; ++i) {
    if (table[i].key == key) return table[i].code;
  }
  return 0;
}

// The code of a whole (or cut-off) escape sequence of `len` bytes; 0 when it is no known key.
int sequence_code(const unsigned char* b, size_t len) {
  if (len < 3) return 0;
  if (b[1] == 'O') return key_code(b[2], 0);
  if (b[2] == '[') return len >= 4 && b[3] >= 'A' && b[3] <= 'E' ? 59 + (b[3] - 'A') : 0;
  if (is_intermediate(b[len - 1])) return 0;  // cut off before its final byte
  int param = 0;
  for (size_t i = 2; i + 1 < len && b[i] != ';'; ++i) {  // modifiers after ';' are ignored
    if (b[i] >= '0' && b[i] <= '9' && param < 1000) param = param * 10 + (b[i] - '0');
  }
  return key_code(b[len - 1], param);
}

}  // namespace

void PosixKeys::decode(const unsigned char* bytes, size_t n, bool final) {
  for (size_t i = 0; i < n;) {
    const unsigned char c = bytes[i];
    if (c != 27) {
      // Enter and Backspace as a Windows console gives them.
      codes_.push_back(c == '\n' ? 13 : c == 0x7F ? 8 : c);
      ++i;
      continue;
    }
    size_t len = sequence_length(bytes + i, n - i);
    if (len == 0 && !final && n - i <= sizeof carry_) {
      std::memcpy(carry_, bytes + i, n - i);
      carry_n_ = n - i;
      return;
    }
    if (len == 0) len = n - i;
    if (len == 1) {
      codes_.push_back(27);
    } else {
      codes_.push_back(kPrefix);
      codes_.push_back(sequence_code(bytes + i, len));
    }
    i += len;
  }
}

bool PosixKeys::fill(bool wait) {
  RawMode raw;
  if (!raw.active()) return false;
  unsigned char buf[256];
  const size_t carried = carry_n_;
  std::memcpy(buf, carry_, carried);
  carry_n_ = 0;
  size_t n = carried;
  if (wait && carried == 0) {
    int r;
    while ((r = input_within(-1)) == 0) {
    }
    if (r < 0) return false;
  }
  size_t fresh = 0;
  while (n < sizeof buf) {
    const ssize_t r = ::read(STDIN_FILENO, buf + n, sizeof buf - n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    n += static_cast<size_t>(r);
    fresh += static_cast<size_t>(r);
    // An ESC may be the start of a sequence whose rest is still on its way: give it a moment.
    if (input_within(ends_in_sequence(buf, n) ? kSequenceWaitMs : 0) <= 0) break;
  }
  decode(buf, n, n < sizeof buf);
  // Readable, yet nothing came: the terminal has hung up.
  return !(wait && carried == 0 && fresh == 0);
}

PosixKeys::PosixKeys() : tty_(::isatty(STDIN_FILENO) != 0) {}

bool PosixKeys::key_waiting() {
  if (!codes_.empty()) return true;
  if (!tty_) return false;
  // A look at the terminal switches its mode twice; the run polls once per entry, so looking a
  // few dozen times a second is all a person's key needs and keeps each poll nearly free.
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec / 1000000);
  if (looked_ && ms - last_look_ms_ < kLookIntervalMs) return false;
  looked_ = true;
  last_look_ms_ = ms;
  if (in_background()) return false;
  fill(false);
  return !codes_.empty();
}

int PosixKeys::read_key() {
  if (codes_.empty()) {
    if (!tty_) {
      unsigned char c;
      ssize_t r;
      do {
        r = ::read(STDIN_FILENO, &c, 1);
      } while (r < 0 && errno == EINTR);
      return r == 1 ? c : -1;
    }
    while (codes_.empty()) {
      if (!fill(true)) return -1;
    }
  }
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

}  // namespace volari
