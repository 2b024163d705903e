// The manifest's CSV (its rows and the sites page are in the manifest transcript).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/csv.h"
#include "output/manifest.h"

namespace volari::testing {
namespace {

// Fields quoted when they must be, and read back; loose and malformed text read as it can be.
TEST(Csv, WrittenAndRead) {
  const struct {
    std::string text;
    std::vector<CsvRecord> records;
    bool written;  // as append_csv_record writes the records
    size_t faults = 0;
  } cases[] = {
      {"\"a,b\",\"say \"\"hi\"\"\",\"\"\"\",x\r\n", {{"a,b", "say \"hi\"", "\"", "x"}}, true},
      {"\"line\r\nbreak\",\"lf\n\",\"cr\r\"\r\n", {{"line\r\nbreak", "lf\n", "cr\r"}}, true},
      {"\"\"\r\n,\r\n", {{""}, {"", ""}}, true},
      {"\"\xEF\xBB\xBFx\"\r\n", {{"\xEF\xBB\xBFx"}}, true},
      {"\xEF\xBB\xBFu,v\nw\r\n\r\n\nx\ry", {{"u", "v"}, {"w"}, {"x"}, {"y"}}, false},
      {"a\"b,\"c\"d\"e\n", {{"a\"b", "cd\"e"}}, false, 3},
      {"x,\"open\r\nrest", {{"x", "open\r\nrest"}}, false, 1},
  };
  for (const auto& c : cases) {
    std::string text;
    for (const auto& r : c.records) append_csv_record(r, text);
    EXPECT_TRUE(!c.written || text == c.text) << text;
    const CsvText got = parse_csv(c.text);
    EXPECT_EQ(got.records, c.records) << c.text;
    EXPECT_EQ(got.faults, c.faults) << c.text;
  }
}

// A CSV file of other columns is no manifest: the run leaves it alone.
TEST(Manifest, OnlyAManifestLoads) {
  Manifest m;
  EXPECT_FALSE(load_manifest("name,value\r\nurl,x\r\n", m));
}

}  // namespace
}  // namespace volari::testing
