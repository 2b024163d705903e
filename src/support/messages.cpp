#include "support/messages.h"

#include <cstdio>
#include <cstring>

namespace volari {

bool Messages::open_log(const char* path) {
  return log_.open(path, TextMode::append);
}

bool Messages::close_log() {
  return log_.close();
}

void Messages::msg_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  emit(true, format, args);
  va_end(args);
}

void Messages::verbose_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  emit(verbose, format, args);
  va_end(args);
}

void Messages::emit(bool to_console, const char* format, va_list args) {
  char text[2048];
  if (std::vsnprintf(text, sizeof(text), format, args) < 0) return;
  const size_t n = std::strlen(text);  // a text ends at its first NUL, as fputs writes it
  if (to_console) platform_->console_write(text, n);
  if (log_.is_open()) log_.write(text, n);
}

}  // namespace volari
