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
        for (const json& node : m_engine->Published()->tree["nodes"])
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
