// Console messages and the log (LOG.TXT): msg_printf always reaches the console, verbose_printf
// only while verbose is on; both copy their text to the log while it is open, console first.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "platform/platform.h"
#include "support/text_file.h"

namespace volari {

class Messages {
 public:
  explicit Messages(Platform& platform) : platform_(&platform), log_(platform) {}

  // Console output of verbose_printf (flg_verbose).
  bool verbose = true;

  // Opens the log for appending in text mode; false (and no log) when it cannot.
  bool open_log(const char* path);
  // False when a write to the log, or its close, failed.
  bool close_log();
  bool log_open() const { return log_.is_open(); }

  // Each message is formatted into a 2,048-byte buffer (a longer one is cut) and written whole.
  void msg_printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void verbose_printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  void emit(bool to_console, const char* format, va_list args);

  Platform* platform_;
  TextFile log_;
};

}  // namespace volari
