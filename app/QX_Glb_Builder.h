#pragma once
// Assembles a binary glTF model in one buffer: views, accessors with bounds, and the
// all-or-nothing write of the file.

#include <string>
#include <vector>

#include <tiny_gltf.h>

namespace Quarix::App {

/// Builds a glTF model whose data lives in buffer 0.
class GlbBuilder {
public:
    GlbBuilder();

    /// Appends raw bytes to the buffer (4-byte aligned) and returns a new view index; target 0
    /// leaves the view's target unset.
    int AddView(const void* data, size_t bytes, int target);
    /// Appends an accessor over a view.
    int AddAccessor(int view, int componentType, int type, size_t count,
                    std::vector<double> min = {}, std::vector<double> max = {});
    /// Float data with `components` floats per element; with `bounds`, min and max are stored
    /// (required for positions and animation inputs).
    int AddFloats(const float* values, size_t floatCount, int type, size_t components, bool bounds,
                  int target = 0);
    /// Unsigned 32-bit indices.
    int AddIndices(const std::vector<uint32_t>& indices);

    /// Writes the model as a .glb at `path` through a temporary file renamed into place, so a
    /// failed write never leaves half a file. False with `error` naming the path.
    bool WriteGlb(const std::string& path, std::string& error);

    tinygltf::Model model;
};

} // namespace Quarix::App
