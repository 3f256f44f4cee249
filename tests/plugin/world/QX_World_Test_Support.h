#pragma once
// Set-up of the world tests: the plug-in classes and the world's descriptor registered
// in-process, and builders for worlds and force-list nodes.

#include "host/ForceSources.h"
#include "tests/plugin/QX_Plugin_Test_Support.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"
#include "world/QX_BULLET_OBJ_Params.h"

namespace QX_World_Test {

using namespace Quarix;

class WorldTest : public QX_Plugin_Test::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        static const bool registered = [] {
            return GetCOREInterface()->GetClassDirectory().Register(GetQX_BULLET_OBJ_Desc());
        }();
        ASSERT_TRUE(registered);
    }

    /// A new world on a node of its own (the node at the origin).
    QX_BULLET_OBJ* NewWorld(INode** nodeOut = nullptr) {
        auto* world = static_cast<QX_BULLET_OBJ*>(GetQX_BULLET_OBJ_Desc()->Create(FALSE));
        INode* node = Host().CreateObjectNode(world);
        if (nodeOut)
            *nodeOut = node;
        return world;
    }
    /// A node carrying a new instance of a host force source.
    INode* SourceNode(SClass_ID sclass, Class_ID cid, const Matrix3& tm = Matrix3()) {
        auto* obj =
            static_cast<Object*>(static_cast<Animatable*>(Host().CreateInstance(sclass, cid)));
        INode* node = Host().CreateObjectNode(obj);
        node->SetNodeTM(0, tm);
        return node;
    }
    IParamBlock2* Block(INode* node) { return node->GetObjectRef()->GetParamBlockByID(0); }
    static void AddForce(QX_BULLET_OBJ* world, INode* node) {
        world->Params()->Append(WorldParam::ForcesList, 1, &node);
    }
};

} // namespace QX_World_Test
