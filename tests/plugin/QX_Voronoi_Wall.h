#pragma once
// A wall of 20 unit bricks (5 x 4, one body each) hit at frame 1 by a fast box; the bricks it
// breaks go "To Fragments" through the shatter library. Shared by the fragment and bake tests.

#include "core/QX_BT_Setting_Keys.h"
#include "core/QX_BT_World.h"
#include "modifier/QX_RIGID_MOD_Fragments.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

#include <memory>

namespace Quarix::Scenes {

struct VoronoiWall {
    /// Bricks break into `pieces` fragments whose inner faces get `innerMaterial`.
    VoronoiWall(int32_t pieces, int32_t innerMaterial) {
        Fixtures::ConfigureWorld(world, 5, 9.81f, true);
        wall = std::make_unique<Fixtures::TestObject>(Fixtures::MakeBoxWall(5, 4, 0.0f));
        projectile = std::make_unique<Fixtures::TestObject>(
            Fixtures::MakeBox(glm::vec3(0, -4, 1.5f), glm::vec3(0.5f)));
        projectile->node->setKey(1.0f, Translation(glm::vec3(0, 1.5f, 0)));
        QX_BT_MeshController& c = core();
        c.intSettings.set(ObjectKey::GroupCount, kOneGroupPerElement);
        c.intSettings.set(ObjectKey::Percentage, 0);
        c.floatSettings.set(ObjectKey::Solidity, 30.0f);
        c.intSettings.set(ObjectKey::PrimaryToFragments, 1);
        c.intSettings.set(ObjectKey::NumFragments, pieces);
        c.intSettings.set(ObjectKey::FragmentsVariation, 0);
        c.intSettings.set(ObjectKey::FragmentsMaterialID, innerMaterial);
        c.fragmentOperation = MakeFragmentOperation({});
    }
    QX_BT_MeshController& core() { return *wall->core; }
    /// Simulates frames [0, frames).
    void run(int frames) {
        Fixtures::SimulateFrames(world, {wall->core.get(), projectile->core.get()}, 0, frames);
    }

    QX_BT_World world;
    std::unique_ptr<Fixtures::TestObject> wall;
    std::unique_ptr<Fixtures::TestObject> projectile;
};

} // namespace Quarix::Scenes
