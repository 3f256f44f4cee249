#include "tests/host/HostTestSupport.h"

namespace {

int g_ticks = 0;
UINT_PTR g_timer = 0;

void CountAndStopAtThree(HWND, UINT message, UINT_PTR id, DWORD) {
    EXPECT_EQ(message, WM_TIMER);
    EXPECT_EQ(id, g_timer);
    if (++g_ticks == 3)
        KillTimer(nullptr, id);
}

class MessageLoopTest : public HostTest {};

TEST_F(MessageLoopTest, TimerTicksUntilKilledFromItsCallback) {
    g_ticks = 0;
    g_timer = SetTimer(nullptr, 0, 1, CountAndStopAtThree);
    ASSERT_NE(g_timer, 0u);
    EXPECT_EQ(Host().GetMessageLoop().RunTicks(100), 3);
    EXPECT_EQ(g_ticks, 3);
    EXPECT_EQ(Host().GetMessageLoop().ActiveTimers(), 0);
    EXPECT_FALSE(KillTimer(nullptr, g_timer));
    EXPECT_EQ(SetTimer(nullptr, 0, 1, nullptr), 0u);
}

TEST_F(MessageLoopTest, TimeSliderMovesAndRedraws) {
    Host().SetTime(480);
    EXPECT_EQ(Host().GetTime(), 480);
    EXPECT_EQ(Host().RedrawCount(), 1);
    Host().SetTime(0, FALSE);
    EXPECT_EQ(Host().RedrawCount(), 1);
    Host().ForceCompleteRedraw(TRUE);
    EXPECT_EQ(Host().RedrawCount(), 2);
}

} // namespace
