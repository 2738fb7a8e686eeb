// Shared set-up for the C API tests: a temporary directory and a write handle
// whose dictionary the test defines.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "vexaio.h"

namespace vexa::testing {

class WriteHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vexaOpenWrite(dir_.File("new.vexa").c_str(), &handle_), VEXA_OK);
  }
  void TearDown() override {
    if (handle_ >= 0) vexaCloseWrite(handle_);
  }

  TempDir dir_;
  int handle_ = -1;
};

}  // namespace vexa::testing
