#pragma once
// Where the meshes of a scene description come from: generators for the things people break
// most (a running-bond brick wall, a stack, a grid of pieces; each one mesh of many elements),
// OBJ files and glTF files. Every mesh that enters a scene is checked first.

#include "host/Mesh.h"

#include <stdexcept>
#include <string>

namespace Quarix::App {

/// A refused input: the message names the file and the place (line and column, or the JSON
/// path) and says what was expected.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Appends a closed box of 12 triangles (8 shared vertices, one mesh element) centred on
/// `centre` with full sizes `size` (scene units) to `mesh`. Sides carry material ids 1..6 and
/// one smoothing group each, like the host's box primitive.
void AppendBoxElement(Mesh& mesh, const Point3& centre, const Point3& size);

/// A running-bond brick wall standing on z = 0, centred on the origin in x and y, bricks long
/// along x. Every other course has one brick less and is shifted by half a brick, so that each
/// brick rests on two below. `gap` (scene units) separates neighbouring bricks of a course;
/// courses rest on each other.
Mesh MakeBrickWall(int columns, int rows, const Point3& brick, float gap);
/// `count` boxes stacked on z = 0 along +z, `gap` apart.
Mesh MakeStack(int count, const Point3& box, float gap);
/// A block of nx x ny x nz boxes standing on z = 0, centred in x and y, `gap` apart.
Mesh MakeGrid(int nx, int ny, int nz, const Point3& piece, float gap);

/// Reads the triangles of an OBJ file (polygons are triangulated; every group goes into the
/// one mesh). Throws InputError naming the file (and the line where the reader says one).
Mesh LoadObjMesh(const std::string& path);
/// Reads every triangle primitive of the default scene of a glTF or GLB file, with the node
/// transforms applied, converted from glTF's Y-up metres into the Z-up scene with
/// `unitsPerMetre` scene units per metre. Throws InputError naming the file and the mesh.
Mesh LoadGltfMesh(const std::string& path, double unitsPerMetre);

/// Checks a mesh that is about to enter a scene: at least one face, every vertex finite, every
/// face index in range. Throws InputError starting with `where`.
void CheckMesh(const Mesh& mesh, const std::string& where);

} // namespace Quarix::App
