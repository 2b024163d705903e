// The Escape poll of every loop and the final key wait.
#pragma once

namespace volari {

class Platform;

constexpr int kKeyEscape = 27;

// Never waits. When a key code waits, reads that one code; true when it is Escape.
bool escape_pressed(Platform& platform);
// Waits for one key code, any key (also the end of input).
void wait_key(Platform& platform);

}  // namespace volari
