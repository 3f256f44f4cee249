#include "core/QX_BT_Settings.h"

#include <gtest/gtest.h>

#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix {
namespace {

template <typename Table, typename Key>
concept ReadableThrough = requires(const Table& table, Key key) {
    table.get(key);
};

// A key belongs to one table: reading it through another does not compile.
static_assert(ReadableThrough<QX_BT_Int_Settings, decltype(ObjectKey::RigidType)>);
static_assert(!ReadableThrough<QX_BT_Float_Settings, decltype(ObjectKey::RigidType)>);
static_assert(!ReadableThrough<QX_BT_Int_Settings, decltype(WorldKey::GravityDirection)>);

TEST(QX_BT_Settings, ReadingAnAbsentKeyGivesItsInitialValueAndStoresNothing) {
    QX_BT_Int_Settings table;
    EXPECT_EQ(table.get(WorldKey::SubSteps), 5);
    EXPECT_EQ(table.get(ObjectKey::MeshBuilt), 0);
    EXPECT_FALSE(table.changed(ObjectKey::MeshBuilt));
    EXPECT_TRUE(table.entries().empty());

    table.set(ObjectKey::MeshBuilt.id, 1);
    EXPECT_EQ(table.get(ObjectKey::MeshBuilt), 1);
    EXPECT_TRUE(table.changed(ObjectKey::MeshBuilt));
    table.set(ObjectKey::MeshBuilt, 1);
    table.clearChanged();
    table.set(ObjectKey::MeshBuilt, 1);
    EXPECT_FALSE(table.changed(ObjectKey::MeshBuilt));
}

TEST(QX_BT_Settings, NewCoresHoldEveryDefaultButTheCoresOwnMarks) {
    QX_BT_MeshController core(nullptr);
    EXPECT_EQ(core.intSettings.entries().size(), ObjectKey::kInts.size());
    EXPECT_EQ(core.floatSettings.entries().size(), ObjectKey::kFloats.size());
    EXPECT_EQ(core.intSettings.find(ObjectKey::MeshBuilt.id), nullptr);
    EXPECT_EQ(core.intSettings.get(ObjectKey::GroupCount), kOneGroupPerElement);
    EXPECT_FLOAT_EQ(core.floatSettings.get(ObjectKey::Friction), 0.82f);
    EXPECT_TRUE(core.intSettings.changed(ObjectKey::AmountLimit));

    QX_BT_World world;
    EXPECT_EQ(world.intSettings.entries().size() + world.floatSettings.entries().size() +
                  world.vectorSettings.entries().size(),
              20u);
    EXPECT_EQ(world.intSettings.get(WorldKey::DeactivationTime), 1000);
}

// A world loaded from a block that lacks keys simulates with their initial values and saves
// exactly the block it loaded: reading never adds entries that would then be written out.
TEST(QX_BT_Settings, SimulatingDoesNotChangeWhatIsSaved) {
    QX_BT_World sparse;
    sparse.intSettings.assign({{WorldKey::SubSteps.id, 2}});
    sparse.floatSettings.assign({{WorldKey::DeltaTime.id, 1.0f}, {WorldKey::ScaleFactor.id, 1.0f}});
    sparse.vectorSettings.assign({});
    const std::vector<uint8_t> saved = sparse.Serialise();

    QX_BT_World loaded;
    ASSERT_TRUE(loaded.Deserialise(saved.data(), saved.size()));
    Fixtures::TestObject object(Fixtures::MakeBox(glm::vec3(0, 0, 1), glm::vec3(0.5f)));
    Fixtures::Simulate(loaded, {object.core.get()}, 3);
    EXPECT_EQ(loaded.Serialise(), saved);
    EXPECT_EQ(object.core->intSettings.find(ObjectKey::ScaleUnchanged.id)->value, 1);
    EXPECT_EQ(object.core->bodies.size(), 1u);
}

} // namespace
} // namespace Quarix
