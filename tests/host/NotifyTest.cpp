#include "tests/host/HostTestSupport.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string>* g_log = nullptr;

void Record(void* param, NotifyInfo* info) {
    g_log->push_back(std::string(static_cast<const char*>(param)) + ":" +
                     std::to_string(info->intcode));
}

// A procedure that unregisters itself while being called.
void OneShot(void* param, NotifyInfo* info) {
    Record(param, info);
    UnRegisterNotification(OneShot, param, info->intcode);
}

class NotifyTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        g_log = &log;
    }
    void TearDown() override {
        Host().GetNotifications().UnregisterAll(Record, const_cast<char*>("a"));
        Host().GetNotifications().UnregisterAll(Record, const_cast<char*>("b"));
        Host().GetNotifications().UnregisterAll(OneShot, const_cast<char*>("once"));
        HostTest::TearDown();
        g_log = nullptr;
    }
    std::vector<std::string> log;
};

TEST_F(NotifyTest, ResetSceneBroadcastsBeforeAndAfterInRegistrationOrder) {
    char* a = const_cast<char*>("a");
    char* b = const_cast<char*>("b");
    ASSERT_TRUE(RegisterNotification(Record, b, NOTIFY_SYSTEM_POST_RESET));
    ASSERT_TRUE(RegisterNotification(Record, a, NOTIFY_SYSTEM_POST_RESET));
    ASSERT_TRUE(RegisterNotification(Record, a, NOTIFY_SYSTEM_PRE_RESET));
    // A repeated registration is called once.
    ASSERT_TRUE(RegisterNotification(Record, a, NOTIFY_SYSTEM_POST_RESET));
    Host().ResetScene();
    EXPECT_EQ(log, (std::vector<std::string>{"a:7", "b:8", "a:8"}));
}

TEST_F(NotifyTest, UnregisteredProceduresAreNotCalledAndMayLeaveDuringABroadcast) {
    char* a = const_cast<char*>("a");
    char* once = const_cast<char*>("once");
    EXPECT_FALSE(RegisterNotification(nullptr, a, NOTIFY_SYSTEM_POST_RESET));
    RegisterNotification(Record, a, NOTIFY_SYSTEM_POST_RESET);
    RegisterNotification(OneShot, once, NOTIFY_SYSTEM_POST_RESET);
    EXPECT_TRUE(UnRegisterNotification(Record, a, NOTIFY_SYSTEM_POST_RESET));
    EXPECT_FALSE(UnRegisterNotification(Record, a, NOTIFY_SYSTEM_POST_RESET));
    Host().ResetScene();
    Host().ResetScene();
    EXPECT_EQ(log, (std::vector<std::string>{"once:8"}));
}

} // namespace
