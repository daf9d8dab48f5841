#include "unit/scoped_calls.h"

#include <gtest/gtest.h>

namespace tidemark::testing {
namespace {

// Each test must end with the system's own calls in the table: one left
// swapped (a swap by hand that a throw skipped) fails that test, and is
// reset so that it scripts none of the tests after it.
class TableLeftSwapped : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (platform::Calls() == platform::CallTable{}) return;
    ADD_FAILURE() << "the test left the platform's call table swapped";
    ResetCalls();
  }
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TableLeftSwapped);
  return true;
}();

}  // namespace
}  // namespace tidemark::testing
