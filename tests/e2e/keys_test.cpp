// The built program on a terminal: Escape stops a run (the end message and the summary still
// come), a cursor key does not.
#include <gtest/gtest.h>
#include <unistd.h>

#include "testlib/mkcache_runner.h"
#include "testlib/process.h"
#include "testlib/temp_dir.h"

namespace volari::testing {
namespace {

TEST(Keys, EscapeStopsTheRunACursorKeyDoesNot) {
  constexpr int kEntries = 3000;
  TempDir dir;
  std::string manifest;
  for (int i = 0; i < kEntries; ++i) manifest += "http://aa.bb/p" + std::to_string(i) + " -\n";
  ASSERT_EQ(run_mkcache(dir.path(), manifest), 0);
  for (const std::string keys : {"\x1b", "\x1b[A"}) {
    // The run fills the terminal's buffer and waits in a write, most entries still to do.
    PtyProcess p({VOLARI_VOLD32}, dir.path(), {"TZ=Asia/Tokyo", "LC_ALL=C.UTF-8"});
    ASSERT_TRUE(p.wait_for(" -> ", 10000)) << p.output();
    usleep(300000);
    p.type(keys);
    EXPECT_EQ(p.wait_exit(60000), 0);
    const std::string& console = p.output();
    const size_t at = console.find("変換ファイル");
    ASSERT_NE(at, std::string::npos) << console.substr(0, 300);
    const int converted = std::stoi(console.substr(at + std::string("変換ファイル").size()));
    EXPECT_NE(console.find("処理を終了しました。"), std::string::npos);
    if (keys == "\x1b") {
      EXPECT_GT(converted, 0);
      EXPECT_LT(converted, kEntries);
    } else {
      EXPECT_EQ(converted, kEntries);
    }
  }
}

}  // namespace
}  // namespace volari::testing
