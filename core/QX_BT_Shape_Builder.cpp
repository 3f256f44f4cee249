#include "core/QX_BT_Shape_Builder.h"

namespace Quarix {

QX_BT_HACD_Settings QX_BT_HACD_Settings::Low() {
    return {100, 0.1f, 2, 100.0f, 0.0f, false, false, false};
}

QX_BT_HACD_Settings QX_BT_HACD_Settings::High() {
    return {100, 0.01f, 2, 1.0f, 0.0f, true, true, true};
}

std::unique_ptr<QX_BT_ConvexShape> BuildConvexShape(const std::vector<float>&,
                                                    const std::vector<int32_t>&,
                                                    const QX_BT_Face_List&, bool) {
    return nullptr;
}

std::unique_ptr<QX_BT_ConvexShape> BuildConvexShapeFromMesh(const std::vector<float>&,
                                                            const std::vector<int32_t>&) {
    return nullptr;
}

std::vector<QX_BT_Hull_Cluster> DecomposeFaceSet(const std::vector<float>&,
                                                 const std::vector<int32_t>&,
                                                 const QX_BT_Face_List&,
                                                 const QX_BT_HACD_Settings&) {
    return {};
}

std::unique_ptr<QX_BT_ConcaveShape> BuildConcaveShape(const std::vector<float>&,
                                                      const std::vector<int32_t>&,
                                                      const QX_BT_Face_List&, bool) {
    return std::make_unique<QX_BT_ConcaveShape>();
}

bool IsConvexFaceSet(const std::vector<float>&, const std::vector<int32_t>&,
                     const QX_BT_Face_List&, float) {
    return true;
}

std::unique_ptr<btCollisionShape> BuildElementShape(const std::vector<float>&,
                                                    const std::vector<int32_t>&,
                                                    const QX_BT_Face_List&, int32_t, bool) {
    return nullptr;
}

QX_BT_Shape_List BuildElementShapes(const std::vector<float>&, const std::vector<int32_t>&,
                                    const QX_BT_Element_List& elements, int32_t, bool,
                                    const std::vector<int32_t>&) {
    return QX_BT_Shape_List(elements.size());
}

void GroupElementShapes(const std::vector<btCollisionShape*>&, QX_BT_Body_Shape_List&, int32_t,
                        float, int32_t) {}

std::vector<btCollisionShape*> ShapePointers(const QX_BT_Shape_List& shapes) {
    std::vector<btCollisionShape*> pointers;
    pointers.reserve(shapes.size());
    for (const auto& s : shapes)
        pointers.push_back(s.get());
    return pointers;
}

} // namespace Quarix
