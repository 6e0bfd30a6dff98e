// The golden comparison: a failure names the first line that differs and
// shows both versions of it.
#include <gtest/gtest.h>

#include <string>

#include "support/golden.h"

TEST(GoldenComparison, namesFirstDifferingLineWithBothVersions) {
    EXPECT_TRUE(testsupport::sameText("a\nb\n", "a\nb\n"));
    const testing::AssertionResult changed = testsupport::sameText("LWSC\n3\nBone 1\r\n", "LWSC\n3\nBone 2\n");
    ASSERT_FALSE(changed);
    EXPECT_STREQ(changed.message(),
                 "texts differ at line 3 (byte 12)\n"
                 "  actual:   \"Bone 1\\x0d\"\n"
                 "  expected: \"Bone 2\"\n");
    const testing::AssertionResult cut = testsupport::sameText("LWSC\n", "LWSC\n3\n");
    ASSERT_FALSE(cut);
    EXPECT_STREQ(cut.message(),
                 "texts differ at line 2 (byte 5)\n"
                 "  actual ends before it\n"
                 "  expected: \"3\"\n");
}
