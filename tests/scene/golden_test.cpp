// The golden comparison: a failure names the first line that differs and
// shows both versions of it.
#include <gtest/gtest.h>

#include <string>

#include "support/golden.h"

TEST(GoldenComparison, namesFirstDifferingLineWithBothVersions) {
    EXPECT_TRUE(testsupport::sameText("a\nb\n", "a\nb\n"));
    struct Case {
        const char *actual, *expected, *message;
    };
    const Case cases[] = {
        {"LWSC\n3\nBone 1\r\n", "LWSC\n3\nBone 2\n",
         "texts differ at line 3 (byte 12)\n  actual:   \"Bone 1\\x0d\"\n  expected: \"Bone 2\"\n"},
        {"LWSC\n", "LWSC\n3\n", "texts differ at line 2 (byte 5)\n  actual ends before it\n  expected: \"3\"\n"},
    };
    for (const Case &c : cases) {
        const testing::AssertionResult result = testsupport::sameText(c.actual, c.expected);
        EXPECT_FALSE(result);
        EXPECT_STREQ(result.message(), c.message);
    }
}
