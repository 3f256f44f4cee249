#include "host/ChunkFile.h"

#include <gtest/gtest.h>

namespace {

std::vector<BYTE> NestedFile() {
    ChunkWriter w;
    w.BeginChunk(0x0A);
    WriteValue(w, std::int32_t(7));
    w.EndChunk();
    w.BeginChunk(0x0B);
    w.BeginChunk(0x0C);
    WriteValue(w, 2.5f);
    w.EndChunk();
    w.BeginChunk(0x0D);
    w.WriteWString(_T("Wall\u00e9"));
    w.EndChunk();
    w.EndChunk();
    EXPECT_EQ(w.CurChunkDepth(), 0);
    EXPECT_FALSE(w.Failed());
    return w.Bytes();
}

TEST(ChunkFile, NestedChunksReadBackWithEndMarkers) {
    std::vector<BYTE> bytes = NestedFile();
    // Header (12) + chunk A (10 + 4) + chunk B (10 + (10 + 4) + (10 + 4 + 6)).
    EXPECT_EQ(bytes.size(), 12u + 14u + 10u + 14u + 20u);
    ChunkReader r(bytes);
    ASSERT_EQ(r.OpenChunk(), IO_OK);
    EXPECT_EQ(r.CurChunkID(), 0x0A);
    EXPECT_EQ(r.CurChunkLength(), 4u);
    std::int32_t i = 0;
    ASSERT_EQ(ReadValue(r, i), IO_OK);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(r.OpenChunk(), IO_END); // raw data exhausted, no sub-chunk
    ASSERT_EQ(r.CloseChunk(), IO_OK);

    ASSERT_EQ(r.OpenChunk(), IO_OK);
    EXPECT_EQ(r.CurChunkID(), 0x0B);
    ASSERT_EQ(r.OpenChunk(), IO_OK);
    EXPECT_EQ(r.CurChunkDepth(), 2);
    // The inner chunk is left unread: CloseChunk skips it.
    ASSERT_EQ(r.CloseChunk(), IO_OK);
    ASSERT_EQ(r.OpenChunk(), IO_OK);
    MSTR text;
    ASSERT_EQ(r.ReadWString(text), IO_OK);
    EXPECT_EQ(text, _T("Wall\u00e9"));
    ASSERT_EQ(r.CloseChunk(), IO_OK);
    EXPECT_EQ(r.OpenChunk(), IO_END);
    ASSERT_EQ(r.CloseChunk(), IO_OK);
    EXPECT_EQ(r.OpenChunk(), IO_END);
    EXPECT_FALSE(r.Failed());
}

TEST(ChunkFile, ReadPastChunkEndFailsWithPlace) {
    std::vector<BYTE> bytes = NestedFile();
    ChunkReader r(bytes);
    ASSERT_EQ(r.OpenChunk(), IO_OK);
    double tooBig = 0;
    EXPECT_EQ(ReadValue(r, tooBig), IO_ERROR);
    EXPECT_NE(r.ErrorMessage().find("chunk 0x000A"), std::string::npos) << r.ErrorMessage();
    EXPECT_NE(r.ErrorMessage().find("offset 22"), std::string::npos) << r.ErrorMessage();
    // Once failed, everything fails: a caller cannot wander on into garbage.
    EXPECT_EQ(r.CloseChunk(), IO_ERROR);
    EXPECT_EQ(r.OpenChunk(), IO_ERROR);
}

TEST(ChunkFile, HostileHeadersAreRefused) {
    std::vector<BYTE> bytes = NestedFile();
    {
        std::vector<BYTE> bad = bytes;
        bad[0] = 'X';
        ChunkReader r(bad);
        EXPECT_EQ(r.OpenChunk(), IO_ERROR);
        EXPECT_NE(r.ErrorMessage().find("magic"), std::string::npos);
    }
    {
        std::vector<BYTE> bad = bytes;
        bad[8] = 99; // version
        ChunkReader r(bad);
        EXPECT_EQ(r.OpenChunk(), IO_ERROR);
        EXPECT_NE(r.ErrorMessage().find("version 99"), std::string::npos);
    }
    {
        // A length field claiming 2^63 bytes: refused against the bytes that exist, no
        // allocation attempted.
        std::vector<BYTE> bad = bytes;
        bad[12 + 2 + 7] = 0x80;
        ChunkReader r(bad);
        EXPECT_EQ(r.OpenChunk(), IO_ERROR);
        EXPECT_NE(r.ErrorMessage().find("chunk 0x000A claims"), std::string::npos)
            << r.ErrorMessage();
    }
    {
        // A sub-chunk longer than its parent.
        std::vector<BYTE> bad = bytes;
        bad[12 + 14 + 10 + 2] = 200;
        ChunkReader r(bad);
        ASSERT_EQ(r.OpenChunk(), IO_OK);
        ASSERT_EQ(r.CloseChunk(), IO_OK);
        ASSERT_EQ(r.OpenChunk(), IO_OK);
        EXPECT_EQ(r.OpenChunk(), IO_ERROR);
        EXPECT_NE(r.ErrorMessage().find("chunk 0x000B"), std::string::npos) << r.ErrorMessage();
    }
    {
        std::vector<BYTE> bad(bytes.begin(), bytes.begin() + 5);
        ChunkReader r(bad);
        EXPECT_TRUE(r.Failed());
    }
}

TEST(ChunkFile, WriterDetectsUnbalancedChunks) {
    ChunkWriter w;
    w.EndChunk();
    EXPECT_TRUE(w.Failed());
    ChunkWriter deep;
    for (int i = 0; i <= kMaxChunkDepth; ++i)
        deep.BeginChunk(1);
    EXPECT_TRUE(deep.Failed());
}

} // namespace
