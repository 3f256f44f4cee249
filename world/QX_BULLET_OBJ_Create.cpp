// Interactive creation of a world: the first click places it, the drag sets its "Size", the
// second click ends creation. A new world gets a random wire colour.

#include "world/QX_BULLET_OBJ.h"

#include "host/INode.h"
#include "host/Interface.h"
#include "host/TickCount.h"
#include "world/QX_BULLET_OBJ_Params.h"

#include <cstdlib>

namespace Quarix {

namespace {

// One module-wide callback, remembering the world being created.
class QX_BULLET_OBJ_CreateCallBack : public CreateMouseCallBack {
public:
    QX_BULLET_OBJ* world = nullptr;

    int proc(ViewExp* vpt, int msg, int point, int flags, IPoint2 m, Matrix3& mat) override;

private:
    void Start(ViewExp* vpt, IPoint2 m, Matrix3& mat);

    Point3 start_;
};

void QX_BULLET_OBJ_CreateCallBack::Start(ViewExp* vpt, IPoint2 m, Matrix3& mat) {
    IPoint2 snapped;
    start_ = vpt->SnapPoint(m, snapped);
    INode* node = world ? world->FindNode() : nullptr;
    std::srand(static_cast<unsigned>(GetTickCount()));
    if (node) {
        const int first = std::rand(), second = std::rand(), third = std::rand();
        node->SetWireColor(RGB(55 + third % 200, 55 + first % 200, 55 + second % 200));
    }
    mat.SetTrans(start_);
}

int QX_BULLET_OBJ_CreateCallBack::proc(ViewExp* vpt, int msg, int point, int, IPoint2 m,
                                       Matrix3& mat) {
    if (!vpt || !vpt->IsAlive())
        return FALSE;
    if (msg == MOUSE_POINT || msg == MOUSE_MOVE) {
        if (point == 0) {
            Start(vpt, m, mat);
        } else if (point == 1) {
            IPoint2 snapped;
            const Point3 p = vpt->SnapPoint(m, snapped);
            if (world && world->Params())
                world->Params()->SetValue(WorldParam::Size, GetCOREInterface()->GetTime(),
                                          Length(p - start_));
            if (msg == MOUSE_POINT)
                return CREATE_STOP;
        }
        return CREATE_CONTINUE;
    }
    if (msg == MOUSE_ABORT)
        return CREATE_ABORT;
    return CREATE_CONTINUE;
}

QX_BULLET_OBJ_CreateCallBack g_createCallBack;

} // namespace

CreateMouseCallBack* QX_BULLET_OBJ::GetCreateMouseCallBack() {
    g_createCallBack.world = this;
    return &g_createCallBack;
}

} // namespace Quarix
