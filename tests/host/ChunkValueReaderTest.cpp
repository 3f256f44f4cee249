#include "host/ChunkValueReader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "host/ChunkFile.h"
#include "host/Mesh.h"
#include "host/Object.h"

namespace {

// A file of chunks with ids 1, 2, 3..., each holding the given int32 values.
std::vector<BYTE> Chunks(const std::vector<std::vector<std::int32_t>>& contents) {
    ChunkWriter writer;
    for (size_t c = 0; c < contents.size(); ++c) {
        writer.BeginChunk(static_cast<USHORT>(c + 1));
        for (std::int32_t v : contents[c])
            WriteValue(writer, v);
        writer.EndChunk();
    }
    return writer.Bytes();
}

TEST(ChunkValueReader, StaysFailedAfterItsFirstError) {
    const std::vector<BYTE> bytes = Chunks({{1, 2, 3}});
    ChunkReader file(bytes);
    ASSERT_EQ(file.OpenChunk(), IO_OK);
    ChunkValueReader in(file);
    std::int32_t a = 0, b = 0;
    EXPECT_TRUE(in(a).ok());
    EXPECT_EQ(a, 1);
    EXPECT_FALSE(in.require(a == 5));
    in(b); // the data is there, but the reader already failed
    EXPECT_EQ(b, 0);
    EXPECT_EQ(file.Offset(), 12u + 10u + 4u) << "nothing read after the failure";

    // A read past the chunk fails with the container's message (chunk and offset) and leaves
    // its target alone.
    ChunkReader again(bytes);
    ASSERT_EQ(again.OpenChunk(), IO_OK);
    ChunkValueReader whole(again);
    std::int32_t v[4] = {-1, -1, -1, -1};
    EXPECT_FALSE(whole(v[0], v[1], v[2], v[3]).ok());
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[3], -1);
    EXPECT_FALSE(again.ErrorMessage().empty());
}

TEST(ChunkValueReader, CountsAreBoundedByTheChunk) {
    // A count of 5 followed by room for two 4-byte records.
    const std::vector<BYTE> bytes = Chunks({{5, 7, 8}});
    ChunkReader file(bytes);
    ASSERT_EQ(file.OpenChunk(), IO_OK);
    ChunkValueReader in(file);
    EXPECT_EQ(in.count(4), 0u);
    EXPECT_FALSE(in.ok());

    ChunkReader fits(bytes);
    ASSERT_EQ(fits.OpenChunk(), IO_OK);
    ChunkValueReader two(fits);
    EXPECT_EQ(two.count(1), 5u) << "8 bytes hold five 1-byte records";
}

TEST(ChunkValueReader, ReadChunksVisitsEveryChunkUntilOneFails) {
    const std::vector<BYTE> bytes = Chunks({{10}, {20, 21}, {30}});
    std::vector<USHORT> visited;
    ChunkReader file(bytes);
    EXPECT_EQ(ReadChunks(file, [&](ChunkValueReader& in) { visited.push_back(in.id()); }), IO_OK);
    EXPECT_EQ(visited, (std::vector<USHORT>{1, 2, 3}));

    visited.clear();
    ChunkReader failing(bytes);
    EXPECT_EQ(ReadChunks(failing,
                         [&](ChunkValueReader& in) {
                             visited.push_back(in.id());
                             std::int32_t first = 0;
                             in(first).require(first != 20);
                         }),
              IO_ERROR);
    EXPECT_EQ(visited, (std::vector<USHORT>{1, 2}));
}

// Polygon objects load through the reader: a round trip keeps everything and every truncation
// is refused without touching the object.
TEST(ChunkValueReader, PolygonObjectsRefuseEveryTruncation) {
    PolyObject original;
    MNMesh& mm = original.GetMesh();
    for (int i = 0; i < 5; ++i)
        mm.NewVert(Point3(std::cos(i * 1.2566f), std::sin(i * 1.2566f), 0.0f));
    const int pentagon[5] = {0, 1, 2, 3, 4};
    mm.NewFace(5, pentagon, 4, 9);
    mm.SetMapSupport(3, true);
    mm.M(3)->v = {Point3(0, 0, 0), Point3(1, 1, 1)};
    mm.M(3)->f[0] = {0, 1, 0, 1, 1};
    ChunkWriter writer;
    writer.BeginChunk(0x10);
    ASSERT_EQ(original.Save(&writer), IO_OK);
    writer.EndChunk();
    const std::vector<BYTE>& bytes = writer.Bytes();
    Mesh expected;
    mm.OutToTri(expected);

    auto load = [](std::span<const BYTE> data, PolyObject& into) {
        ChunkReader file(data);
        return file.OpenChunk() == IO_OK ? into.Load(&file) : IO_ERROR;
    };
    PolyObject loaded;
    ASSERT_EQ(load(bytes, loaded), IO_OK);
    Mesh after;
    loaded.GetMesh().OutToTri(after);
    EXPECT_TRUE(after == expected);

    for (size_t cut = 12; cut + 1 < bytes.size(); cut += 3) {
        PolyObject target;
        target.GetMesh().NewVert(Point3(7, 7, 7));
        std::vector<BYTE> truncated(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_NE(load(truncated, target), IO_OK) << "cut at " << cut;
        EXPECT_EQ(target.GetMesh().VNum(), 1) << "cut at " << cut;
    }
    // A map corner naming a map vertex that does not exist.
    std::vector<BYTE> bad = bytes;
    bad[bad.size() - 4] = 2;
    EXPECT_EQ(load(bad, loaded), IO_ERROR);
}

} // namespace
