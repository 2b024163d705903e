#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/posix/posix_platform.h"

namespace volari {
namespace {

struct NativeCase {
  const char* program;
  const char* native;
};

// 0x95 0x5C is the character 表 and 0x83 0x5C is ソ: their second byte is the code of '\'.
const NativeCase kNative[] = {
    {"", ""},
    {"a\\b\\c.htm", "a/b/c.htm"},
    {".\\CC\\BB\\AA.DOM\\INDEX.HTM", "./CC/BB/AA.DOM/INDEX.HTM"},
    {"\\tmp\\x", "/tmp/x"},
    {"\x95\x5c\\x", "\x95\x5c/x"},
    {"dir\\\x83\x5c\x83\x5c\\f", "dir/\x83\x5c\x83\x5c/f"},
    {"\x81\\", "\x81\\"},   // lead byte and '\' are one character (a wide backslash)
    {"\xb1\\x", "\xb1/x"},  // half-width katakana is a single byte
    {"\x88\x9f\\\x88\x9f", "\x88\x9f/\x88\x9f"},
    {"a\x81", "a\x81"},  // a lead byte cut off at the end stays as it is
    {"a/b", "a/b"},
    // A Linux directory named in UTF-8 keeps its separators: the last byte of "あ" is a lead byte.
    {"\\home\\\xe3\x81\x82\\out\\x", "/home/\xe3\x81\x82/out/x"},
    {"\xe8\xa1\xa8\\\x95\x5c\\y", "\xe8\xa1\xa8/\x95\x5c/y"},
};

TEST(PlatformPaths, ToNativeStepsOverDoubleByteCharacters) {
  for (const NativeCase& c : kNative) {
    char out[64];
    ASSERT_TRUE(to_native(c.program, out, sizeof out)) << c.program;
    EXPECT_EQ(std::string(c.native), out) << c.program;
  }
}

struct FitCase {
  const char* program;
  size_t size;
  bool fits;
};

const FitCase kFit[] = {
    {"abc", 4, true},      {"abc", 3, false},      {"", 1, true},           {"", 0, false},
    {"\x95\x5c", 3, true}, {"\x95\x5c", 2, false}, {"a\x95\x5c", 3, false},
};

TEST(PlatformPaths, ToNativeRefusesWhatDoesNotFit) {
  for (const FitCase& c : kFit) {
    char out[8];
    std::memset(out, 'Z', sizeof out);
    EXPECT_EQ(c.fits, to_native(c.program, out, c.size)) << c.program << " in " << c.size;
    for (size_t i = c.size; i < sizeof out; ++i)
      EXPECT_EQ('Z', out[i]) << "written past " << c.size;
  }
}

TEST(PlatformPaths, PathFromNativeTurnsSlashesIntoBackslashes) {
  const NativeCase cases[] = {
      {"\\home\\user\\VOLD32", "/home/user/VOLD32"},
      {"a\\b", "a\\b"},
      {"", ""},
      {".\\x\\", "./x/"},
  };
  for (const NativeCase& c : cases) {
    std::string path = c.native;
    path_from_native(path.data());
    EXPECT_EQ(std::string(c.program), path) << c.native;
  }
}

}  // namespace
}  // namespace volari
