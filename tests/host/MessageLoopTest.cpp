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

std::vector<char> g_order;

void TickA(HWND, UINT, UINT_PTR, DWORD) {
    g_order.push_back('a');
}

void TickB(HWND, UINT, UINT_PTR, DWORD) {
    g_order.push_back('b');
}

TEST_F(MessageLoopTest, TimersOfDifferentPeriodsInterleaveDeterministically) {
    g_order.clear();
    const std::uint64_t start = Host().GetMessageLoop().NowMs();
    UINT_PTR a = SetTimer(nullptr, 0, 2, TickA);
    UINT_PTR b = SetTimer(nullptr, 0, 3, TickB);
    EXPECT_NE(a, b);
    // Due times (from start): a at 2, 4, 6; b at 3, 6. At 6 both are due, in start order.
    EXPECT_EQ(Host().GetMessageLoop().RunTicks(5), 5);
    EXPECT_EQ(std::string(g_order.begin(), g_order.end()), "abaab");
    EXPECT_EQ(Host().GetMessageLoop().NowMs() - start, 6u);
    KillTimer(nullptr, a);
    KillTimer(nullptr, b);
    // Resetting the scene stops every timer.
    SetTimer(nullptr, 0, 1, TickA);
    Host().ResetScene();
    EXPECT_EQ(Host().GetMessageLoop().ActiveTimers(), 0);
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
