#include "support/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "temp_tree.h"
#include "testlib/console_text.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

using TextFileTest = testing::TempTree;
using Lines = std::vector<std::string>;

Lines read_lines(const char* path, size_t size = 40000) {
  TextFile f(system_platform());
  EXPECT_TRUE(f.open(path, TextMode::read));
  Lines lines;
  std::vector<char> buf(size);
  while (size_t n = f.gets(buf.data(), size)) {
    EXPECT_EQ(buf[n], '\0');
    lines.emplace_back(buf.data(), n);
  }
  return lines;
}

TEST_F(TextFileTest, ReadingTranslatesLineEndsAndStopsAtEndOfText) {
  const std::string x(16383, 'x');
  const std::pair<std::string, Lines> cases[] = {
      {"a\rb\r\n\r\nc", {"a\rb\n", "\n", "c"}},
      {"a\r\r\n", {"a\r\n"}},
      {"a\r", {"a\r"}},
      {"abc\x1Azz\n", {"abc"}},
      {x + "\r\ny\r\n", {x + "\n", "y\n"}},  // the CR ends the first fill
      {x + "\rz", {x + "\rz"}},
      {x + "ab\x1A\n", {x + "ab"}},  // the end-of-text mark in the second fill of a line
      {"a\rb\x1A\r\n", {"a\rb"}},
  };
  for (const auto& [bytes, lines] : cases) {
    put("T.TXT", bytes);
    EXPECT_EQ(read_lines("T.TXT"), lines) << bytes.substr(0, 20);
  }
}

TEST_F(TextFileTest, GetsStoresAtMostSizeLessOne) {
  put("T.TXT", "abcdef\r\n");
  EXPECT_EQ(read_lines("T.TXT", 4), (Lines{"abc", "def", "\n"}));
  put("T.TXT", "ab\r\ncd\r");  // a CR in the last byte that fits still takes its LF
  EXPECT_EQ(read_lines("T.TXT", 4), (Lines{"ab\n", "cd\r"}));
  TextFile f(system_platform());
  ASSERT_TRUE(f.open("T.TXT", TextMode::read));
  char one[1] = {'z'};
  EXPECT_EQ(f.gets(one, 1), 0u);
  EXPECT_EQ(one[0], '\0');
  EXPECT_FALSE(f.write("a", 1));
}

TEST_F(TextFileTest, WritingStoresCrLfAppendAddsWriteEmpties) {
  TextFile f(system_platform());
  ASSERT_TRUE(f.open("A.TXT", TextMode::append));  // created when missing
  EXPECT_TRUE(f.puts("one\ntwo\rthree\n"));
  EXPECT_TRUE(f.close());
  const std::string many(20000, '\n');
  ASSERT_TRUE(f.open("A.TXT", TextMode::append));
  EXPECT_TRUE(f.write(many.data(), many.size()));  // more than one buffer
  EXPECT_TRUE(f.close());
  EXPECT_EQ(get("A.TXT"), testing::crlf("one\ntwo\rthree\n" + many));
  const std::string runs = std::string(16382, 'a') + "\n" + std::string(20000, 'b') + "\nc";
  ASSERT_TRUE(f.open("B.TXT", TextMode::write));
  EXPECT_TRUE(f.write(runs.data(), runs.size()));  // runs longer than the buffer, LF at its end
  EXPECT_TRUE(f.close());
  EXPECT_EQ(get("B.TXT"), testing::crlf(runs));
  ASSERT_TRUE(f.open("A.TXT", TextMode::write));
  ASSERT_TRUE(f.close());
  EXPECT_EQ(get("A.TXT"), "");
  EXPECT_FALSE(f.open("MISSING.TXT", TextMode::read));
  EXPECT_FALSE(f.open(".", TextMode::read));
}

TEST_F(TextFileTest, CloseReportsFailedWriteOrClose) {
  for (const std::string op : {"write", "close", "none"}) {
    testing::FakePlatform fake;
    fake.fail = [&](const char* what, const char*) { return what == op; };
    TextFile f(fake);
    ASSERT_TRUE(f.open("F.TXT", TextMode::write));
    f.puts("text\n");
    EXPECT_EQ(f.close(), op == "none") << op;
    EXPECT_FALSE(f.is_open());
  }
}

TEST_F(TextFileTest, ReadErrorEndsTheText) {
  put("R.TXT", std::string(20000, 'r'));
  testing::FakePlatform fake;
  int reads = 0;
  fake.fail = [&](const char* op, const char*) {
    return std::string(op) == "read" && ++reads == 2;
  };
  TextFile f(fake);
  ASSERT_TRUE(f.open("R.TXT", TextMode::read));
  std::vector<char> buf(30000);
  EXPECT_EQ(f.gets(buf.data(), buf.size()), 0u);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(f.gets(buf.data(), buf.size()), 0u);
}

}  // namespace
}  // namespace volari
