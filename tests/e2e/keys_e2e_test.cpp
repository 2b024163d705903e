// The built program on a terminal: Escape stops a run, a cursor key does not.
#include <unistd.h>

#include <string>

#include "e2e/e2e_fixture.h"
#include "support/japanese.h"

namespace volari::testing {
namespace {

constexpr int kEntries = 3000;

class KeysE2eTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    std::string manifest;
    for (int i = 0; i < kEntries; ++i) {
      manifest += "http://aa.bb/dir/page" + std::to_string(i) + ".html - text=p\n";
    }
    make_cache(manifest, "", "");
  }

  // Starts a run on the terminal and lets it fill the terminal's output buffer: it then waits
  // in a write, with most of its entries still to do, while the test types.
  std::string run_and_type(const std::string& keys) {
    PtyProcess p({program()}, dir.path(), {"TZ=Asia/Tokyo", "LC_ALL=C.UTF-8"});
    EXPECT_TRUE(p.wait_for(" -> ", 10000)) << p.output();
    usleep(300000);
    p.type(keys);
    EXPECT_EQ(p.wait_exit(60000), 0);
    return p.output();
  }

  static int converted(const std::string& console) {
    // The summary line after the UTF-8 label of converted files.
    const std::string label = "変換ファイル";
    size_t at = console.find(label);
    if (at == std::string::npos) return -1;
    return std::stoi(console.substr(at + label.size()));
  }
};

TEST_F(KeysE2eTest, EscapeEndsTheRunWithTheEndMessageAndSummary) {
  const std::string console = run_and_type("\x1b");
  EXPECT_NE(console.find("処理を終了しました。"), std::string::npos) << console.substr(0, 300);
  const int done = converted(console);
  EXPECT_GT(done, 0);
  EXPECT_LT(done, kEntries);
}

TEST_F(KeysE2eTest, CursorKeyDoesNotStopTheRun) {
  const std::string console = run_and_type("\x1b[A");
  EXPECT_EQ(converted(console), kEntries);
}

}  // namespace
}  // namespace volari::testing
