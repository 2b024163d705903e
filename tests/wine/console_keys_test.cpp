// The Windows build on a console. Wine gives a program started on a terminal a console, so the
// program writes through the console calls and reads keys through the console input calls, as
// on Windows; the terminal shows the text in the locale's UTF-8.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "testlib/mkcache_runner.h"
#include "testlib/process.h"
#include "testlib/temp_dir.h"
#include "wine/wine_session.h"

namespace volari::testing {
namespace {

class WindowsConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(wine_problem(), "");
    std::filesystem::copy_file(VOLARI_WIN64_EXE, dir.file("VOLD32.EXE"));
  }
  PtyProcess start(const std::vector<std::string>& args) {
    return PtyProcess(wine_command(dir.file("VOLD32.EXE"), args), dir.path(), wine_environment());
  }
  TempDir dir;
};

size_t arrows(const std::string& console) {
  size_t n = 0;
  for (size_t at = console.find(" -> "); at != std::string::npos; at = console.find(" -> ", at + 1))
    ++n;
  return n;
}

// A cursor key arrives as two codes and does not stop the run; Escape does, at the next entry.
TEST_F(WindowsConsoleTest, CursorKeyGoesOnAndEscapeStops) {
  constexpr int kEntries = 3000;
  std::string manifest;
  for (int i = 0; i < kEntries; ++i)
    manifest += "http://aa.bb/dir/page" + std::to_string(i) + ".html - text=p\n";
  ASSERT_EQ(run_mkcache(dir.path(), manifest), 0);
  PtyProcess p = start({});
  ASSERT_TRUE(p.wait_for(" -> ", 30000)) << p.output();
  p.type("\x1b[A");
  const size_t typed_at = arrows(p.output());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (arrows(p.output()) < typed_at + 100 && std::chrono::steady_clock::now() < deadline) {
    p.wait_for("\x01", 50);  // reads what came meanwhile
  }
  const size_t before_escape = arrows(p.output());
  EXPECT_GE(before_escape, typed_at + 100) << "the run stopped at the cursor key";
  p.type("\x1b");
  ASSERT_EQ(p.wait_exit(60000), 0) << p.output().substr(0, 2000);

  const std::string& console = p.output();
  EXPECT_NE(console.find("処理を開始します。"), std::string::npos) << console.substr(0, 500);
  EXPECT_NE(console.find("処理を終了しました。"), std::string::npos);
  const size_t at = console.find("変換ファイル");
  ASSERT_NE(at, std::string::npos);
  const int done = std::stoi(console.substr(at + std::string("変換ファイル").size()));
  EXPECT_GE(done, static_cast<int>(before_escape));
  EXPECT_LT(done, kEntries);
}

}  // namespace
}  // namespace volari::testing
