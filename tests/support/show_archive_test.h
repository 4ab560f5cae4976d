#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "support/test_archive.h"

// A test on the show's own built archive (KESTRUNE_DATA_TVL), opened from a
// copy as the show opens it; skipped where the build made none.
class ShowArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tvl = std::getenv("KESTRUNE_DATA_TVL");
    if (!tvl) GTEST_SKIP() << "KESTRUNE_DATA_TVL names no archive";
    archive_.reset(new TestArchive(CopyOfArchive{}, tvl));
  }
  std::unique_ptr<TestArchive> archive_;
};
