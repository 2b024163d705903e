#include "output/history_visits.h"

#include <algorithm>
#include <cstdio>

#include "output/history.h"
#include "output/page_convert.h"

namespace volari {

namespace {

constexpr size_t kMaxVisits = size_t(1) << 20;
constexpr size_t kMaxText = size_t(64) << 20;

std::string stamp(Platform& platform, uint32_t unix_time) {
  DateTime t;
  if (!platform.to_local(unix_time, &t)) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%02u/%02u/%02u %02u:%02u:%02u  ", t.year % 100u, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

std::string shift_jis_title(std::string_view title) {
  const auto* in = reinterpret_cast<const unsigned char*>(title.data());
  PageConversion conversion(charset_from_bytes(read_bytes(in, title.size())));
  std::string out(title.size() + 1, '\0');
  out.resize(convert_page_line(conversion, in, title.size(),
                               reinterpret_cast<unsigned char*>(out.data())));
  return out;
}

}  // namespace

void HistoryVisits::add(std::string_view url, const HistoryRecord& record) {
  Visit v{record.last_visit,
          record.first_visit,
          record.visit_count,
          uint32_t(visits_.size()),
          uint32_t(text_.size()),
          0,
          uint16_t(std::min(url.size(), kHistoryKeyShown)),
          uint16_t(record.title.size()),
          record.layout};
  text_.append(url.substr(0, v.url_size));
  v.title_at = uint32_t(text_.size());
  text_.append(record.title);
  visits_.push_back(v);
}

bool HistoryVisits::full() const {
  return visits_.size() >= kMaxVisits || text_.size() >= kMaxText;
}

void HistoryVisits::write(OutputContext& ctx) {
  const auto url = [this](const Visit& v) {
    return std::string_view(text_).substr(v.url_at, v.url_size);
  };
  const auto known = [](const Visit& v) { return v.layout != HistoryLayout::unknown; };
  // The one to keep of a URL sorts first among its records, and first of all when it has a date.
  const auto better = [&](const Visit& a, const Visit& b) {
    if (known(a) != known(b)) return known(a);
    if (known(a) && a.last != b.last) return a.last > b.last;
    return a.seq < b.seq;
  };
  std::sort(visits_.begin(), visits_.end(), [&](const Visit& a, const Visit& b) {
    const int by_url = url(a).compare(url(b));
    return by_url != 0 ? by_url < 0 : better(a, b);
  });
  visits_.erase(std::unique(visits_.begin(), visits_.end(),
                            [&](const Visit& a, const Visit& b) { return url(a) == url(b); }),
                visits_.end());
  std::sort(visits_.begin(), visits_.end(), better);

  for (const Visit& v : visits_) {
    const std::string address(url(v));
    if (!known(v)) {
      put_history_visit(ctx, "", address.c_str(), "", "");
      continue;
    }
    std::string tail;
    if (v.layout == HistoryLayout::communicator4) {
      tail = " (visits " + std::to_string(v.count);
      const std::string first =
          v.first != 0 && v.first != v.last ? stamp(ctx.platform, v.first) : "";
      if (!first.empty()) tail += ", first " + first.substr(0, 8);
      tail += ")";
    }
    const std::string title =
        shift_jis_title(std::string_view(text_).substr(v.title_at, v.title_size));
    put_history_visit(ctx, stamp(ctx.platform, v.last).c_str(), address.c_str(), title.c_str(),
                      tail.c_str());
  }
  visits_ = {};
  text_ = {};
}

}  // namespace volari
