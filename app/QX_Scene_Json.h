#pragma once
// Scene descriptions in JSON (docs/scene-format.md): units and frame rate, nodes with meshes
// from primitives, files or generators, transforms and keyframes, and objects and modifiers of
// any registered class with their parameters by internal name. Reading a description replaces
// the host's scene; a description that fails leaves an empty scene and an InputError naming
// the file, the place (line and column for syntax, the JSON path otherwise) and what was
// expected.

#include <string>

#include "app/QX_Mesh_Sources.h"

class Interface;

namespace Quarix::App {

/// Reads the JSON scene description at `path` into the host's scene (which is reset first).
/// Mesh files are found relative to the description's folder. Throws InputError.
void LoadJsonScene(Interface& ip, const std::string& path);

/// The same from text; `fileName` names the description in messages and `folder` is where
/// relative mesh paths start.
void LoadJsonSceneText(Interface& ip, const std::string& text, const std::string& fileName,
                       const std::string& folder);

/// Line and column (both from 1) of byte `offset` of `text`.
std::pair<int, int> LineAndColumn(const std::string& text, size_t offset);

} // namespace Quarix::App
