#include "support/keys.h"

#include "platform/platform.h"

namespace volari {

const char kZelKeyBanner[] = "ZEL_KEY 1.49";

int poll_escape(Platform& platform) {
  if (!platform.key_waiting()) return 0;
  return platform.read_key() == kKeyEscape ? kKeyEscape : 0;
}

int wait_key(Platform& platform) {
  return platform.read_key() == kKeyEscape ? kKeyEscape : 0;
}

}  // namespace volari
