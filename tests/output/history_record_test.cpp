#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/history_record.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

std::string le(uint32_t v) {
  return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string be(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

constexpr uint32_t kFrom = 631152000, kTo = 1293840000;  // 1990-01-01, 2011-01-01 UTC
constexpr uint32_t kT = 900000000;                       // 35 A4 E9 00: 1970 when swapped
constexpr auto N3 = HistoryLayout::navigator3, C4 = HistoryLayout::communicator4,
               NONE = HistoryLayout::unknown;
const std::string kHead = le(kT) + le(kT) + le(3) + le(1);  // Communicator 4, little-endian

// The decoder on byte strings; both layouts as written, in both byte orders, are in the
// history-visits transcript.
TEST(HistoryRecord, DecodeTable) {
  const struct {
    const char* name;
    std::string bytes;
    bool big_endian;  // the file's byte order
    HistoryLayout layout;
    uint32_t last = 0, first = 0, count = 0;
    std::string title;
  } cases[] = {
      {"N3 big-endian: the other order", be(kT), false, N3, kT},
      {"N3 first plausible second", le(kFrom), true, N3, kFrom},
      {"N3 last plausible second", le(kTo - 1), false, N3, kTo - 1},
      {"N3 one second early", le(kFrom - 1), true, NONE},
      {"N3 2011", le(kTo), false, NONE},
      {"C4 from the other host", be(kT) + be(kT - 5) + be(2) + be(1) + "x\0"s, false, C4, kT,
       kT - 5, 2, "x"},
      {"C4 plausible both ways: the file's", be(946609200) + le(0) + le(0) + le(0), true, C4,
       946609200},
      {"C4 title up to its NUL", kHead + "ab\0cd\0"s, false, C4, kT, kT, 3, "ab"},
      {"C4 without NUL", kHead + "abc", true, C4, kT, kT, 3, "abc"},
      {"C4 without title", kHead, false, C4, kT, kT, 3},
      {"C4 long title cut", kHead + std::string(5000, 'x'), false, C4, kT, kT, 3,
       std::string(259, 'x')},
      {"short", le(kT).substr(0, 3), false, NONE},
      {"between the layouts", le(kT) + "\0"s, false, NONE},
      {"one byte short of C4", kHead.substr(0, 15), false, NONE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<unsigned char> data(c.bytes.begin(), c.bytes.end());  // exact size
    const HistoryRecord r = decode_history_record(data.data(), data.size(), c.big_endian);
    EXPECT_EQ(r.layout, c.layout);
    EXPECT_EQ(r.last_visit, c.last);
    EXPECT_EQ(r.first_visit, c.first);
    EXPECT_EQ(r.visit_count, c.count);
    EXPECT_EQ(std::string(r.title), c.title);
  }
}

}  // namespace
}  // namespace volari::testing
