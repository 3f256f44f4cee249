#include "app/QX_World_Panel.h"

#include "host/DialogScript.h"
#include "host/Interface.h"

namespace Quarix::App {

WorldPanel::WorldPanel(Interface& ip, INode& world) : m_ip(ip), m_world(world) {
    Object* obj = world.GetObjectRef();
    if (!obj)
        return;
    obj->BeginEditParams(&ip, 0, nullptr);
    m_rollout = DialogScript(ip).FindRollout(_T("World"), obj);
}

WorldPanel::~WorldPanel() {
    if (Object* obj = m_world.GetObjectRef())
        obj->EndEditParams(&m_ip, 0, nullptr);
}

bool WorldPanel::Press(int id, std::string& error) {
    if (!m_rollout) {
        error = "the world's \"World\" rollout is not open";
        return false;
    }
    if (!DialogScript(m_ip).Click(m_rollout, id, &error))
        return false;
    m_ip.GetMessageLoop().DeliverPosted();
    return true;
}

bool WorldPanel::Pressed(int id) const {
    return m_rollout && DialogScript(m_ip).Read(m_rollout, id).checked;
}

} // namespace Quarix::App
