// Stacking and contact quality in the host's units: a brick wall, a column of cubes, a pyramid, a
// rolling ball, a heavy ball resting on a brick and a wall hit by a ball, each simulated in a
// centimetre scene and in a metre scene with the defaults of a new world and a new rigid
// modifier, with sleeping on and off. Every figure is reported in centimetres so that the two
// units can be compared directly.

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/benchmarks.h"
#include "core/QX_BT_Body.h"
#include "core/QX_BT_World.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "tests/fixtures/QX_Test_Units.h"

#ifdef QX_BENCH_GLTF
#include "app/QX_Gltf_Export.h"
#endif

namespace Quarix::Bench {

namespace {

using Fixtures::HostUnits;

// Scene dimensions in centimetres.
constexpr glm::vec3 kBrickHalf{10.0f, 5.0f, 5.0f}; // 20 x 10 x 10 cm
constexpr float kJoint = 0.2f;                     // gap between neighbouring bricks of a course
constexpr float kBrickPitch = 2.0f * kBrickHalf.x + kJoint;
constexpr float kCubeHalf = 5.0f;
constexpr float kBallRadius = 10.0f;
constexpr float kRollSpeed = 200.0f;  // cm/s
constexpr float kThrowSpeed = 300.0f; // cm/s
constexpr float kHeavyMassRatio = 20.0f;
constexpr float kDefaultDensity = 4.0f;

constexpr int kWallFrames = 1000;
constexpr int kColumnFrames = 500;
constexpr int kBallFrames = 600;
constexpr int kPyramidFrames = 500;
constexpr int kHeavyFrames = 300;
constexpr int kImpactFrames = 300;
/// A ball counts as stopped below this speed (cm/s).
constexpr float kStoppedSpeed = 0.5f;
/// Lengths closer than this (cm) agree whatever their ratio.
constexpr double kAgreementFloorCm = 0.1;

/// A world API handing one blast velocity (scene units per second) to the bodies near a point at
/// simulation frame 0, nothing to the others.
class ThrowApi : public QX_BT_World_API_Interface {
public:
    void ComputeForces(float frame, const glm::vec3& position, int& forceIndex, glm::vec3&,
                       glm::vec3& blast, glm::vec3&) override {
        if (frame == 0.0f && glm::length(position - origin) < radius) {
            blast += velocity;
            ++forceIndex;
        }
    }
    std::vector<QX_BT_Box> GetSupportBoxes(float) override { return {}; }

    glm::vec3 origin{0.0f};
    float radius = 0.0f;
    glm::vec3 velocity{0.0f};
};

/// One scene: its world, its objects (all in scene units) and an optional thrower.
struct Scene {
    explicit Scene(const HostUnits& u, bool sleeping) : units(u), sleeping(sleeping) {
        // Every scene draws the same variation factors, as in a freshly loaded plug-in, so that
        // the two units simulate the same bodies.
        BodyCounter() = 0;
        Fixtures::ConfigureHostWorld(world, units);
        scale = world.floatSettings.get(WorldKey::ScaleFactor);
    }

    /// Adds an object made of boxes given in centimetres (centre, half extent), with the new
    /// modifier's defaults and `density` per cubic scene unit.
    Fixtures::TestObject& add(const QX_BT_Mesh_Data& mesh, float density = kDefaultDensity) {
        objects.push_back(std::make_unique<Fixtures::TestObject>(mesh));
        QX_BT_MeshController& core = *objects.back()->core;
        core.floatSettings.set(ObjectKey::Density, density);
        if (!sleeping) {
            // Thresholds of zero: no body ever counts as slow enough to sleep.
            core.floatSettings.set(ObjectKey::SleepingLinear, 0.0f);
            core.floatSettings.set(ObjectKey::SleepingAngular, 0.0f);
        }
        return *objects.back();
    }
    QX_BT_Mesh_Data box(const glm::vec3& centreCm, const glm::vec3& halfCm) const {
        return Fixtures::MakeBox(centreCm / float(units.centimetresPerUnit),
                                 halfCm / float(units.centimetresPerUnit));
    }
    QX_BT_Mesh_Data ball(const glm::vec3& centreCm, float radiusCm) const {
        return Fixtures::MakeSphere(centreCm / float(units.centimetresPerUnit),
                                    units.fromCm(radiusCm), 32, 16);
    }
    /// Throws the bodies within `radiusCm` of `originCm` at `velocityCm` (cm/s) at frame 0.
    void throwAt(const glm::vec3& originCm, float radiusCm, const glm::vec3& velocityCm) {
        thrower = std::make_unique<ThrowApi>();
        thrower->origin = originCm / float(units.centimetresPerUnit);
        thrower->radius = units.fromCm(radiusCm);
        thrower->velocity = velocityCm / float(units.centimetresPerUnit);
        world.api = thrower.get();
    }
    void simulate(int frames) {
        std::vector<QX_BT_MeshController*> cores;
        for (const auto& o : objects)
            cores.push_back(o->core.get());
        Fixtures::Simulate(world, cores, frames);
        simulated = frames;
    }
    /// Centimetres for a length (or speed) in simulation units: recorded tracks are in the
    /// world's scaled space.
    float simToCm(float length) const { return units.toCm(length / scale); }
    /// How far a body moved from its start by `frame` (cm).
    float driftCm(const QX_BT_Body& body, int frame) const {
        return simToCm(glm::length(glm::vec3(SampleTrack(body.track, float(frame)).transform[3])));
    }

    HostUnits units;
    bool sleeping;
    QX_BT_World world;
    float scale = 1.0f;
    std::vector<std::unique_ptr<Fixtures::TestObject>> objects;
    std::unique_ptr<ThrowApi> thrower;
    int simulated = 0;
};

QX_BT_Mesh_Data Bricks(const Scene& scene, const std::vector<glm::vec3>& centresCm) {
    QX_BT_Mesh_Data mesh;
    for (const glm::vec3& c : centresCm)
        Fixtures::AppendElement(mesh, scene.box(c, kBrickHalf));
    return mesh;
}

// Running bond: courses alternate between `wide` bricks and one brick less shifted by half a
// brick, so that every brick rests on two below (a pyramid shortens every course by one).
std::vector<glm::vec3> RunningBond(int courses, int wide, bool pyramid) {
    std::vector<glm::vec3> centres;
    for (int row = 0; row < courses; ++row) {
        const int count = pyramid ? wide - row : wide - row % 2;
        for (int c = 0; c < count; ++c)
            centres.push_back(glm::vec3((float(c) - 0.5f * float(count - 1)) * kBrickPitch, 0.0f,
                                        kBrickHalf.z * (2.0f * float(row) + 1.0f)));
    }
    return centres;
}

struct Drift {
    double maxCm = 0.0;
    double medianCm = 0.0;
};

Drift Drifts(const Scene& scene, const QX_BT_MeshController& core, int frame) {
    std::vector<double> d;
    for (const auto& body : core.bodies)
        d.push_back(scene.driftCm(*body, frame));
    std::sort(d.begin(), d.end());
    return {d.back(), d[d.size() / 2]};
}

#ifdef QX_BENCH_GLTF
void WriteGlb(Scene& scene, const std::string& name) {
    const char* dir = std::getenv("QX_STACKING_GLB");
    if (dir == nullptr || !scene.sleeping)
        return;
    std::vector<App::GltfObject> objects;
    const glm::vec3 colours[] = {{0.75f, 0.35f, 0.25f}, {0.3f, 0.4f, 0.8f}};
    for (size_t i = 0; i < scene.objects.size(); ++i)
        objects.push_back({scene.objects[i]->core.get(), name + std::to_string(i), colours[i % 2]});
    App::GltfOptions options;
    options.frames = scene.simulated;
    options.scale = scene.world.floatSettings.get(WorldKey::ScaleFactor);
    std::string error;
    const std::string unit = scene.units.centimetresPerUnit == 1.0 ? "cm" : "m";
    App::ExportGltf(objects, options, std::string(dir) + "/" + name + "_" + unit + ".glb", error);
}
#else
void WriteGlb(Scene&, const std::string&) {}
#endif

/// The figures of one unit and sleeping mode, all in centimetres or frames.
struct Figures {
    Drift wall;
    double columnTopCm = 0.0;
    double pyramidMaxCm = 0.0;
    long long ballStopFrame = -1;
    double ballDistanceCm = 0.0;
    double penetrationMaxCm = 0.0;
    double restingEnergyGrowth = 0.0;
};

Drift WallScene(const HostUnits& units, bool sleeping) {
    Scene scene(units, sleeping);
    Fixtures::TestObject& wall = scene.add(Bricks(scene, RunningBond(10, 10, false)));
    scene.simulate(kWallFrames);
    WriteGlb(scene, "wall");
    return Drifts(scene, *wall.core, kWallFrames);
}

double ColumnScene(const HostUnits& units, bool sleeping) {
    Scene scene(units, sleeping);
    QX_BT_Mesh_Data column;
    for (int i = 0; i < 10; ++i)
        Fixtures::AppendElement(column, scene.box(glm::vec3(0, 0, kCubeHalf * (2.0f * i + 1.0f)),
                                                  glm::vec3(kCubeHalf)));
    Fixtures::TestObject& object = scene.add(column);
    scene.simulate(kColumnFrames);
    WriteGlb(scene, "column");
    return scene.driftCm(*object.core->bodies.back(), kColumnFrames);
}

double PyramidScene(const HostUnits& units, bool sleeping) {
    Scene scene(units, sleeping);
    Fixtures::TestObject& pyramid = scene.add(Bricks(scene, RunningBond(5, 8, true)));
    scene.simulate(kPyramidFrames);
    WriteGlb(scene, "pyramid");
    return Drifts(scene, *pyramid.core, kPyramidFrames).maxCm;
}

// A ball rolled along +x on the ground: the first frame from which it stays slower than
// kStoppedSpeed, and how far it went.
void BallScene(const HostUnits& units, bool sleeping, Figures& out) {
    Scene scene(units, sleeping);
    const glm::vec3 centre(0, 0, kBallRadius);
    Fixtures::TestObject& ball = scene.add(scene.ball(centre, kBallRadius));
    scene.throwAt(centre, kBallRadius, glm::vec3(kRollSpeed, 0, 0));
    scene.simulate(kBallFrames);
    WriteGlb(scene, "ball");
    const QX_BT_Body& body = *ball.core->bodies.at(0);
    out.ballStopFrame = -1;
    for (int f = kBallFrames; f >= 1; --f) {
        const float speed =
            scene.simToCm(glm::length(body.track.find(float(f))->second.linearVelocity));
        if (speed >= kStoppedSpeed)
            break;
        out.ballStopFrame = f;
    }
    out.ballDistanceCm = scene.driftCm(body, kBallFrames);
}

// A ball of 20 bricks' mass resting on a brick: how deep the brick is pushed into the ground at
// worst (cm).
double HeavyBallScene(const HostUnits& units, bool sleeping) {
    Scene scene(units, sleeping);
    Fixtures::TestObject& brick = scene.add(scene.box(glm::vec3(0, 0, kBrickHalf.z), kBrickHalf));
    const float brickVolume = 8.0f * kBrickHalf.x * kBrickHalf.y * kBrickHalf.z;
    const float ballVolume = 4.0f / 3.0f * std::numbers::pi_v<float> * std::pow(kBallRadius, 3.0f);
    scene.add(scene.ball(glm::vec3(0, 0, 2.0f * kBrickHalf.z + kBallRadius), kBallRadius),
              kDefaultDensity * kHeavyMassRatio * brickVolume / ballVolume);
    scene.simulate(kHeavyFrames);
    WriteGlb(scene, "heavy");
    const QX_BT_Body& body = *brick.core->bodies.at(0);
    double deepest = 0.0;
    for (const auto& [frame, state] : body.track)
        deepest = std::max(deepest, double(scene.simToCm(-state.transform[3].z)));
    return deepest;
}

// The wall hit at one end by a ball of 20 bricks' mass. The bricks still within 2 cm of their
// start at the end are the resting part; their kinetic energy in the last third of the run
// against the middle third tells whether it settles (below 1) or rocks ever harder.
double ImpactScene(const HostUnits& units, bool sleeping) {
    Scene scene(units, sleeping);
    Fixtures::TestObject& wall = scene.add(Bricks(scene, RunningBond(10, 10, false)));
    const glm::vec3 start(80.0f, -40.0f, 25.0f);
    const float brickVolume = 8.0f * kBrickHalf.x * kBrickHalf.y * kBrickHalf.z;
    const float ballVolume = 4.0f / 3.0f * std::numbers::pi_v<float> * std::pow(kBallRadius, 3.0f);
    scene.add(scene.ball(start, kBallRadius),
              kDefaultDensity * kHeavyMassRatio * brickVolume / ballVolume);
    scene.throwAt(start, kBallRadius, glm::vec3(0, kThrowSpeed, 0));
    scene.simulate(kImpactFrames);
    WriteGlb(scene, "impact");
    auto energy = [&](int first, int last) {
        double sum = 0.0;
        for (const auto& body : wall.core->bodies) {
            if (scene.driftCm(*body, kImpactFrames) > 2.0f)
                continue;
            for (int f = first; f < last; ++f) {
                const QX_BT_Body_State s = body->track.find(float(f))->second;
                const float v = scene.simToCm(glm::length(s.linearVelocity));
                sum += 0.5 * double(v) * double(v); // per unit mass: every brick weighs the same
            }
        }
        return sum;
    };
    const double middle = energy(kImpactFrames / 3, 2 * kImpactFrames / 3);
    const double late = energy(2 * kImpactFrames / 3, kImpactFrames);
    return middle > 0.0 ? late / middle : 0.0;
}

// QX_STACKING_SCENES=wall,ball,... runs only the named scenes when trying out a change.
bool Wanted(const char* scene) {
    const char* only = std::getenv("QX_STACKING_SCENES");
    return only == nullptr || std::string(only).find(scene) != std::string::npos;
}

Figures Measure(const HostUnits& units, bool sleeping) {
    Figures f;
    if (Wanted("wall"))
        f.wall = WallScene(units, sleeping);
    if (Wanted("column"))
        f.columnTopCm = ColumnScene(units, sleeping);
    if (Wanted("pyramid"))
        f.pyramidMaxCm = PyramidScene(units, sleeping);
    if (Wanted("ball"))
        BallScene(units, sleeping, f);
    if (Wanted("heavy"))
        f.penetrationMaxCm = HeavyBallScene(units, sleeping);
    if (Wanted("impact"))
        f.restingEnergyGrowth = ImpactScene(units, sleeping);
    return f;
}

double Disagreement(double a, double b, double floor) {
    return std::fabs(a - b) / std::max({std::fabs(a), std::fabs(b), floor});
}

// The largest relative difference between the centimetre and the metre figures.
double UnitAgreement(const Figures& cm, const Figures& m) {
    const std::vector<std::pair<double, double>> lengths = {
        {cm.wall.maxCm, m.wall.maxCm},         {cm.wall.medianCm, m.wall.medianCm},
        {cm.columnTopCm, m.columnTopCm},       {cm.pyramidMaxCm, m.pyramidMaxCm},
        {cm.ballDistanceCm, m.ballDistanceCm}, {cm.penetrationMaxCm, m.penetrationMaxCm}};
    double worst = 0.0;
    for (const auto& [a, b] : lengths)
        worst = std::max(worst, Disagreement(a, b, kAgreementFloorCm));
    worst = std::max(worst, Disagreement(double(cm.ballStopFrame), double(m.ballStopFrame), 1.0));
    return worst;
}

JsonObject& AddFigures(JsonObject& json, const Figures& on, const Figures& off) {
    return json.add("wall_max_drift_cm", on.wall.maxCm)
        .add("wall_median_drift_cm", on.wall.medianCm)
        .add("wall_awake_max_drift_cm", off.wall.maxCm)
        .add("wall_awake_median_drift_cm", off.wall.medianCm)
        .add("column_top_drift_cm", on.columnTopCm)
        .add("column_awake_top_drift_cm", off.columnTopCm)
        .add("pyramid_max_drift_cm", on.pyramidMaxCm)
        .add("pyramid_awake_max_drift_cm", off.pyramidMaxCm)
        .add("ball_stop_frame", on.ballStopFrame)
        .add("ball_distance_cm", on.ballDistanceCm)
        .add("ball_awake_stop_frame", off.ballStopFrame)
        .add("ball_awake_distance_cm", off.ballDistanceCm)
        .add("penetration_max_cm", std::max(on.penetrationMaxCm, off.penetrationMaxCm))
        .add("resting_energy_growth", std::max(on.restingEnergyGrowth, off.restingEnergyGrowth));
}

} // namespace

std::string Stacking() {
    Stopwatch watch;
    const Figures cmOn = Measure(Fixtures::Centimetres(), true);
    const Figures cmOff = Measure(Fixtures::Centimetres(), false);
    const Figures mOn = Measure(Fixtures::Metres(), true);
    const Figures mOff = Measure(Fixtures::Metres(), false);
    const double agreement = std::max(UnitAgreement(cmOn, mOn), UnitAgreement(cmOff, mOff));
    // The top-level figures are the centimetre scene's; the metre scene's follow, in centimetres.
    JsonObject json;
    json.add("name", std::string("stacking"));
    AddFigures(json, cmOn, cmOff);
    json.add("unit_agreement", agreement);
    JsonObject metres;
    AddFigures(metres, mOn, mOff);
    return json.addRaw("metres", metres.str()).add("ms", watch.ms()).str();
}

} // namespace Quarix::Bench
