#pragma once
// The shatter object behind the library interface, and the conversions between the host's mesh
// and the fragmenter's.

#include "host/Mesh.h"
#include "shatter/Fragmenter.h"

#include <cstdint>
#include <string>

namespace Quarix::Shatter {

/// Copies a host mesh into the fragmenter's mesh: vertices, faces with flags and smoothing
/// groups, every supported map channel, and the specified normals as kNormalChannel when every
/// face has them. Never throws for bad indices; ValidateMesh reports them.
ShatterMesh FromHostMesh(const Mesh& mesh);

/// Replaces everything in `mesh` by `source`: vertices (rounded to float), faces, the map
/// channels 0..99 present in `source`, and specified (explicit) normals from kNormalChannel.
void ToHostMesh(const ShatterMesh& source, Mesh& mesh);

/// One fragmentation job: the source mesh, the parameters and, after Modify, the pieces.
class QXShatter {
public:
    QXShatter(const Mesh& source, std::uint32_t randomSeed, bool capClosedMeshes);

    /// The parameters used by the next Modify.
    FragmentSettings& Settings() { return settings_; }
    /// Fragments the source; true when it was cut (see FragmentMesh, which may throw).
    bool Modify();
    /// Writes the pieces of the last successful Modify into `mesh`; false (mesh untouched)
    /// when there are none.
    bool WriteResult(Mesh& mesh) const;
    /// The warnings of the last Modify (see IQXShatter::GetWarnings).
    const std::string& Warnings() const { return warnings_; }

private:
    ShatterMesh source_;
    FragmentSettings settings_;
    ShatterMesh result_;
    bool fragmented_ = false;
    std::string warnings_;
};

} // namespace Quarix::Shatter
