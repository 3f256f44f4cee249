#pragma once
// Conversion between the host's triangle mesh and the core's mesh record, used by the rigid
// modifier on every evaluation and by the scene-file reader for meshes stored by older versions.

#include "core/QX_BT_Mesh_Data.h"
#include "host/Mesh.h"

namespace QX_Mesh_Convert {

/// Fills `out` from a host mesh: positions, face corners, face infos (raw edge bits 1/2/4,
/// material id, smoothing group), every supported map channel 0..99 and, when the specified
/// normals cover every face, channel -1. Previous content of `out` is replaced.
void ExportMesh(const Mesh& mesh, Quarix::QX_BT_Mesh_Data& out);

/// Replaces a host mesh's vertices and faces by the record's: edge visibility, material id (low
/// 16 bits) and smoothing group per face, then every channel in ascending order (channel -1 as
/// explicit specified normals). Channels numbered outside -1..99 are skipped. Corner indices out
/// of range of their vertex arrays are clamped to 0 so the host mesh stays valid.
void ImportMesh(const Quarix::QX_BT_Mesh_Data& data, Mesh& mesh);

} // namespace QX_Mesh_Convert
