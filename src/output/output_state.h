// The buffers and streams of the output subsystem, owned by the run object, and what every
// output routine is handed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/platform.h"
#include "support/messages.h"
#include "support/text_file.h"

namespace volari {

constexpr size_t kCopyBufferSize = 32512;  // one binary chunk; a text line is at most 32,511 bytes
constexpr size_t kTitleSize = 260;         // at most 259 bytes of title
constexpr size_t kHistoryLineMax = 2047;   // longest text one hst_printf call writes

struct OutputState {
  explicit OutputState(Platform& platform) : hst(platform), text_in(platform), text_out(platform) {}

  char copybuf[kCopyBufferSize] = {};             // a binary chunk or a text line as read
  unsigned char converted[kCopyBufferSize] = {};  // a text line converted
  std::vector<char> head;                         // the start of a text-mode page, as read
  std::string rewritten;                          // a line with its declarations rewritten
  std::string linked;                             // a line or chunk with its links rewritten
  std::string unlinked;  // lines gathered for the link rewriter: it pays by the call, not the byte
  TextFile hst;          // the history page: a run's first line to its end
  bool hst_failed = false;  // it could not be opened or written this run
  TextFile text_in;         // the two sides of a text-mode copy, kept here so
  TextFile text_out;        // that a copy needs no large stack frame
};

struct OutputContext {
  Platform& platform;
  const Settings& settings;
  Messages& messages;
  OutputState& state;
};

}  // namespace volari
