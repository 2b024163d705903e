#include "support/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/disk.h"
#include "support/error_line.h"
#include "support/keys.h"
#include "temp_tree.h"
#include "testlib/fake_platform.h"

namespace volari {
namespace {

using MessagesTest = testing::TempTree;

TEST_F(MessagesTest, ConsoleAndLogGetTheSameText) {
  put("LOG.TXT", "old\r\n");
  testing::FakePlatform fake;
  Messages m(fake);
  EXPECT_FALSE(m.open_log("."));
  EXPECT_FALSE(m.log_open());
  m.verbose_printf("before log\n");
  ASSERT_TRUE(m.open_log("LOG.TXT"));
  m.msg_printf("%s %d\n", "count", 42);
  m.verbose = false;
  m.verbose_printf("quiet %c\n", 'q');
  m.msg_printf("loud\n");
  m.close_log();
  const std::string big(5000, 'm');  // cut to the 2,047 bytes of a message
  m.msg_printf("<%s>", big.c_str());
  EXPECT_EQ(fake.console, "before log\ncount 42\nloud\n<" + big.substr(0, 2046));
  EXPECT_EQ(get("LOG.TXT"), "old\r\ncount 42\r\nquiet q\r\nloud\r\n");
}

TEST(ErrorLine, OwnLineThenAnEmptyOne) {
  const std::pair<std::string, std::string> cases[] = {
      {"FAT can't read", "FAT can't read\n\n"},
      {"done\n", "done\n\n"},
      {"", "\n\n"},
      {std::string(510, 'a') + "\n", std::string(510, 'a') + "\n\n"},
      {std::string(511, 'b'), std::string(510, 'b') + "\n\n"},
  };
  for (const auto& [message, shown] : cases) {
    testing::FakePlatform fake;
    error_line(fake, message.c_str());
    EXPECT_EQ(fake.console, shown) << message.size();
  }
}

TEST(Keys, OnlyEscapeCountsAndOneCodeIsRead) {
  const struct {
    std::deque<int> keys;
    int result;  // of both poll_escape and wait_key
    size_t left_after_poll;
  } cases[] = {{{}, 0, 0}, {{27, 27}, 27, 1}, {{'a', 27}, 0, 1}};
  for (const auto& c : cases) {
    testing::FakePlatform fake;
    fake.keys = c.keys;
    EXPECT_EQ(poll_escape(fake), c.result);
    EXPECT_EQ(fake.polls, 1);
    EXPECT_EQ(fake.keys.size(), c.left_after_poll);
    fake.keys = c.keys;
    EXPECT_EQ(wait_key(fake), c.result);
  }
}

TEST(Banners, NameModuleAndVersion) {
  EXPECT_STREQ(kZelWinBanner, "ZEL_WIN 1.49");
  EXPECT_STREQ(kZelKeyBanner, "ZEL_KEY 1.49");
  EXPECT_STREQ(kZelDiskBanner, "ZEL_DISK 1.49");
}

}  // namespace
}  // namespace volari
