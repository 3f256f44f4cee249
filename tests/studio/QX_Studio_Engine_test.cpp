// The engine with the real plug-in: what it publishes, that a snapshot once read never changes,
// and the refusals of its actions before they reach the scene.

#include <gtest/gtest.h>

#include "app/QX_Session.h"
#include "app/studio/QX_Studio_Engine.h"
#include "app/studio/QX_Studio_Request.h"
#include "host/Interface.h"
#include "tests/studio/QX_Studio_Test_Support.h"

using namespace Quarix::Studio;
using nlohmann::json;
using Quarix::Studio::Testing::StatusOf;

namespace {

/// A grid of stones over the ground and a world of frames 0..30 that simulates them.
const std::string kScene = std::string(QX_SOURCE_DIR) + "/scenes/relaxed-pile.json";

class StudioEngine : public ::testing::Test {
protected:
    void SetUp() override {
        Interface& ip = *GetCOREInterface();
        static const bool loaded = [&] {
            std::vector<std::string> errors;
            return Quarix::App::LoadPlugins(ip, QX_PLUGIN_DIR, errors) > 0;
        }();
        ASSERT_TRUE(loaded);
        m_engine = std::make_unique<Engine>(ip);
        m_engine->Load(kScene);
    }

    /// The handle ("id") of the node named `name` in the published tree, or -1.
    long long HandleOf(const std::string& name) const {
        const auto snap = m_engine->Published();
        for (const json& node : snap->tree["nodes"])
            if (node.value("name", "") == name)
                return node["id"].get<long long>();
        return -1;
    }

    std::unique_ptr<Engine> m_engine;
};

} // namespace

// Every frame of the world's range is published, each with seven numbers per piece.
TEST_F(StudioEngine, PublishesEveryFrameOfTheRangeForEveryPiece) {
    const auto snap = m_engine->Published();
    ASSERT_NE(snap, nullptr);
    ASSERT_NE(snap->pieces, nullptr);
    const size_t pieces = snap->pieces->pieces.size();
    EXPECT_GT(pieces, 0u);
    EXPECT_EQ(snap->firstFrame, 0);
    ASSERT_EQ(snap->frames.size(), 31u);
    for (const auto& block : snap->frames) {
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->values.size(), pieces * 7);
    }
    EXPECT_TRUE(snap->progress["canSimulate"].get<bool>());
    EXPECT_FALSE(snap->progress["running"].get<bool>());
}

// A reader holding a snapshot keeps what it read while the engine publishes anew.
TEST_F(StudioEngine, AHeldSnapshotNeverChanges) {
    const auto held = m_engine->Published();
    const json heldTree = held->tree;
    const auto heldPieces = held->pieces;
    m_engine->SetFrame(7);
    m_engine->Refresh();
    const auto now = m_engine->Published();
    EXPECT_NE(now, held);
    EXPECT_EQ(now->tree["frame"], 7);
    EXPECT_EQ(held->tree, heldTree);
    EXPECT_EQ(held->pieces, heldPieces);
    EXPECT_NE(now->pieces->version, held->pieces->version);
}

TEST_F(StudioEngine, ActionsRefuseBadTargetsWithoutChangingTheScene) {
    const auto before = m_engine->Published();
    EXPECT_EQ(StatusOf([&] { m_engine->SetFrame(-1); }), 422);
    EXPECT_EQ(StatusOf([&] { m_engine->SetFrame(31); }), 422);
    EXPECT_EQ(StatusOf([&] { m_engine->NodeOf(0xfffffff0u); }), 404);
    EXPECT_EQ(StatusOf([&] { m_engine->NodeMesh(0xfffffff0u, 0); }), 404);
    EXPECT_EQ(StatusOf([&] { m_engine->Pick(1); }), 409); // no pick mode runs
    const long long world = HandleOf("World");
    const long long stones = HandleOf("Stones");
    ASSERT_GE(world, 0);
    ASSERT_GE(stones, 0);
    EXPECT_EQ(StatusOf([&] { m_engine->AddToList("Bogus", std::uint32_t(stones)); }), 400);
    EXPECT_EQ(StatusOf([&] { m_engine->AddToList("NodesList", std::uint32_t(world)); }), 422);
    EXPECT_EQ(StatusOf([&] { m_engine->AddToList("NodesList", std::uint32_t(stones)); }), 409);
    EXPECT_EQ(StatusOf([&] { m_engine->NodeMesh(std::uint32_t(stones), 99); }), 422);
    // Refusals publish nothing new.
    EXPECT_EQ(m_engine->Published(), before);
}

// While a mode runs, the time slider and a second start are refused; stop ends it.
TEST_F(StudioEngine, ARunningModeOwnsTheSlider) {
    const json started = m_engine->PressMode(0);
    ASSERT_TRUE(started["running"].get<bool>());
    EXPECT_EQ(started["mode"], "range");
    EXPECT_EQ(StatusOf([&] { m_engine->SetFrame(3); }), 409);
    EXPECT_EQ(StatusOf([&] { m_engine->PressMode(1); }), 409);
    EXPECT_EQ(m_engine->PressMode(-1)["running"], false);
    EXPECT_FALSE(m_engine->Published()->progress["running"].get<bool>());
    EXPECT_EQ(m_engine->SetFrame(3)["frame"], 3);
}

// A job nobody runs is answered: busy to the caller that waited, closing to the rest.
TEST_F(StudioEngine, JobsNeverRunAreAnswered) {
    EXPECT_EQ(StatusOf([&] { m_engine->Call([](Engine&) { return json(); }, 20); }), 503);
    std::future<json> pending = m_engine->Post([](Engine&) { return json(1); });
    m_engine.reset();
    EXPECT_EQ(StatusOf([&] { pending.get(); }), 503);
}

// Rollout actions arrive as JSON from the page: malformed ones are refused with a 4xx, never a
// crash or a 500, and a spinner keeps its value when the new one lies outside its range.
TEST_F(StudioEngine, RolloutActionsAreValidatedBeforeTheyReachAControl) {
    const long long stones = HandleOf("Stones");
    ASSERT_GE(stones, 0);
    const json open = m_engine->Rollouts(std::uint32_t(stones));
    json spinner, list;
    int serial = -1, listSerial = -1;
    for (const json& r : open["rollouts"])
        for (const json& c : r["controls"]) {
            if (spinner.is_null() && c["kind"] == "spinner" && c["enabled"].get<bool>() &&
                c["max"].get<double>() < 1e6) {
                spinner = c;
                serial = r["serial"].get<int>();
            }
        }
    ASSERT_FALSE(spinner.is_null()) << open.dump();
    const int id = spinner["id"].get<int>();
    const auto act = [&](json action) { m_engine->RolloutAction(action); };
    EXPECT_EQ(StatusOf([&] { act(json::object()); }), 400);
    EXPECT_EQ(StatusOf([&] {
                  act({{"rollout", 999999}, {"control", id}, {"action", "click"}});
              }),
              404);
    EXPECT_EQ(StatusOf([&] {
                  act({{"rollout", serial}, {"control", 0xfffe}, {"action", "click"}});
              }),
              404);
    EXPECT_EQ(StatusOf([&] {
                  act({{"rollout", serial}, {"control", id}, {"action", "zap"}});
              }),
              400);
    const json base = {{"rollout", serial}, {"control", id}, {"action", "spinner"}};
    EXPECT_EQ(StatusOf([&] { act(base); }), 400); // no value
    json text = base;
    text["value"] = "3";
    EXPECT_EQ(StatusOf([&] { act(text); }), 400);
    json high = base;
    high["value"] = spinner["max"].get<double>() + 1.0;
    EXPECT_EQ(StatusOf([&] { act(high); }), 422);
    // The spinner still shows what it showed.
    const json after = m_engine->Rollouts(std::uint32_t(stones));
    for (const json& r : after["rollouts"])
        for (const json& c : r["controls"])
            if (r["serial"] == serial && c["id"] == id)
                EXPECT_EQ(c["value"], spinner["value"]);
    // A list with items (the world's list of simulated nodes holds the stones): an "extend" that
    // is not a boolean is the request's fault.
    const long long world = HandleOf("World");
    ASSERT_GE(world, 0);
    const json worldRollouts = m_engine->Rollouts(std::uint32_t(world));
    for (const json& r : worldRollouts["rollouts"])
        for (const json& c : r["controls"])
            if (list.is_null() && c["kind"] == "list" && !c["items"].empty()) {
                list = c;
                listSerial = r["serial"].get<int>();
            }
    ASSERT_FALSE(list.is_null());
    {
        const json select = {{"rollout", listSerial},
                             {"control", list["id"]},
                             {"action", "select"},
                             {"index", 0},
                             {"extend", "yes"}};
        EXPECT_EQ(StatusOf([&] { act(select); }), 400);
    }
}
