#pragma once
// The current viewports' display interface of objects. An object that offers it builds its render
// items from a mesh; the headless host keeps, per update, what was prepared so that tests and the
// web studio can see it.

#include "host/Mesh.h"
#include "host/Reference.h"

namespace MaxSDK::Graphics {

/// Interface id under which objects answer their IObjectDisplay2 base.
inline constexpr Interface_ID IOBJECT_DISPLAY2_INTERFACE_ID(0x471404B6, 0x71EE66A1);
/// Interface id of a mesh's own display interface (render items from a mesh).
inline constexpr Interface_ID IMESH_DISPLAY2_INTERFACE_ID(0x177B2945, 0x776A1F62);

/// One viewport update: the time shown and the render items prepared so far.
class UpdateDisplayContext {
public:
    explicit UpdateDisplayContext(TimeValue t = 0) : m_time(t) {}
    TimeValue GetDisplayTime() const { return m_time; }
    /// Records render items built from `mesh` (one item per mesh).
    void AddMeshItems(const Mesh& mesh) {
        ++m_items;
        m_faces += mesh.getNumFaces();
    }
    int RenderItemCount() const { return m_items; }
    int FaceCount() const { return m_faces; }

private:
    TimeValue m_time;
    int m_items = 0;
    int m_faces = 0;
};

/// The render-item generation context of a mesh, made from an update context with the defaults.
class GenerateMeshRenderItemsContext {
public:
    void GenerateDefaultContext(UpdateDisplayContext& ctx) { m_ctx = &ctx; }
    UpdateDisplayContext* Display() const { return m_ctx; }

private:
    UpdateDisplayContext* m_ctx = nullptr;
};

/// Builds the render items of a mesh into the context's update (the mesh's display interface).
/// Answers false when the context was not generated.
inline bool PrepareMeshDisplay(const Mesh& mesh, GenerateMeshRenderItemsContext& gen) {
    if (!gen.Display())
        return false;
    gen.Display()->AddMeshItems(mesh);
    return true;
}

/// The display interface of objects for the current viewports.
class IObjectDisplay2 : public BaseInterface {
public:
    Interface_ID GetID() const override { return IOBJECT_DISPLAY2_INTERFACE_ID; }
    /// Builds the object's render items for this update; false when nothing was prepared.
    virtual bool PrepareDisplay(UpdateDisplayContext& ctx) = 0;
};

} // namespace MaxSDK::Graphics
