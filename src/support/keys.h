// Key routines (module ZEL_KEY): the Escape poll of every loop and the final key wait.
#pragma once

namespace volari {

class Platform;

extern const char kZelKeyBanner[];  // "ZEL_KEY 1.49"

constexpr int kKeyEscape = 27;

// Never waits. When a key code waits, reads that one code: 27 when it is Escape, else 0.
int poll_escape(Platform& platform);
// Waits for one key code: 27 when it is Escape, else 0 (also at the end of input).
int wait_key(Platform& platform);

}  // namespace volari
