// Comparing a written scene with its golden file so that a failure shows
// where they part.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// Success when `actual` and `expected` are the same bytes; otherwise a
// failure naming the first line that differs (from 1) and both versions of
// it, or the line where the shorter text ends.  Use as
// EXPECT_TRUE(sameText(written, golden)) << what;
testing::AssertionResult sameText(const std::string &actual, const std::string &expected);

} // namespace testsupport
