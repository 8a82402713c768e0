// Tests run once per width the vector kernels come in: each sets the width, or skips with the
// reason when the processor has no kernels that wide, and restores the widest afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/cpu_features.h"

namespace velmora::testing {

class KernelWidthTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!SetKernelLanes(GetParam()))
      GTEST_SKIP() << "this processor has no kernels " << GetParam() << " lanes wide";
  }
  void TearDown() override { SetKernelLanes(WidestLanes()); }
};

// Names the instances "1Lanes", "4Lanes", "8Lanes".
inline std::string WidthName(const ::testing::TestParamInfo<int>& info) {
  return std::to_string(info.param) + "Lanes";
}

}  // namespace velmora::testing
