#include "support/keys.h"

#include "platform/platform.h"

namespace volari {

bool escape_pressed(Platform& platform) {
  return platform.key_waiting() && platform.read_key() == kKeyEscape;
}

void wait_key(Platform& platform) {
  platform.read_key();
}

}  // namespace volari
