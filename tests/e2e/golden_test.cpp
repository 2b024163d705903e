// Whole runs of the program, each pinned byte for byte by its transcript in tests/golden/.
#include <gtest/gtest.h>

#include "testlib/golden.h"

namespace volari::testing {
namespace {
class Golden : public ::testing::TestWithParam<Scenario> {};

TEST_P(Golden, Transcript) {
  check_golden(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::ValuesIn(golden_scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

}  // namespace
}  // namespace volari::testing
