#pragma once

#include <gtest/gtest.h>

#include <string>

namespace stackboot::testing {

// Names each row of a parameterised table after its `name` member, so a failure says which
// case broke.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& row) const {
    return row.param.name;
  }
};

}  // namespace stackboot::testing
