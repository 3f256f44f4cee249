#include "host/Creation.h"

namespace {

bool Fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

} // namespace

std::vector<CreationEvent> ClickDragGesture(IPoint2 from, std::vector<IPoint2> via, IPoint2 to) {
    std::vector<CreationEvent> events;
    events.push_back({MOUSE_POINT, from, 0});
    for (const IPoint2& p : via)
        events.push_back({MOUSE_MOVE, p, 0});
    events.push_back({MOUSE_POINT, to, 0});
    return events;
}

INode* CreateInteractively(Interface& ip, SClass_ID sclass, Class_ID cid, ViewExp& view,
                           const std::vector<CreationEvent>& events, std::string* error) {
    auto* anim = static_cast<Animatable*>(ip.CreateInstance(sclass, cid));
    auto* obj = dynamic_cast<Object*>(anim);
    if (!obj) {
        if (anim)
            anim->DeleteThis();
        Fail(error, "creation: the class is not a registered object class");
        return nullptr;
    }
    CreateMouseCallBack* cb = obj->GetCreateMouseCallBack();
    if (!cb) {
        obj->DeleteThis();
        Fail(error, "creation: the class has no interactive creation");
        return nullptr;
    }
    INode* node = ip.CreateObjectNode(obj);
    Matrix3 mat;
    int point = 0;
    for (const CreationEvent& ev : events) {
        const int res = cb->proc(&view, ev.msg, point, ev.flags, ev.pos, mat);
        if (res == CREATE_ABORT || ev.msg == MOUSE_ABORT)
            break;
        node->SetNodeTM(ip.GetTime(), mat);
        if (res == CREATE_STOP)
            return node;
        if (ev.msg == MOUSE_POINT)
            ++point;
    }
    ip.DeleteNode(node, FALSE);
    Fail(error, "creation: the gesture was aborted or ended before the object was complete");
    return nullptr;
}
