#include "support/text_file.h"

#include <algorithm>
#include <cstring>

namespace volari {

namespace {
constexpr char kEndOfText = 0x1A;
}  // namespace

bool TextFile::open(const char* path, TextMode mode) {
  FileMode file_mode = FileMode::read;
  if (mode == TextMode::write) file_mode = FileMode::write;
  if (mode == TextMode::append) file_mode = FileMode::append;
  return adopt(platform_->open_file(path, file_mode), mode);
}

bool TextFile::adopt(FileHandle file, TextMode mode) {
  close();
  file_ = file;
  mode_ = mode;
  failed_ = false;
  read_failed_ = false;
  at_end_ = false;
  head_ = nullptr;
  pos_ = 0;
  len_ = 0;
  return is_open();
}

bool TextFile::open_with_head(const char* path, size_t n, std::vector<char>& head) {
  head_size_ = 0;
  if (!adopt(platform_->open_file(path, FileMode::read_no_link), TextMode::read)) return false;
  // Sized by the file (a page is some kilobytes), and only ever grown: a megabyte of zeros to
  // write for every page would cost more than the page.
  const int64_t size = platform_->file_size(file_);
  const size_t want = size >= 0 && static_cast<uint64_t>(size) < n ? static_cast<size_t>(size) : n;
  if (head.size() < want) head.resize(want);
  const long got = want == 0 ? 0 : platform_->read_file(file_, head.data(), want);
  head_size_ = got > 0 ? static_cast<size_t>(got) : 0;
  read_failed_ = got < 0;
  head_was_all_ = got < static_cast<long>(n);
  head_ = &head;
  head_pos_ = 0;
  return true;
}

bool TextFile::close() {
  if (!is_open()) return true;
  if (mode_ != TextMode::read) flush();
  bool ok = !failed_;
  if (!platform_->close_file(file_)) ok = false;
  file_ = kNoFile;
  pos_ = 0;
  len_ = 0;
  return ok;
}

bool TextFile::fill() {
  pos_ = 0;
  len_ = 0;
  if (at_end_ || read_failed_) return false;
  data_ = buf_;
  if (head_ != nullptr) {
    // The head is read from where it lies, in one piece.
    const size_t n = head_size_ - head_pos_;
    if (n > 0 || head_was_all_) {
      data_ = head_->data() + head_pos_;
      head_pos_ += n;
      len_ = n;
      at_end_ = n == 0;
      return n > 0;
    }
    head_ = nullptr;
  }
  const long got = platform_->read_file(file_, buf_, sizeof(buf_));
  if (got <= 0) {
    if (got < 0) read_failed_ = true;
    at_end_ = true;
    return false;
  }
  len_ = static_cast<size_t>(got);
  return true;
}

size_t TextFile::gets(char* buf, size_t size) {
  if (size == 0) return 0;
  size_t n = 0;
  if (is_open() && mode_ == TextMode::read) {
    while (n + 1 < size) {
      if (pos_ == len_ && !fill()) break;
      const char* start = data_ + pos_;
      const size_t room = std::min(len_ - pos_, size - 1 - n);
      const char* lf = static_cast<const char*>(std::memchr(start, '\n', room));
      const size_t span = lf != nullptr ? static_cast<size_t>(lf - start) + 1 : room;
      // Only a CR or an end-of-text mark inside the line needs more than a copy.
      const char* mark = static_cast<const char*>(std::memchr(start, '\r', span));
      const size_t plain = mark != nullptr ? static_cast<size_t>(mark - start) : span;
      const char* eot = static_cast<const char*>(std::memchr(start, kEndOfText, plain));
      if (eot != nullptr) mark = eot;
      const size_t run = mark != nullptr ? static_cast<size_t>(mark - start) : span;
      std::memcpy(buf + n, start, run);
      n += run;
      pos_ += run;
      if (mark == nullptr) {
        if (lf != nullptr) break;
        continue;
      }
      if (*mark == kEndOfText) {
        at_end_ = true;  // nothing after it is text
        pos_ = len_;
        break;
      }
      ++pos_;
      char c = '\r';
      // A CR that ends one fill may pair with an LF that starts the next.
      if ((pos_ < len_ || fill()) && data_[pos_] == '\n') {
        c = '\n';
        ++pos_;
      }
      buf[n++] = c;
      if (c == '\n') break;
    }
    if (read_failed_) n = 0;
  }
  buf[n] = '\0';
  return n;
}

bool TextFile::flush() {
  if (mode_ == TextMode::read) return !failed_;
  if (len_ > 0 && !failed_) {
    const long put = platform_->write_file(file_, buf_, len_);
    if (put < 0 || static_cast<size_t>(put) != len_) failed_ = true;
  }
  // After a failed write the rest is dropped, so the file never holds text with a gap in it.
  len_ = 0;
  return !failed_;
}

bool TextFile::write(const char* data, size_t n) {
  if (!is_open() || mode_ == TextMode::read) return false;
  // Flushes where a byte-by-byte copy would: before any byte once the buffer has no room for two.
  const char* end = data + n;
  while (data < end) {
    const char* lf =
        static_cast<const char*>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
    const char* run_end = lf != nullptr ? lf : end;
    while (data < run_end) {
      if (len_ + 2 > sizeof(buf_)) flush();
      const size_t k = std::min(static_cast<size_t>(run_end - data), sizeof(buf_) - 1 - len_);
      std::memcpy(buf_ + len_, data, k);
      len_ += k;
      data += k;
    }
    if (lf == nullptr) break;
    if (len_ + 2 > sizeof(buf_)) flush();
    buf_[len_++] = '\r';
    buf_[len_++] = '\n';
    ++data;
  }
  return !failed_;
}

bool TextFile::puts(const char* text) {
  return write(text, std::strlen(text));
}

}  // namespace volari
