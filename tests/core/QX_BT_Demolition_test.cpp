#include "core/QX_BT_MeshController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Fragmenter.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace Quarix {
namespace {

using Fixtures::MakeBox;
using Fixtures::TestObject;

constexpr float kGravity = 9.81f;
/// Strength at which the projectile breaks the clusters it hits but resting contact breaks none
/// (resting clusters stay below 5, the hit ones reach well above 50).
constexpr float kHitSolidity = 30.0f;

std::vector<QX_BT_Body*> ChildrenOf(const QX_BT_MeshController& core, const QX_BT_Body* parent) {
    std::vector<QX_BT_Body*> children;
    for (const auto& body : core.bodies) {
        if (body->parent == parent)
            children.push_back(body.get());
    }
    return children;
}

std::vector<QX_BT_Body*> Demolished(const QX_BT_MeshController& core) {
    std::vector<QX_BT_Body*> out;
    for (const auto& body : core.bodies) {
        if (body->demolishedAs >= 0)
            out.push_back(body.get());
    }
    return out;
}

int AliveAt(const QX_BT_MeshController& core, float x) {
    return int(std::count_if(core.bodies.begin(), core.bodies.end(),
                             [x](const auto& body) { return IsAlive(*body, x); }));
}

QX_BT_Face_List SortedFaces(const QX_BT_Body& body) {
    QX_BT_Face_List faces = CollectBodyFaces(body);
    std::sort(faces.begin(), faces.end());
    return faces;
}

glm::mat4 Translate(const glm::vec3& v) {
    return Translation(v);
}

QX_BT_Index_Set VerticesOf(const QX_BT_Body& body) {
    QX_BT_Index_Set out;
    const QX_BT_CompoundShape* compound = body.compoundShape();
    for (int i = 0; i < compound->getNumChildShapes(); ++i) {
        const auto* child = GetShapeExtension(compound->getChildShape(i));
        out.insert(child->vertexIndices.begin(), child->vertexIndices.end());
    }
    return out;
}

// A wall of 20 unit bricks (5 x 4) as one object, and a fast box flying at its middle.
struct WallScene {
    explicit WallScene(int32_t groupCount) {
        Fixtures::ConfigureWorld(world, 5, kGravity, true);
        wall = std::make_unique<TestObject>(Fixtures::MakeBoxWall(5, 4, 0.0f));
        projectile = std::make_unique<TestObject>(MakeBox(glm::vec3(0, -4, 1.5f), glm::vec3(0.5f)));
        // One frame of node travel at frame 0 is the projectile's start velocity: 1.5 x 50 = 75.
        projectile->node->setKey(1.0f, Translate(glm::vec3(0, 1.5f, 0)));
        core().intSettings.set(ObjectKey::GroupCount, groupCount);
        core().intSettings.set(ObjectKey::Percentage, 0);
        core().floatSettings.set(ObjectKey::Solidity, kHitSolidity);
        core().fragmentOperation = Fixtures::FragmentOperation(fragmenter);
        objects = {wall->core.get(), projectile->core.get()};
    }
    QX_BT_MeshController& core() { return *wall->core; }
    void run(int first, int last) { Fixtures::SimulateFrames(world, objects, first, last); }

    QX_BT_World world;
    Fixtures::PlaneFragmenter fragmenter;
    std::unique_ptr<TestObject> wall;
    std::unique_ptr<TestObject> projectile;
    std::vector<QX_BT_MeshController*> objects;
};

// The recorded state of a child born from `parent` at x: the parent's state at x carried over
// to the child's own centre.
void ExpectChildStartsFromParent(const QX_BT_Body& child, const QX_BT_Body& parent, float x) {
    ASSERT_TRUE(child.track.contains(x));
    const QX_BT_Body_State p = SampleTrack(parent.track, x);
    const QX_BT_Body_State c = child.track.find(x)->second;
    const glm::vec3 offset = child.compoundShape()->centre - parent.compoundShape()->centre;
    const glm::mat4 expected = Translate(-offset) * p.transform * Translate(offset);
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 3; ++row)
            EXPECT_NEAR(c.transform[col][row], expected[col][row], 1e-4f) << col << "," << row;
    EXPECT_EQ(c.linearVelocity, p.linearVelocity);
    EXPECT_EQ(c.angularVelocity, p.angularVelocity);
}

TEST(QX_BT_Demolition_Wall, HitClustersSplitIntoElementsAndTheFrameIsSimulatedAgain) {
    WallScene scene(5);
    scene.core().intSettings.set(ObjectKey::PrimaryToElements, 1);
    scene.run(0, 1);
    ASSERT_EQ(scene.core().bodies.size(), 5u);
    EXPECT_TRUE(Demolished(scene.core()).empty()) << "resting contact must not break the wall";

    scene.run(1, 2); // the projectile arrives during frame 1
    const std::vector<QX_BT_Body*> parents = Demolished(scene.core());
    ASSERT_FALSE(parents.empty());
    EXPECT_LT(parents.size(), 5u) << "clusters away from the hit stay whole";
    for (const QX_BT_Body* parent : parents) {
        EXPECT_EQ(parent->lifeEnd, 1.0f);
        EXPECT_EQ(parent->afterMode, 2);
        EXPECT_EQ(parent->demolishedAs, 0);
        EXPECT_EQ(std::prev(parent->track.end())->first, 1.0f) << "no state after its end";
        const std::vector<QX_BT_Body*> children = ChildrenOf(scene.core(), parent);
        ASSERT_EQ(int(children.size()), parent->compoundShape()->getNumChildShapes());
        QX_BT_Face_List faces;
        for (const QX_BT_Body* child : children) {
            EXPECT_EQ(child->lifeStart, 1.0f);
            EXPECT_EQ(child->beforeMode, 2);
            EXPECT_EQ(child->depth, 1);
            EXPECT_EQ(child->childFlag, 0);
            EXPECT_EQ(child->state, Dynamic);
            EXPECT_EQ(child->compoundShape()->getNumChildShapes(), 1);
            ExpectChildStartsFromParent(*child, *parent, 1.0f);
            // Recorded at 1 when made, then at 2 after the frame was simulated again with them.
            EXPECT_EQ(child->track.size(), 2u);
            EXPECT_TRUE(child->track.contains(2.0f));
            const QX_BT_Face_List own = CollectBodyFaces(*child);
            faces.insert(faces.end(), own.begin(), own.end());
        }
        std::sort(faces.begin(), faces.end());
        EXPECT_EQ(faces, SortedFaces(*parent)) << "the children share out the parent's faces";
    }
    EXPECT_EQ(scene.core().activeBodyCount, AliveAt(scene.core(), 1.0f));
    // Splits add no geometry.
    EXPECT_EQ(scene.core().simulationMesh.faceCount(), 20u * 12u);
}

TEST(QX_BT_Demolition_Wall, ToClustersRegroupsIntoAmountClusters) {
    WallScene scene(5);
    scene.core().intSettings.set(ObjectKey::PrimaryToClusters, 1);
    scene.core().intSettings.set(ObjectKey::Amount, 2);
    scene.run(0, 3);
    const std::vector<QX_BT_Body*> parents = Demolished(scene.core());
    ASSERT_FALSE(parents.empty());
    for (const QX_BT_Body* parent : parents) {
        EXPECT_EQ(parent->afterMode, 2);
        const std::vector<QX_BT_Body*> children = ChildrenOf(scene.core(), parent);
        ASSERT_EQ(children.size(), 2u);
        QX_BT_Face_List faces;
        for (const QX_BT_Body* child : children) {
            EXPECT_EQ(child->depth, 1);
            EXPECT_EQ(child->lifeStart, parent->lifeEnd);
            const QX_BT_Face_List own = CollectBodyFaces(*child);
            faces.insert(faces.end(), own.begin(), own.end());
        }
        std::sort(faces.begin(), faces.end());
        EXPECT_EQ(faces, SortedFaces(*parent));
    }
}

// Solidity 0 lets every body through the strength test, so the other gates decide alone.
struct DepthScene : WallScene {
    DepthScene(int32_t depthLimit, int32_t safeFrames) : WallScene(1) {
        QX_BT_MeshController& c = core();
        c.floatSettings.set(ObjectKey::Solidity, 0.0f);
        c.intSettings.set(ObjectKey::PrimaryToClusters, 1);
        c.intSettings.set(ObjectKey::SecondaryToClusters, 1);
        c.intSettings.set(ObjectKey::Amount, 2);
        c.intSettings.set(ObjectKey::ClusterizationDepth, depthLimit);
        c.intSettings.set(ObjectKey::SafeFrames, safeFrames);
        objects = {wall->core.get()};
    }
    std::map<int32_t, std::vector<const QX_BT_Body*>> byDepth() {
        std::map<int32_t, std::vector<const QX_BT_Body*>> out;
        for (const auto& body : core().bodies)
            out[body->depth].push_back(body.get());
        return out;
    }
};

TEST(QX_BT_Demolition_Wall, SafeFramesHoldChildrenAndTheDepthLimitStopsTheNextGeneration) {
    DepthScene scene(1, 2);
    scene.run(0, 7);
    auto generations = scene.byDepth();
    ASSERT_EQ(generations[0].size(), 1u);
    EXPECT_EQ(generations[0][0]->lifeEnd, 0.0f) << "depth 0 is never delayed";
    ASSERT_EQ(generations[1].size(), 2u);
    for (const QX_BT_Body* child : generations[1])
        EXPECT_EQ(child->lifeEnd, 2.0f) << "children live two safe frames first";
    ASSERT_EQ(generations[2].size(), 4u);
    bool anySplittable = false;
    for (const QX_BT_Body* grandchild : generations[2]) {
        EXPECT_EQ(grandchild->demolishedAs, -1) << "depth 2 exceeds the limit of 1";
        anySplittable = anySplittable || grandchild->compoundShape()->getNumChildShapes() > 1;
    }
    EXPECT_TRUE(anySplittable);
    EXPECT_EQ(generations.size(), 3u);

    // One more level allowed: the grandchildren break once their own safe frames are over.
    DepthScene deeper(2, 2);
    deeper.run(0, 7);
    auto deeperGenerations = deeper.byDepth();
    for (const QX_BT_Body* grandchild : deeperGenerations[2]) {
        if (grandchild->compoundShape()->getNumChildShapes() > 1) {
            EXPECT_EQ(grandchild->lifeEnd, 4.0f);
        }
    }

    // Without safe frames every generation breaks in the frame it was born: frame 0 runs three
    // times and nothing of depth 1 is left alive after it.
    DepthScene immediate(1, 0);
    immediate.run(0, 1);
    auto immediateGenerations = immediate.byDepth();
    ASSERT_EQ(immediateGenerations[2].size(), 4u);
    for (const QX_BT_Body* child : immediateGenerations[1])
        EXPECT_EQ(child->lifeEnd, 0.0f);
    for (const QX_BT_Body* grandchild : immediateGenerations[2]) {
        EXPECT_EQ(grandchild->lifeStart, 0.0f);
        EXPECT_TRUE(grandchild->track.contains(1.0f));
    }
}

TEST(QX_BT_Demolition_Wall, SingleBrickBodiesBreakOnlyIntoFragments) {
    WallScene scene(kOneGroupPerElement);
    QX_BT_MeshController& c = scene.core();
    c.floatSettings.set(ObjectKey::Solidity, 0.0f);
    c.intSettings.set(ObjectKey::PrimaryToElements, 1);
    c.intSettings.set(ObjectKey::PrimaryToClusters, 1);
    scene.objects = {scene.wall->core.get()};
    scene.run(0, 2);
    EXPECT_TRUE(Demolished(c).empty()) << "one child cannot be split into clusters or elements";
    EXPECT_EQ(scene.fragmenter.calls, 0);

    WallScene shattered(kOneGroupPerElement);
    QX_BT_MeshController& s = shattered.core();
    s.floatSettings.set(ObjectKey::Solidity, 0.0f);
    s.intSettings.set(ObjectKey::PrimaryToElements, 1);
    s.intSettings.set(ObjectKey::PrimaryToFragments, 1);
    s.intSettings.set(ObjectKey::NumFragments, 2);
    s.intSettings.set(ObjectKey::FragmentsVariation, 0);
    s.intSettings.set(ObjectKey::FragmentsMaterialID, 7);
    shattered.objects = {shattered.wall->core.get()};
    shattered.run(0, 2);
    const std::vector<QX_BT_Body*> parents = Demolished(s);
    ASSERT_EQ(parents.size(), 20u);
    EXPECT_EQ(shattered.fragmenter.lastCount, 2);
    const size_t originalFaces = 20u * 12u;
    EXPECT_GT(s.simulationMesh.faceCount(), originalFaces);
    for (const QX_BT_Body* parent : parents) {
        EXPECT_EQ(parent->afterMode, 1);
        EXPECT_EQ(parent->demolishedAs, 1);
        const std::vector<QX_BT_Body*> halves = ChildrenOf(s, parent);
        ASSERT_EQ(halves.size(), 2u);
        float volume = 0.0f;
        for (const QX_BT_Body* half : halves) {
            float capArea = 0.0f;
            EXPECT_EQ(half->childFlag, 1);
            EXPECT_EQ(half->beforeMode, 1);
            EXPECT_EQ(half->depth, 1);
            volume += half->compoundShape()->volume;
            const QX_BT_Mesh_Channel& g = s.simulationMesh.geometry;
            for (int32_t face : CollectBodyFaces(*half)) {
                EXPECT_GE(face, int32_t(originalFaces)) << "fragments are new faces";
                if (s.simulationMesh.faceInfos.at(size_t(face)).materialID != 7)
                    continue;
                const glm::vec3 a = g.vertex(g.faces[3 * size_t(face)]);
                const glm::vec3 b = g.vertex(g.faces[3 * size_t(face) + 1]);
                const glm::vec3 c = g.vertex(g.faces[3 * size_t(face) + 2]);
                capArea += 0.5f * glm::length(glm::cross(b - a, c - a));
            }
            EXPECT_NEAR(capArea, 1.0f, 1e-4f) << "the cut face of a unit brick";
            ExpectChildStartsFromParent(*half, *parent, 0.0f);
        }
        EXPECT_NEAR(volume, parent->compoundShape()->volume, 1e-4f);
    }
    // The mesh history at frame 1 holds the grown mesh, frame 0 before stepping the original.
    EXPECT_EQ(s.meshHistory.at(1.0f).cornerCount, s.simulationMesh.geometry.faces.size());
}

TEST(QX_BT_Demolition, FragmentsAreCutInTheBodysOrientationAndPutBack) {
    // A 2 x 1 x 1 bar whose node is turned a quarter about z: in the world its long side runs
    // along y, so the cut the fragmenter makes across its longest axis splits object-space x.
    TestObject bar(MakeBox(glm::vec3(3, 0, 1), glm::vec3(1.0f, 0.5f, 0.5f)));
    const glm::mat4 turn(glm::vec4(0, 1, 0, 0), glm::vec4(-1, 0, 0, 0), glm::vec4(0, 0, 1, 0),
                         glm::vec4(0, 0, 0, 1));
    bar.node->keys.clear();
    bar.node->setKey(0.0f, turn);
    Fixtures::PlaneFragmenter fragmenter;
    QX_BT_MeshController& core = *bar.core;
    core.fragmentOperation = Fixtures::FragmentOperation(fragmenter);
    core.prepare(0.0f, 1.0f);
    core.collectActiveBodies(0.0f);
    QX_BT_Body& body = *core.bodies.at(0);
    body.impactPoint = glm::vec3(0, 3.5f, 1); // half-way along the bar's +x half, in the world
    ASSERT_TRUE(core.demolishBody(DemolitionKind::Fragments, body, 0.0f, false, 1.0f, 2, 0, false));

    // The piece reached the fragmenter about the body's origin, long along y.
    glm::vec3 lo(1e9f), hi(-1e9f);
    for (size_t v = 0; v < fragmenter.lastPiece.geometry.vertexCount(); ++v) {
        lo = glm::min(lo, fragmenter.lastPiece.geometry.vertex(int32_t(v)));
        hi = glm::max(hi, fragmenter.lastPiece.geometry.vertex(int32_t(v)));
    }
    EXPECT_NEAR(hi.y - lo.y, 2.0f, 1e-5f);
    EXPECT_NEAR(hi.x - lo.x, 1.0f, 1e-5f);
    EXPECT_NEAR(lo.y + hi.y, 0.0f, 1e-5f);
    EXPECT_NEAR(fragmenter.lastImpact.y, 0.5f, 1e-5f);

    // Back in object space the halves split x at the impact: [2, 3.5] and [3.5, 4].
    const std::vector<QX_BT_Body*> halves = ChildrenOf(core, &body);
    ASSERT_EQ(halves.size(), 2u);
    std::vector<std::pair<float, float>> spans;
    for (const QX_BT_Body* half : halves) {
        glm::vec3 low(1e9f), high(-1e9f);
        for (int32_t v : VerticesOf(*half)) {
            low = glm::min(low, core.simulationMesh.geometry.vertex(v));
            high = glm::max(high, core.simulationMesh.geometry.vertex(v));
        }
        EXPECT_NEAR(low.y, -0.5f, 1e-5f);
        EXPECT_NEAR(high.y, 0.5f, 1e-5f);
        spans.emplace_back(low.x, high.x);
        // Each half sits where that part of the bar was: turned with the node.
        const glm::vec3 centre = half->compoundShape()->centre;
        const btVector3 origin = half->getWorldTransform().getOrigin();
        EXPECT_NEAR(origin.x(), -centre.y, 1e-4f);
        EXPECT_NEAR(origin.y(), centre.x, 1e-4f);
    }
    std::sort(spans.begin(), spans.end());
    EXPECT_NEAR(spans[0].first, 2.0f, 1e-5f);
    EXPECT_NEAR(spans[0].second, 3.5f, 1e-5f);
    EXPECT_NEAR(spans[1].first, 3.5f, 1e-5f);
    EXPECT_NEAR(spans[1].second, 4.0f, 1e-5f);
}

TEST(QX_BT_Demolition, AFragmentOperationThatFailsOrIsMissingLeavesTheBodySimulating) {
    for (bool installed : {false, true}) {
        QX_BT_World world;
        Fixtures::ConfigureWorld(world, 5, kGravity, true);
        TestObject brick(MakeBox(glm::vec3(0, 0, 2), glm::vec3(0.5f)));
        Fixtures::PlaneFragmenter fragmenter;
        fragmenter.fail = true;
        QX_BT_MeshController& core = *brick.core;
        if (installed)
            core.fragmentOperation = Fixtures::FragmentOperation(fragmenter);
        core.floatSettings.set(ObjectKey::Solidity, 0.0f);
        core.intSettings.set(ObjectKey::PrimaryToFragments, 1);
        Fixtures::Simulate(world, {&core}, 3);
        EXPECT_EQ(fragmenter.calls, installed ? 3 : 0);
        ASSERT_EQ(core.bodies.size(), 1u);
        EXPECT_EQ(core.bodies[0]->demolishedAs, -1);
        EXPECT_EQ(core.bodies[0]->track.size(), 4u);
        EXPECT_EQ(core.simulationMesh.faceCount(), 12u);
    }
}

// One prepared object of two bricks side by side grouped into one body, ready for a direct
// demolition test at frame 0 with scale 1.
struct Candidate {
    explicit Candidate(int32_t groupCount = 1) {
        QX_BT_Mesh_Data mesh = MakeBox(glm::vec3(-0.5f, 0, 3), glm::vec3(0.5f));
        Fixtures::AppendElement(mesh, MakeBox(glm::vec3(0.5f, 0, 3), glm::vec3(0.5f)));
        object = std::make_unique<TestObject>(mesh);
        QX_BT_MeshController& c = core();
        c.intSettings.set(ObjectKey::GroupCount, groupCount);
        c.intSettings.set(ObjectKey::PrimaryToElements, 1);
        c.intSettings.set(ObjectKey::SecondaryToElements, 1);
        c.floatSettings.set(ObjectKey::Solidity, 10.0f);
        c.fragmentOperation = Fixtures::FragmentOperation(fragmenter);
        c.prepare(0.0f, 1.0f);
        c.collectActiveBodies(0.0f);
        body().variationFactor = 0.5f;
        body().impulseSum = 10.0f * volume();
    }
    QX_BT_MeshController& core() { return *object->core; }
    QX_BT_Body& body() { return *core().bodies.at(0); }
    float volume() { return body().compoundShape()->volume; }
    bool demolish() { return core().testDemolition(body(), 0.0f, false, 1.0f); }

    std::unique_ptr<TestObject> object;
    Fixtures::PlaneFragmenter fragmenter;
};

TEST(QX_BT_Demolition_Gates, ProbabilityAndStrength) {
    {
        Candidate c;
        ASSERT_EQ(c.volume(), 2.0f);
        EXPECT_TRUE(c.demolish()) << "a body exactly at the strength threshold breaks";
    }
    {
        Candidate c;
        c.body().impulseSum = std::nextafter(c.body().impulseSum, 0.0f);
        EXPECT_FALSE(c.demolish());
    }
    struct Case {
        int32_t probability;
        float factor;
        bool breaks;
    };
    for (const Case& k : {Case{100, 0.0f, true}, Case{0, 0.99f, false}, Case{0, 1.0f, true},
                          Case{50, 0.49f, false}, Case{50, 0.5f, true}}) {
        Candidate c;
        c.core().intSettings.set(ObjectKey::Probability, k.probability);
        c.body().variationFactor = k.factor;
        EXPECT_EQ(c.demolish(), k.breaks) << k.probability << " / " << k.factor;
    }
    {
        Candidate c; // a zero scale gives no measurable strength and must not break anything
        c.core().floatSettings.set(ObjectKey::Solidity, 0.0f);
        c.body().impulseSum = 0.0f;
        EXPECT_FALSE(c.core().testDemolition(c.body(), 0.0f, false, 0.0f));
    }
}

TEST(QX_BT_Demolition_Gates, DepthSafeFramesAndLimits) {
    auto breaks = [](auto&& setUp) {
        Candidate c;
        setUp(c);
        return c.demolish();
    };
    const int32_t depthLimit = 1;
    auto withDepth = [&](int32_t depth, int32_t age, int32_t safeFrames) {
        return breaks([=](Candidate& c) {
            c.core().intSettings.set(ObjectKey::ClusterizationDepth, depthLimit);
            c.core().intSettings.set(ObjectKey::SafeFrames, safeFrames);
            c.body().depth = depth;
            c.body().age = age;
        });
    };
    EXPECT_TRUE(withDepth(1, 5, 2));
    EXPECT_FALSE(withDepth(2, 5, 2)) << "depth above the limit";
    EXPECT_FALSE(withDepth(1, 1, 2)) << "still within its safe frames";
    EXPECT_TRUE(withDepth(1, 2, 2));
    EXPECT_TRUE(withDepth(0, 0, 2)) << "bodies of depth 0 are not delayed";

    auto withAmountLimit = [&](int32_t limit) {
        return breaks(
            [=](Candidate& c) { c.core().intSettings.set(ObjectKey::AmountLimit, limit); });
    };
    EXPECT_FALSE(withAmountLimit(0)) << "the tested body itself counts as alive";
    EXPECT_TRUE(withAmountLimit(1));

    // The body's box is 2 x 1 x 1: a diagonal of sqrt(6) = 2.449.
    auto withSizeLimit = [&](float limit) {
        return breaks(
            [=](Candidate& c) { c.core().floatSettings.set(ObjectKey::SizeLimit, limit); });
    };
    EXPECT_FALSE(withSizeLimit(2.5f));
    EXPECT_TRUE(withSizeLimit(2.4f));

    // It travelled 0.5 during the frame.
    auto withSpeedLimit = [&](float limit) {
        return breaks([=](Candidate& c) {
            c.core().floatSettings.set(ObjectKey::SpeedLimit, limit);
            c.body().frameStartPosition -= glm::vec3(0.5f, 0, 0);
        });
    };
    EXPECT_FALSE(withSpeedLimit(0.6f));
    EXPECT_TRUE(withSpeedLimit(0.4f));
}

TEST(QX_BT_Demolition_Gates, DemolishToCapture) {
    {
        Candidate c;
        c.core().intSettings.set(ObjectKey::DemolishToCapture, 1);
        c.core().captureMesh(true);
        ASSERT_TRUE(c.demolish());
        EXPECT_EQ(c.body().afterMode, 1) << "the captured mesh replaces the body's faces";
        EXPECT_EQ(c.body().demolishedAs, 0);
        const std::vector<QX_BT_Body*> pieces = ChildrenOf(c.core(), &c.body());
        ASSERT_EQ(pieces.size(), 2u);
        for (QX_BT_Body* piece : pieces) {
            EXPECT_EQ(piece->childFlag, 1);
            EXPECT_EQ(piece->beforeMode, 1);
            // Captured bodies never break again, whatever the secondary switches say.
            piece->impulseSum = 1e9f;
            piece->age = 100;
            EXPECT_FALSE(c.core().testDemolition(*piece, 0.0f, false, 1.0f));
        }
        EXPECT_EQ(c.core().simulationMesh.faceCount(), 48u);
    }
    {
        Candidate c; // nothing captured: the next switch, To Elements, takes over
        c.core().intSettings.set(ObjectKey::DemolishToCapture, 1);
        ASSERT_TRUE(c.demolish());
        EXPECT_EQ(c.body().afterMode, 2);
        EXPECT_EQ(c.core().simulationMesh.faceCount(), 24u);
    }
}

TEST(QX_BT_Demolition, CapturedMeshTakesTheNodesScale) {
    QX_BT_Mesh_Data mesh = MakeBox(glm::vec3(0, 0, 3), glm::vec3(0.5f));
    TestObject object(mesh);
    object.node->keys.clear();
    object.node->setKey(0.0f, glm::mat4(glm::vec4(2, 0, 0, 0), glm::vec4(0, 2, 0, 0),
                                        glm::vec4(0, 0, 2, 0), glm::vec4(0, 0, 0, 1)));
    QX_BT_MeshController& core = *object.core;
    core.captureMesh(true);
    core.prepare(0.0f, 1.0f);
    core.collectActiveBodies(0.0f);
    QX_BT_Body& body = *core.bodies.at(0);
    ASSERT_NEAR(body.compoundShape()->volume, 8.0f, 1e-4f);
    ASSERT_TRUE(core.demolishBody(DemolitionKind::Captured, body, 0.0f, false, 1.0f, 0, 0, false));
    const std::vector<QX_BT_Body*> pieces = ChildrenOf(core, &body);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_NEAR(pieces[0]->compoundShape()->volume, 8.0f, 1e-4f);
    EXPECT_EQ(pieces[0]->compoundShape()->centre, body.compoundShape()->centre);
}

TEST(QX_BT_Demolition_Fragments, CountFollowsVariationAndDepthFade) {
    auto countAtDepth = [](int32_t depth) {
        Candidate c(kOneGroupPerElement);
        QX_BT_MeshController& core = c.core();
        core.intSettings.set(ObjectKey::PrimaryToElements, 0);
        core.intSettings.set(ObjectKey::SecondaryToElements, 0);
        core.intSettings.set(ObjectKey::PrimaryToFragments, 1);
        core.intSettings.set(ObjectKey::SecondaryToFragments, 1);
        core.intSettings.set(ObjectKey::ClusterizationDepth, 5);
        core.intSettings.set(ObjectKey::FragmentsVariation, 0);
        core.intSettings.set(ObjectKey::NumFragments, 8);
        core.floatSettings.set(ObjectKey::DepthFade, 0.5f);
        c.body().impulseSum = 1e6f;
        c.body().depth = depth;
        c.body().age = 10;
        const bool broke = c.demolish();
        return broke ? c.fragmenter.lastCount : 0;
    };
    EXPECT_EQ(countAtDepth(0), 8) << "no fade at depth 0";
    EXPECT_EQ(countAtDepth(1), 4);
    EXPECT_EQ(countAtDepth(2), 2);
    EXPECT_EQ(countAtDepth(3), 0) << "one fragment is no demolition";

    // Variation stretches the count per body: 30% at factor 0.5 gives 8 x 1.15 = 9.2.
    Candidate c(kOneGroupPerElement);
    c.core().intSettings.set(ObjectKey::PrimaryToElements, 0);
    c.core().intSettings.set(ObjectKey::PrimaryToFragments, 1);
    c.core().intSettings.set(ObjectKey::NumFragments, 8);
    c.core().intSettings.set(ObjectKey::FragmentsVariation, 30);
    ASSERT_TRUE(c.demolish());
    EXPECT_EQ(c.fragmenter.lastCount, 9);
}

TEST(QX_BT_Demolition_Fragments, HugeCountsAreBoundedByTheBody) {
    EXPECT_EQ(FragmentCountLimit(999999, 1.0f, 12, 999999), kMaxFragmentsPerDemolition);
    EXPECT_EQ(FragmentCountLimit(999999, 1.0f, 100000, 999999), 40) << "4e6 faces of output";
    EXPECT_EQ(FragmentCountLimit(999999, 5e-4f, 12, 999999), 5) << "pieces of 1e-4 at least";
    EXPECT_EQ(FragmentCountLimit(999999, 1.0f, 12, 3), 3) << "room for 3 more bodies";
    EXPECT_EQ(FragmentCountLimit(8, 1.0f, 12, 999999), 8);
    EXPECT_EQ(FragmentCountLimit(-5, 1.0f, 12, 999999), 0);
    EXPECT_EQ(FragmentCountLimit(8, -1.0f, 12, 999999), 0);

    Candidate c(kOneGroupPerElement);
    c.core().intSettings.set(ObjectKey::PrimaryToElements, 0);
    c.core().intSettings.set(ObjectKey::PrimaryToFragments, 1);
    c.core().intSettings.set(ObjectKey::NumFragments, 999999);
    c.core().intSettings.set(ObjectKey::AmountLimit, 999999);
    ASSERT_TRUE(c.demolish());
    EXPECT_EQ(c.fragmenter.lastCount, kMaxFragmentsPerDemolition);

    // A chain that lets every fragment break again at once ends when the pieces are too small
    // to be cut into two that still have a buildable volume.
    QX_BT_World world;
    Fixtures::ConfigureWorld(world, 2, kGravity, true);
    TestObject pebble(MakeBox(glm::vec3(0, 0, 0.05f), glm::vec3(0.05f)));
    Fixtures::PlaneFragmenter fragmenter;
    QX_BT_MeshController& core = *pebble.core;
    core.fragmentOperation = Fixtures::FragmentOperation(fragmenter);
    core.floatSettings.set(ObjectKey::Solidity, 0.0f);
    core.intSettings.set(ObjectKey::PrimaryToFragments, 1);
    core.intSettings.set(ObjectKey::SecondaryToFragments, 1);
    core.intSettings.set(ObjectKey::NumFragments, 999999);
    core.intSettings.set(ObjectKey::AmountLimit, 999999);
    core.intSettings.set(ObjectKey::ClusterizationDepth, 999999);
    core.intSettings.set(ObjectKey::SafeFrames, 0);
    Fixtures::Simulate(world, {&core}, 2);
    float volume = 0.0f;
    int alive = 0;
    for (const auto& body : core.bodies) {
        if (!IsAlive(*body, 2.0f))
            continue;
        ++alive;
        volume += body->compoundShape()->volume;
        EXPECT_LT(body->compoundShape()->volume, 2e-4f);
    }
    EXPECT_GT(alive, 1);
    EXPECT_LE(alive, 10);
    EXPECT_NEAR(volume, 1e-3f, 1e-6f);
}

// Everything a run records, to compare runs bit for bit.
struct Recording {
    std::vector<QX_BT_Body_Track> tracks;
    std::vector<std::array<float, 2>> lives;
    size_t faces = 0;
    bool operator==(const Recording&) const = default;
};

Recording Record(const std::vector<QX_BT_MeshController*>& objects) {
    Recording r;
    for (const QX_BT_MeshController* core : objects) {
        for (const auto& body : core->bodies) {
            r.tracks.push_back(body->track);
            r.lives.push_back({body->lifeStart, body->lifeEnd});
        }
        r.faces += core->simulationMesh.faceCount();
    }
    return r;
}

// Where a live body's recorded motion puts a simulation-mesh vertex at frame f.
glm::vec3 Played(const QX_BT_Body& body, const QX_BT_MeshController& core, int32_t vertex,
                 float f) {
    const glm::mat4 c = Translate(body.compoundShape()->centre);
    const glm::mat4 m = c * SampleTrack(body.track, f).transform * glm::inverse(c);
    return glm::vec3(m * glm::vec4(core.simulationMesh.geometry.vertex(vertex), 1.0f));
}

TEST(QX_BT_Demolition_Wall, FragmentedWallPlaysBackAndRewindsToTheSameRun) {
    WallScene scene(kOneGroupPerElement);
    QX_BT_MeshController& core = scene.core();
    core.intSettings.set(ObjectKey::PrimaryToFragments, 1);
    core.intSettings.set(ObjectKey::NumFragments, 2);
    core.intSettings.set(ObjectKey::FragmentsVariation, 0);
    scene.run(0, 6);
    const std::vector<QX_BT_Body*> parents = Demolished(core);
    ASSERT_FALSE(parents.empty());
    const float hit = parents[0]->lifeEnd;
    ASSERT_EQ(hit, 1.0f);
    const size_t originalFaces = 20u * 12u;
    ASSERT_GT(core.simulationMesh.faceCount(), originalFaces);

    // Playback: before the hit the fragments are collapsed and the brick is whole; afterwards
    // the brick's faces are gone to a point and the fragments move.
    const QX_BT_Body& brick = *parents[0];
    const std::vector<QX_BT_Body*> halves = ChildrenOf(core, &brick);
    ASSERT_EQ(halves.size(), 2u);
    core.evaluateOutput(0.0f);
    for (int32_t v : VerticesOf(brick))
        EXPECT_EQ(core.outputMesh.geometry.vertex(v), core.simulationMesh.geometry.vertex(v));
    for (const QX_BT_Body* half : halves) {
        const QX_BT_Index_Set vertices = VerticesOf(*half);
        const glm::vec3 first = core.outputMesh.geometry.vertex(*vertices.begin());
        for (int32_t v : vertices)
            EXPECT_EQ(core.outputMesh.geometry.vertex(v), first) << "collapsed before birth";
    }
    core.evaluateOutput(5.0f);
    {
        const QX_BT_Index_Set vertices = VerticesOf(brick);
        const glm::vec3 first = core.outputMesh.geometry.vertex(*vertices.begin());
        for (int32_t v : vertices)
            EXPECT_EQ(core.outputMesh.geometry.vertex(v), first) << "collapsed after its end";
    }
    for (const QX_BT_Body* half : halves) {
        for (int32_t v : VerticesOf(*half)) {
            const glm::vec3 expected = Played(*half, core, v, 5.0f);
            const glm::vec3 out = core.outputMesh.geometry.vertex(v);
            EXPECT_NEAR(glm::length(out - expected), 0.0f, 1e-4f);
        }
    }

    // Rewind to before the hit: the fragments go with their faces, the bricks live on.
    const Recording first = Record(scene.objects);
    for (QX_BT_MeshController* object : scene.objects)
        object->rewindTo(0.0f, false);
    EXPECT_EQ(core.bodies.size(), 20u);
    EXPECT_EQ(core.simulationMesh.faceCount(), originalFaces);
    for (const auto& body : core.bodies) {
        EXPECT_EQ(body->lifeEnd, kLifeUnbounded);
        EXPECT_EQ(body->afterMode, 0);
        EXPECT_EQ(body->demolishedAs, -1);
        EXPECT_EQ(body->track.size(), 1u);
    }
    scene.run(0, 6);
    EXPECT_TRUE(Record(scene.objects) == first) << "the second run differs from the first";
}

TEST(QX_BT_Demolition_Wall, ElementSplitMovesTheOldFacesThroughTheNewBodies) {
    WallScene scene(5);
    QX_BT_MeshController& core = scene.core();
    core.intSettings.set(ObjectKey::PrimaryToElements, 1);
    scene.run(0, 5);
    const std::vector<QX_BT_Body*> parents = Demolished(core);
    ASSERT_FALSE(parents.empty());
    core.evaluateOutput(4.0f);
    for (const QX_BT_Body* parent : parents) {
        for (const QX_BT_Body* child : ChildrenOf(core, parent)) {
            for (int32_t v : VerticesOf(*child)) {
                const glm::vec3 expected = Played(*child, core, v, 4.0f);
                const glm::vec3 out = core.outputMesh.geometry.vertex(v);
                EXPECT_NEAR(glm::length(out - expected), 0.0f, 1e-4f);
            }
        }
    }
    // Before the hit the parents carry their bricks as recorded.
    core.evaluateOutput(0.0f);
    for (const QX_BT_Body* parent : parents) {
        for (int32_t v : VerticesOf(*parent)) {
            const glm::vec3 out = core.outputMesh.geometry.vertex(v);
            EXPECT_NEAR(glm::length(out - Played(*parent, core, v, 0.0f)), 0.0f, 1e-4f);
        }
    }
}

} // namespace
} // namespace Quarix
