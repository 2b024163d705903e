// Text-mode streams, the same bytes on every platform: reading turns CR LF into LF and stops at a
// 0x1A byte; writing turns every LF into CR LF. Buffered over the platform's binary files.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/platform.h"

namespace volari {

enum class TextMode { read, write, append };

class TextFile {
 public:
  explicit TextFile(Platform& platform) : platform_(&platform) {}
  ~TextFile() { close(); }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens `path` ("r", "w" or "a" of the C library, in text mode). False when it cannot.
  bool open(const char* path, TextMode mode);
  // Takes over `file`, opened by the caller, as open() would have opened it; false for kNoFile.
  bool adopt(FileHandle file, TextMode mode);
  // Opens `path` (a cached file: no link) for reading with its first `n` bytes (all of a shorter
  // file) read at once into the start of `head`, for the caller to look at before it reads lines
  // (head_size() of them: `head` is only ever grown): gets() takes them first, then the rest of
  // the file. `head` must outlive the reading. A failed read leaves none.
  bool open_with_head(const char* path, size_t n, std::vector<char>& head);
  bool is_open() const { return file_ != kNoFile; }
  // Flushes and closes. False when any write since the open, or the close itself, failed.
  bool close();

  // fgets: reads at most size - 1 bytes, up to and including the next LF, and terminates them.
  // Returns the number of bytes stored (it may hold NUL bytes); 0 at the end of the text or on a
  // read error.
  size_t gets(char* buf, size_t size);
  // Writes n bytes, each LF as CR LF. False once any write has failed.
  bool write(const char* data, size_t n);
  // fputs: writes up to the first NUL.
  bool puts(const char* text);
  // False once any write has failed since the open.
  bool ok() const { return !failed_; }
  // Writes out what is buffered (writing modes). False once any write has failed.
  bool flush();
  // The open file, for what the stream itself does not offer (its times).
  FileHandle handle() const { return file_; }
  // The bytes open_with_head read.
  size_t head_size() const { return head_size_; }
  // True once a read has failed: the text then ended early, not at its real end.
  bool read_failed() const { return read_failed_; }

 private:
  bool fill();

  Platform* platform_;
  FileHandle file_ = kNoFile;
  TextMode mode_ = TextMode::read;
  bool failed_ = false;
  bool read_failed_ = false;
  bool at_end_ = false;
  const std::vector<char>* head_ = nullptr;  // read before the lines, served first
  size_t head_size_ = 0;
  size_t head_pos_ = 0;
  bool head_was_all_ = false;  // the head read came short: the file has no more
  size_t pos_ = 0;
  size_t len_ = 0;
  const char* data_ = buf_;  // what reading takes from: buf_, or the head where it lies
  char buf_[16384];
};

}  // namespace volari
