// A run's output state in a fresh current directory, over a platform that records the size of
// every binary read and write and every path opened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "index/cache_entry.h"
#include "output/copy.h"
#include "output/history.h"
#include "output/title.h"
#include "support/temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari::testing {

class CountingPlatform : public FakePlatform {
 public:
  std::vector<size_t> reads, writes;  // sizes asked for
  std::vector<std::string> opens;

  FileHandle open_file(const char* path, FileMode mode) override {
    opens.push_back(path);
    return FakePlatform::open_file(path, mode);
  }
  long read_file(FileHandle f, void* buf, size_t n) override {
    reads.push_back(n);
    return FakePlatform::read_file(f, buf, n);
  }
  long write_file(FileHandle f, const void* buf, size_t n) override {
    writes.push_back(n);
    return FakePlatform::write_file(f, buf, n);
  }
};

class OutputTest : public TempTree {
 protected:
  ~OutputTest() override { close_history(ctx); }

  // What the end of one run and the start of the next do to the output state.
  void new_run() { close_history(ctx); }

  CountingPlatform platform;
  Settings settings;
  Messages messages{platform};
  std::unique_ptr<OutputState> state = std::make_unique<OutputState>(platform);
  OutputContext ctx{platform, settings, messages, *state};
};

}  // namespace volari::testing
