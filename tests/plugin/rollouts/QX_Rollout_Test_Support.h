#pragma once
// Rollout tests: the world's and the modifier's rollouts opened in the host's dialog model and
// driven only through its scripting surface (clicks, spinners, combo items, typed text), with
// the message loop delivering the actions between timer ticks as it does for a user.

#include "tests/plugin/driver/QX_Driver_Test_Support.h"

#include "host/CustomControls.h"
#include "host/DialogScript.h"
#include "modifier/QX_Button_Images.h"
#include "modifier/QX_RIGID_MOD_Rollouts.h"
#include "world/QX_BULLET_OBJ_Rollouts.h"

#include <string>

namespace QX_Rollout_Test {

using namespace Quarix;
using QX_Driver_Test::DriverTest;

class RolloutTest : public DriverTest {
protected:
    void TearDown() override {
        CloseAll();
        DriverTest::TearDown();
    }

    /// Opens the world's rollouts as the command panel does when the world is edited.
    void EditWorld(QX_BULLET_OBJ* world) {
        CloseAll();
        world->BeginEditParams(&Host(), 0, nullptr);
        editedWorld = world;
    }
    /// Opens the rigid modifier's rollouts.
    void EditModifier(QX_RIGID_MOD* mod) {
        CloseAll();
        mod->BeginEditParams(&Host(), 0, nullptr);
        editedMod = mod;
    }
    void CloseAll() {
        if (editedWorld)
            editedWorld->EndEditParams(&Host(), 0, nullptr);
        if (editedMod)
            editedMod->EndEditParams(&Host(), 0, nullptr);
        editedWorld = nullptr;
        editedMod = nullptr;
    }

    /// The open rollout titled `title`; fails the test when it is not open.
    HWND Rollout(const MCHAR* title) {
        HWND window = script.FindRollout(title);
        EXPECT_NE(window, nullptr) << "no open rollout " << ToUtf8(title);
        return window;
    }
    ControlSnapshot Read(const MCHAR* title, int id) { return script.Read(Rollout(title), id); }

    /// Clicks control `id` of rollout `title` and lets the loop deliver the click.
    void Click(const MCHAR* title, int id) {
        std::string error;
        ASSERT_TRUE(script.Click(Rollout(title), id, &error)) << error;
        Deliver();
    }
    void Spin(const MCHAR* title, int id, double value) {
        std::string error;
        ASSERT_TRUE(script.SetSpinner(Rollout(title), id, value, &error)) << error;
        Deliver();
    }
    void Combo(const MCHAR* title, int id, int index) {
        std::string error;
        ASSERT_TRUE(script.SelectComboItem(Rollout(title), id, index, &error)) << error;
        Deliver();
    }
    void Type(const MCHAR* title, int id, const MCHAR* text) {
        std::string error;
        ASSERT_TRUE(script.TypeText(Rollout(title), id, text, &error)) << error;
        Deliver();
    }
    void Deliver() { Host().GetMessageLoop().DeliverPosted(); }
    /// Runs the message loop for `ticks` timer ticks.
    void Ticks(int ticks) { Host().GetMessageLoop().RunTicks(ticks); }

    static std::string ToUtf8(const MCHAR* text) {
        std::string out;
        for (const MCHAR* c = text; c && *c; ++c)
            out += static_cast<char>(*c);
        return out;
    }

    DialogScript script{*GetCOREInterface()};
    QX_BULLET_OBJ* editedWorld = nullptr;
    QX_RIGID_MOD* editedMod = nullptr;
};

} // namespace QX_Rollout_Test
