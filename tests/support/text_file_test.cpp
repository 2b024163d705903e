#include "support/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

using TextFileTest = testing::TempTree;

std::vector<std::string> read_lines(const char* path, size_t size = 40000) {
  TextFile f(system_platform());
  EXPECT_TRUE(f.open(path, TextMode::read));
  std::vector<std::string> lines;
  std::vector<char> buf(size);
  while (size_t n = f.gets(buf.data(), size)) {
    EXPECT_EQ(buf[n], '\0');
    lines.emplace_back(buf.data(), n);
  }
  return lines;
}

struct ReadCase {
  std::string bytes;
  std::vector<std::string> lines;
};

TEST_F(TextFileTest, ReadingTranslatesLineEndsAndStopsAtEndOfText) {
  const std::string x(16383, 'x');
  const ReadCase cases[] = {
      {"a\r\nb\r\n", {"a\n", "b\n"}},
      {"a\rb\n", {"a\rb\n"}},
      {"a\r", {"a\r"}},
      {"a\r\r\n", {"a\r\n"}},
      {"a\n\nb", {"a\n", "\n", "b"}},
      {"abc\x1A"
       "def\n",
       {"abc"}},
      {"\x1A\r\n", {}},
      {"a\r\x1A", {"a\r"}},
      {x + "\r\ny\r\n", {x + "\n", "y\n"}},  // the CR ends the first fill
      {x + "\rz", {x + "\rz"}},
  };
  for (const auto& c : cases) {
    put("T.TXT", c.bytes);
    EXPECT_EQ(read_lines("T.TXT"), c.lines) << c.bytes.substr(0, 20);
  }
}

TEST_F(TextFileTest, GetsStoresAtMostSizeLessOne) {
  put("T.TXT", "abcdef\r\n");
  EXPECT_EQ(read_lines("T.TXT", 4), (std::vector<std::string>{"abc", "def", "\n"}));
  TextFile f(system_platform());
  ASSERT_TRUE(f.open("T.TXT", TextMode::read));
  char one[1] = {'z'};
  EXPECT_EQ(f.gets(one, 1), 0u);
  EXPECT_EQ(one[0], '\0');
  EXPECT_FALSE(f.write("a", 1));
}

TEST_F(TextFileTest, WritingStoresCrLfAndReadsBack) {
  TextFile f(system_platform());
  ASSERT_TRUE(f.open("W.TXT", TextMode::write));
  EXPECT_TRUE(f.puts("one\ntwo\rthree\n"));
  std::string many(20000, '\n');
  EXPECT_TRUE(f.write(many.data(), many.size()));  // more than one buffer
  EXPECT_TRUE(f.close());
  std::string crlf;
  for (int i = 0; i < 20000; ++i) crlf += "\r\n";
  EXPECT_EQ(get("W.TXT"), "one\r\ntwo\rthree\r\n" + crlf);
  auto lines = read_lines("W.TXT");
  ASSERT_EQ(lines.size(), 20002u);
  EXPECT_EQ(lines[1], "two\rthree\n");
}

TEST_F(TextFileTest, AppendAddsAndWriteEmpties) {
  TextFile f(system_platform());
  ASSERT_TRUE(f.open("A.TXT", TextMode::append));  // created when missing
  f.puts("one\n");
  ASSERT_TRUE(f.close());
  ASSERT_TRUE(f.open("A.TXT", TextMode::append));
  f.puts("two\n");
  ASSERT_TRUE(f.close());
  EXPECT_EQ(get("A.TXT"), "one\r\ntwo\r\n");
  ASSERT_TRUE(f.open("A.TXT", TextMode::write));
  ASSERT_TRUE(f.close());
  EXPECT_EQ(get("A.TXT"), "");
  EXPECT_FALSE(f.open("MISSING.TXT", TextMode::read));
  EXPECT_FALSE(f.open(".", TextMode::read));
}

TEST_F(TextFileTest, CloseReportsFailedWriteOrClose) {
  for (const char* op : {"write", "close"}) {
    testing::FakePlatform fake;
    fake.fail = [op](const char* what, const char*) { return std::string(what) == op; };
    TextFile f(fake);
    ASSERT_TRUE(f.open("F.TXT", TextMode::write));
    f.puts("text\n");
    EXPECT_FALSE(f.close()) << op;
    EXPECT_FALSE(f.is_open());
  }
  testing::FakePlatform fake;
  TextFile f(fake);
  ASSERT_TRUE(f.open("F.TXT", TextMode::write));
  f.puts("text\n");
  EXPECT_TRUE(f.close());
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
