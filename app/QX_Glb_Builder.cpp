#include "app/QX_Glb_Builder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Quarix::App {

GlbBuilder::GlbBuilder() {
    model.asset.version = "2.0";
    model.asset.generator = "Quarix Rigid";
    model.buffers.emplace_back();
}

int GlbBuilder::AddView(const void* data, size_t bytes, int target) {
    std::vector<unsigned char>& buffer = model.buffers[0].data;
    while (buffer.size() % 4)
        buffer.push_back(0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = buffer.size();
    view.byteLength = bytes;
    if (target)
        view.target = target;
    const auto* p = static_cast<const unsigned char*>(data);
    buffer.insert(buffer.end(), p, p + bytes);
    model.bufferViews.push_back(view);
    return int(model.bufferViews.size() - 1);
}

int GlbBuilder::AddAccessor(int view, int componentType, int type, size_t count,
                            std::vector<double> min, std::vector<double> max) {
    tinygltf::Accessor a;
    a.bufferView = view;
    a.componentType = componentType;
    a.type = type;
    a.count = count;
    a.minValues = std::move(min);
    a.maxValues = std::move(max);
    model.accessors.push_back(a);
    return int(model.accessors.size() - 1);
}

int GlbBuilder::AddFloats(const float* values, size_t floatCount, int type, size_t components,
                          bool bounds, int target) {
    const int view = AddView(values, floatCount * sizeof(float), target);
    const size_t count = floatCount / components;
    std::vector<double> mn, mx;
    if (bounds && count > 0) {
        mn.assign(components, 1e30);
        mx.assign(components, -1e30);
        for (size_t i = 0; i < count; ++i) {
            for (size_t c = 0; c < components; ++c) {
                mn[c] = std::min(mn[c], double(values[i * components + c]));
                mx[c] = std::max(mx[c], double(values[i * components + c]));
            }
        }
    }
    return AddAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, type, count, mn, mx);
}

int GlbBuilder::AddIndices(const std::vector<uint32_t>& indices) {
    const int view = AddView(indices.data(), indices.size() * sizeof(uint32_t),
                             TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    return AddAccessor(view, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                       indices.size());
}

bool GlbBuilder::WriteGlb(const std::string& path, std::string& error) {
    const std::string temporary = path + ".part";
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToFile(&model, temporary, false, true, false, true)) {
        std::remove(temporary.c_str());
        error = "cannot write glTF file '" + path + "'";
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        error = "cannot write glTF file '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace Quarix::App
