#pragma once
// What the studio's page shows of the host's scene, captured on the thread that owns the host
// and published as immutable values: the node tree, the pieces (a simulated body, or a whole
// node when it is not simulated) with their meshes, and per frame every piece's placement.
// The binary encodings are what the page downloads: meshes once, then 28 bytes per piece and
// frame (translation and rotation quaternion, float32).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class Interface;
class INode;
class IQXBodyPlayback;

namespace Quarix::Studio {

/// One thing drawn: a body of a simulated object, or a node's own evaluated mesh.
struct Piece {
    /// The node's handle (INode::GetHandle).
    std::uint32_t node = 0;
    /// The body index in the node's playback; -1 for the node's own mesh.
    int body = -1;
    /// Wire colour as 0xRRGGBB.
    std::uint32_t colour = 0;
    /// Object-space (body-space) vertices, scene units, xyz interleaved.
    std::vector<float> positions;
    /// Triangles, three vertex indices each.
    std::vector<std::uint32_t> indices;
};

/// Every piece of the scene, in node order then body order.
struct PieceSet {
    std::vector<Piece> pieces;
    /// Changes whenever the set is rebuilt with another layout.
    int version = 0;
};

/// Placements of every piece of a PieceSet at one frame: per piece translation (scene units)
/// then rotation quaternion (x, y, z, w), seven floats; a piece not alive has NaN translation.
struct FrameBlock {
    int frame = 0;
    std::vector<float> values;
};

/// Where the pieces come from, kept by the host thread only (pointers into the live scene).
struct PieceSources {
    std::vector<INode*> nodes;
    std::vector<IQXBodyPlayback*> playbacks;
    std::vector<int> bodies;
    /// Node handles and body counts the set was built from: a change means a rebuild.
    std::vector<std::uint64_t> signature;
};

/// The JSON node tree: frame rate, world range, and per node its handle, name, object class,
/// modifiers, wire colour, visibility, parent, whether it simulates, and the world's lists.
nlohmann::json DescribeTree(Interface& ip);

/// The signature of the scene's current pieces (node handles, body counts).
std::vector<std::uint64_t> PieceSignature(Interface& ip);

/// Builds the pieces of the scene (hidden nodes, nodes without a mesh, the world and its force
/// sources left out; meshes of plain nodes evaluated at `frame`) and where they come from.
std::shared_ptr<const PieceSet> CollectPieces(Interface& ip, int frame, int version,
                                              PieceSources& sources);

/// The placements of every piece at `frame`.
std::shared_ptr<const FrameBlock> SampleFrame(const PieceSources& sources, int frame);

/// The evaluated mesh of `node` at `frame` in object space, as a Piece (body -1). False when
/// the node has no triangle mesh.
bool EvaluateNodeMesh(INode& node, int frame, Piece& out);

/// "QXM1", vertex count, triangle count, positions (float32), indices (uint32): one mesh.
std::string EncodeMesh(const Piece& piece);
/// "QXP1", piece count, version, then per piece: node, body, colour, vertex and triangle
/// counts, positions, indices (all 32-bit little-endian).
std::string EncodePieces(const PieceSet& set);
/// "QXF1", first frame, frame count, piece count, then the frames' values (float32).
std::string EncodeFrames(const std::vector<std::shared_ptr<const FrameBlock>>& frames,
                         int pieceCount);

} // namespace Quarix::Studio
