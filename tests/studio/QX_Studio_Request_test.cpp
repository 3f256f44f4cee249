// What the studio refuses before anything reaches the scene, and the placements it encodes.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/QX_Rotation.h"
#include "app/studio/QX_Studio_Request.h"
#include "app/studio/QX_Studio_Scene.h"
#include "tests/studio/QX_Studio_Test_Support.h"

namespace fs = std::filesystem;
using namespace Quarix::Studio;
using nlohmann::json;
using Quarix::Studio::Testing::StatusOf;

TEST(StudioRequest, JsonBodiesMustBeObjects) {
    EXPECT_EQ(ParseJsonObject(R"({"frame": 3})")["frame"], 3);
    EXPECT_EQ(StatusOf([] { ParseJsonObject("{\"frame\": "); }), 400);
    EXPECT_EQ(StatusOf([] { ParseJsonObject(""); }), 400);
    EXPECT_EQ(StatusOf([] { ParseJsonObject("[1, 2]"); }), 400);
    EXPECT_EQ(StatusOf([] { ParseJsonObject("null"); }), 400);
}

TEST(StudioRequest, FieldsHaveTheirTypeAndRange) {
    const json body = json::parse(R"({"i": 7, "f": 1.5, "s": "3", "b": true, "big": 1e300,
                                      "neg": -4, "huge": 123456789012})");
    EXPECT_EQ(RequireInt(body, "i", 0, 10), 7);
    EXPECT_EQ(RequireInt(body, "neg", -10, 10), -4);
    EXPECT_EQ(StatusOf([&] { RequireInt(body, "missing", 0, 10); }), 400);
    EXPECT_EQ(StatusOf([&] { RequireInt(body, "f", 0, 10); }), 400);
    EXPECT_EQ(StatusOf([&] { RequireInt(body, "s", 0, 10); }), 400);
    EXPECT_EQ(StatusOf([&] { RequireInt(body, "b", 0, 10); }), 400);
    EXPECT_EQ(StatusOf([&] { RequireInt(body, "i", 8, 10); }), 422);
    // Larger than an int: refused, not wrapped around into the range.
    EXPECT_EQ(StatusOf([&] { RequireInt(body, "huge", 0, 2147483647); }), 422);
    EXPECT_DOUBLE_EQ(RequireNumber(body, "f"), 1.5);
    EXPECT_DOUBLE_EQ(RequireNumber(body, "i"), 7.0);
    EXPECT_EQ(StatusOf([&] { RequireNumber(body, "s"); }), 400);
    EXPECT_EQ(RequireString(body, "s"), "3");
    EXPECT_EQ(StatusOf([&] { RequireString(body, "i"); }), 400);
}

TEST(StudioRequest, QueryIntegersAreStrict) {
    EXPECT_EQ(ParseIntParam("42", "n", 0, 100), 42);
    EXPECT_EQ(ParseIntParam("-3", "n", -5, 5), -3);
    EXPECT_EQ(ParseIntParam("+3", "n", -5, 5), 3);
    for (const char* bad : {"", "-", "12a", "1.0", " 1", "0x10", "1e3"})
        EXPECT_EQ(StatusOf([&] { ParseIntParam(bad, "n", -1000, 1000); }), 400) << bad;
    EXPECT_EQ(StatusOf([] { ParseIntParam("101", "n", 0, 100); }), 422);
    // Too many digits for any int: refused before converting, never an exception of stoll.
    EXPECT_EQ(StatusOf([] { ParseIntParam("99999999999999999999", "n", 0, 100); }), 400);
    EXPECT_EQ(StatusOf([] { ParseIntParam("9999999999", "n", 0, 100); }), 422);
}

TEST(StudioRequest, ModesAreTheWorldsRequests) {
    EXPECT_EQ(ModeRequest("range"), 0);
    EXPECT_EQ(ModeRequest("loop"), 1);
    EXPECT_EQ(ModeRequest("quiet"), 2);
    EXPECT_EQ(ModeRequest("relax"), 3);
    EXPECT_EQ(ModeRequest("extend"), 4);
    EXPECT_EQ(ModeRequest("stop"), -1);
    EXPECT_EQ(StatusOf([] { ModeRequest("Range"); }), 400);
    EXPECT_EQ(StatusOf([] { ModeRequest(""); }), 400);
}

TEST(StudioRequest, StaticFilesStayInsideTheRoot) {
    const fs::path base = fs::temp_directory_path() / ("qx_studio_root_" + NewToken());
    const fs::path root = base / "web";
    fs::create_directories(root / "sub");
    std::ofstream(root / "index.html") << "page";
    std::ofstream(root / "sub" / "a.js") << "js";
    std::ofstream(base / "secret.txt") << "secret";
    fs::create_symlink(base / "secret.txt", root / "link.txt");

    EXPECT_EQ(ResolveStaticPath(root, "/"), fs::canonical(root / "index.html"));
    EXPECT_EQ(ResolveStaticPath(root, "/sub/a.js"), fs::canonical(root / "sub" / "a.js"));
    EXPECT_EQ(ResolveStaticPath(root, "/sub/../index.html"), fs::canonical(root / "index.html"));
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "/../secret.txt"); }), 403);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "/sub/../../secret.txt"); }), 403);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "/..\\secret.txt"); }), 403);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "relative.txt"); }), 403);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, std::string("/index.html\0.png", 16)); }),
              403);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "/link.txt"); }), 403);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "/missing.js"); }), 404);
    EXPECT_EQ(StatusOf([&] { ResolveStaticPath(root, "/sub"); }), 404); // a folder, no index
    fs::remove_all(base);
}

TEST(StudioRequest, Tokens) {
    const std::string token = NewToken();
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(token, NewToken());
    EXPECT_TRUE(TokenMatches(token, token));
    EXPECT_FALSE(TokenMatches(token, ""));
    EXPECT_FALSE(TokenMatches(token, token.substr(0, 31)));
    EXPECT_FALSE(TokenMatches(token, token + "0"));
    EXPECT_FALSE(TokenMatches(token, std::string(32, '0')));
    EXPECT_TRUE(TokenMatches("", "anything")); // no token required
}

TEST(StudioScene, RotationsBecomeQuaternions) {
    double q[4];
    // 90 degrees about Z: x goes to y, y to -x.
    const Point3 quarterZ[3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
    Quarix::App::RotationQuaternion(quarterZ, q);
    const double h = std::sqrt(0.5);
    EXPECT_NEAR(q[0], 0.0, 1e-9);
    EXPECT_NEAR(q[1], 0.0, 1e-9);
    EXPECT_NEAR(q[2], h, 1e-9);
    EXPECT_NEAR(q[3], h, 1e-9);
    // Half turns (trace -1: the branches without w) about X, Y and Z.
    const Point3 halfX[3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    const Point3 halfY[3] = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
    const Point3 halfZ[3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
    const Point3* halves[3] = {halfX, halfY, halfZ};
    for (int axis = 0; axis < 3; ++axis) {
        Quarix::App::RotationQuaternion(halves[axis], q);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(std::fabs(q[i]), i == axis ? 1.0 : 0.0, 1e-9) << axis << " " << i;
    }
}

TEST(StudioScene, EncodedFramesKeepTheirLayout) {
    auto a = std::make_shared<FrameBlock>();
    a->frame = 5;
    a->values = {1, 2, 3, 0, 0, 0, 1, 4, 5, 6, 0, 0, 0, 1};
    auto stale = std::make_shared<FrameBlock>(); // sampled for one piece, the set has two
    stale->frame = 6;
    stale->values = {7, 8, 9, 0, 0, 0, 1};
    const std::string bytes = EncodeFrames({a, stale}, 2);
    ASSERT_EQ(bytes.size(), 16u + 2 * 2 * 7 * 4);
    EXPECT_EQ(bytes.substr(0, 4), "QXF1");
    std::uint32_t header[3];
    std::memcpy(header, bytes.data() + 4, sizeof header);
    EXPECT_EQ(header[0], 5u);
    EXPECT_EQ(header[1], 2u);
    EXPECT_EQ(header[2], 2u);
    std::vector<float> values(28);
    std::memcpy(values.data(), bytes.data() + 16, 28 * 4);
    EXPECT_EQ(values[7], 4.0f);
    EXPECT_EQ(values[9], 6.0f);
    // The stale block's pieces read as not alive, never as the other piece's numbers.
    EXPECT_TRUE(std::isnan(values[14]));
    EXPECT_TRUE(std::isnan(values[21]));
}

TEST(StudioScene, EncodedPiecesCarryTheirMeshes) {
    PieceSet set;
    set.version = 9;
    Piece p;
    p.node = 4;
    p.body = 2;
    p.colour = 0x102030;
    p.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    p.indices = {0, 1, 2};
    set.pieces.push_back(p);
    const std::string bytes = EncodePieces(set);
    ASSERT_EQ(bytes.size(), 12u + 20u + 9 * 4 + 3 * 4);
    std::uint32_t fields[7];
    std::memcpy(fields, bytes.data() + 4, sizeof fields);
    EXPECT_EQ(fields[0], 1u); // pieces
    EXPECT_EQ(fields[1], 9u); // version
    EXPECT_EQ(fields[2], 4u); // node
    EXPECT_EQ(fields[3], 2u); // body
    EXPECT_EQ(fields[4], 0x102030u);
    EXPECT_EQ(fields[5], 3u); // vertices
    EXPECT_EQ(fields[6], 1u); // triangles
}
