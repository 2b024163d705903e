// A run's output state in a fresh current directory.
#pragma once

#include <memory>

#include "output/copy.h"
#include "output/history.h"
#include "support/temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari::testing {

class OutputTest : public TempTree {
 protected:
  ~OutputTest() override { close_history(ctx); }

  FakePlatform platform;
  Settings settings;
  Messages messages{platform};
  std::unique_ptr<OutputState> state = std::make_unique<OutputState>(platform);
  OutputContext ctx{platform, settings, messages, *state};
};

}  // namespace volari::testing
