#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "output/history_record.h"

namespace volari::testing {
namespace {

using namespace std::string_literals;

std::string word(uint32_t v, bool big) {
  std::string w = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  return big ? std::string(w.rbegin(), w.rend()) : w;
}

constexpr uint32_t kFrom = 631152000, kTo = 1293840000;  // 1990-01-01, 2011-01-01 UTC
constexpr uint32_t kT = 900000000;                       // 35 A4 E9 00: 1970 when swapped
constexpr auto N3 = HistoryLayout::navigator3, C4 = HistoryLayout::communicator4,
               NONE = HistoryLayout::unknown;
const std::string kHead = word(kT, 0) + word(kT, 0) + word(3, 0) + word(1, 0);  // C4 little-endian

// The decoder on byte strings (big_endian: the file's byte order); both layouts as written, in
// both byte orders, are in the history-visits transcript.
TEST(HistoryRecord, DecodeTable) {
  const struct {
    const char* name;
    std::string bytes;
    bool big_endian;
    HistoryLayout layout;
    uint32_t last = 0, first = 0, count = 0;
    std::string title;
  } cases[] = {
      {"N3 in the other order", word(kT, 1), false, N3, kT},
      {"N3 first plausible second", word(kFrom, 0), true, N3, kFrom},
      {"N3 2011", word(kTo, 0), false, NONE},
      {"C4 from the other host", word(kT, 1) + word(kT - 5, 1) + word(2, 1) + word(1, 1) + "x\0"s,
       false, C4, kT, kT - 5, 2, "x"},
      {"C4 plausible both ways: the file's", word(946609200, 1) + std::string(12, '\0'), true, C4,
       946609200},
      {"C4 title without NUL", kHead + "abc", true, C4, kT, kT, 3, "abc"},
      {"C4 long title cut", kHead + std::string(5000, 'x'), false, C4, kT, kT, 3,
       std::string(259, 'x')},
      {"short", word(kT, 0).substr(0, 3), false, NONE},
      {"one byte short of C4", kHead.substr(0, 15), false, NONE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<unsigned char> data(c.bytes.begin(), c.bytes.end());  // exact size
    const HistoryRecord r = decode_history_record(data.data(), data.size(), c.big_endian);
    EXPECT_EQ(
        std::tuple(r.layout, r.last_visit, r.first_visit, r.visit_count, std::string(r.title)),
        std::tuple(c.layout, c.last, c.first, c.count, c.title));
  }
}

}  // namespace
}  // namespace volari::testing
