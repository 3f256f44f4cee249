#include "base/QX_Assert.h"

#include <gtest/gtest.h>

#include <string>

namespace Quarix {
namespace {

struct Failure {
    std::string condition;
    std::string file;
    int line = 0;
    int count = 0;
};
Failure g_failure; // written by the recording handler only

void Record(const char* condition, const char* file, int line) {
    g_failure.condition = condition;
    g_failure.file = file;
    g_failure.line = line;
    ++g_failure.count;
}

struct QX_Assert_Test : ::testing::Test {
    void SetUp() override {
        if (!kAssertsEnabled)
            GTEST_SKIP() << "asserts are off in this build";
        g_failure = {};
        previous = SetAssertHandler(&Record);
    }
    void TearDown() override { SetAssertHandler(previous); }
    QX_Assert_Handler previous = nullptr;
};

TEST_F(QX_Assert_Test, AFailedCheckReachesTheInstalledHandlerOnce) {
    int evaluations = 0;
    QX_ASSERT(++evaluations == 1);
    EXPECT_EQ(g_failure.count, 0);
    const int line = __LINE__ + 1;
    QX_ASSERT(++evaluations == 7);
    EXPECT_EQ(evaluations, 2) << "the condition is evaluated exactly once";
    EXPECT_EQ(g_failure.count, 1);
    EXPECT_EQ(g_failure.condition, "++evaluations == 7");
    EXPECT_NE(g_failure.file.find("QX_Assert_test.cpp"), std::string::npos);
    EXPECT_EQ(g_failure.line, line);
}

TEST_F(QX_Assert_Test, HandlersAreReplacedAndRestored) {
    EXPECT_EQ(SetAssertHandler(nullptr), &Record);
    // Null brought back the default handler, which is not ours.
    const QX_Assert_Handler fallback = SetAssertHandler(&Record);
    EXPECT_NE(fallback, &Record);
    EXPECT_NE(fallback, nullptr);
}

TEST(QX_Assert, TheDefaultHandlerReportsAndAborts) {
    if (!kAssertsEnabled)
        GTEST_SKIP() << "asserts are off in this build";
    EXPECT_DEATH(QX_ASSERT(1 + 1 == 3), "invariant failed: 1 \\+ 1 == 3");
}

} // namespace
} // namespace Quarix
