#include "output/history_record.h"

#include <cstring>

namespace volari {

namespace {

constexpr uint32_t kFrom = 631152000u;  // 1990-01-01 00:00:00 UTC
constexpr uint32_t kTo = 1293840000u;   // 2011-01-01 00:00:00 UTC
constexpr size_t kCommunicatorHead = 16;
constexpr size_t kTitleMax = 259;

uint32_t word(const unsigned char* p, bool big_endian) {
  return big_endian ? uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
                    : uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

}  // namespace

bool plausible_visit(uint32_t unix_time) {
  return unix_time >= kFrom && unix_time < kTo;
}

HistoryRecord decode_history_record(const unsigned char* data, size_t size, bool big_endian) {
  HistoryRecord r;
  if (size != 4 && size < kCommunicatorHead) return r;
  bool order = size == 4 ? false : big_endian;
  if (!plausible_visit(word(data, order))) order = !order;
  if (!plausible_visit(word(data, order))) return r;
  r.last_visit = word(data, order);
  if (size == 4) {
    r.layout = HistoryLayout::navigator3;
    return r;
  }
  r.layout = HistoryLayout::communicator4;
  const uint32_t first = word(data + 4, order);
  r.first_visit = plausible_visit(first) ? first : 0;
  r.visit_count = word(data + 8, order);
  const char* title = reinterpret_cast<const char*>(data + kCommunicatorHead);
  const size_t rest = size - kCommunicatorHead;
  r.title = std::string_view(title, strnlen(title, rest < kTitleMax ? rest : kTitleMax));
  return r;
}

}  // namespace volari
