// The world's node lists: picking, Add.., Remove, All, Invert, double click, refreshes after
// deletions, the force filter, and undo of the additions.

#include "tests/plugin/driver/QX_Driver_Test_Support.h"

#include "host/ForceSources.h"

namespace QX_Driver_Test {
namespace {

class NodeListsTest : public DriverTest {
protected:
    HWND List() { return &listRollout; }
    std::vector<INode*> Listed(QX_BULLET_OBJ* world, ParamID list = WorldParam::NodesList) {
        std::vector<INode*> nodes;
        for (int i = 0; i < world->Params()->Count(list); ++i)
            nodes.push_back(world->Params()->GetINode(list, 0, i));
        return nodes;
    }
    std::vector<MSTR> Items(int listBox = 2033) { return listRollout.Control(listBox).items; }
    std::vector<bool> Marks(int listBox = 2033) { return listRollout.Control(listBox).selected; }
    std::vector<INode*> Selection() {
        std::vector<INode*> nodes;
        for (int i = 0; i < Host().GetSelNodeCount(); ++i)
            nodes.push_back(Host().GetSelNode(i));
        return nodes;
    }
};

TEST_F(NodeListsTest, PickAddsTheModifierOnceAndUndoTakesItBack) {
    QX_BULLET_OBJ* world = MakeWorld();
    INode* box = BoxNode(20.0f);
    box->SetName(_T("Brick"));
    world->Params()->SetValue(WorldParam::PickBtn, 0, 1);
    BeginListPick(QX_Node_List::Simulation, world, List());
    EXPECT_EQ(Host().GetPrompt(), _T("pick"));

    EXPECT_TRUE(Host().PickAt(box));
    ASSERT_NE(QX_RIGID_MOD::FindRigidModifier(box), nullptr);
    EXPECT_EQ(Listed(world), std::vector<INode*>{box});
    EXPECT_EQ(Items(), std::vector<MSTR>{_T("Brick")});
    Object* stacked = box->GetObjectRef();
    EXPECT_TRUE(Host().PickAt(box)); // again: nothing changes, the mode stays
    EXPECT_EQ(Listed(world), std::vector<INode*>{box});
    EXPECT_EQ(box->GetObjectRef(), stacked);
    EXPECT_EQ(Host().GetCurPickMode(), &PickModeFor(QX_Node_List::Simulation));

    // A world object cannot carry the modifier: refused, nothing recorded.
    EXPECT_TRUE(Host().PickAt(worldNode));
    EXPECT_EQ(Listed(world), std::vector<INode*>{box});
    EXPECT_EQ(theHold.RecordNames(), std::vector<MSTR>{_T("Add Nodes")});

    Host().RightClickPick();
    EXPECT_EQ(Host().GetCurPickMode(), nullptr);
    EXPECT_EQ(world->Params()->GetInt(WorldParam::PickBtn), 0);
    EXPECT_TRUE(Host().GetPrompt().empty());

    ASSERT_TRUE(theHold.Undo());
    EXPECT_TRUE(Listed(world).empty());
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(box), nullptr);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(Listed(world), std::vector<INode*>{box});
    EXPECT_NE(QX_RIGID_MOD::FindRigidModifier(box), nullptr);
}

TEST_F(NodeListsTest, APickWithoutANodeOrWorldEndsTheMode) {
    QX_BULLET_OBJ* world = MakeWorld();
    BeginListPick(QX_Node_List::Simulation, world, List());
    EXPECT_FALSE(Host().PickAt(nullptr)); // nothing under the cursor: no hit
    QX_List_Pick& mode = PickModeFor(QX_Node_List::Simulation);
    EXPECT_EQ(mode.Pick(&Host(), nullptr), TRUE);
    // The world's node goes while the mode runs: the mode ends before the world is freed.
    Host().DeleteNode(worldNode);
    EXPECT_EQ(Host().GetCurPickMode(), nullptr);
    EXPECT_EQ(mode.world, nullptr);
    EXPECT_EQ(mode.Pick(&Host(), nullptr), TRUE);
}

TEST_F(NodeListsTest, DeletedNodesLeaveEmptyEntriesUntilTheNextRefresh) {
    QX_BULLET_OBJ* world = MakeWorld();
    INode* a = BoxNode(10.0f);
    INode* b = BoxNode(10.0f);
    INode* c = BoxNode(10.0f);
    Simulate(world, {a, b, a, c});
    RefreshSimulationList(world, List());
    EXPECT_EQ(Listed(world), (std::vector<INode*>{a, b, a, c})); // no empty entry: kept as is
    Host().DeleteNode(b);
    EXPECT_EQ(Listed(world), (std::vector<INode*>{a, nullptr, a, c}));
    RefreshSimulationList(world, List());
    EXPECT_EQ(Listed(world), (std::vector<INode*>{a, c}));
    EXPECT_EQ(Items(), (std::vector<MSTR>{a->GetName(), c->GetName()}));
    RefreshSimulationList(nullptr, List()); // ignored
}

TEST_F(NodeListsTest, AddSelectedNodesIsOneUndoableRecord) {
    QX_BULLET_OBJ* world = MakeWorld();
    INode* listed = BoxNode(10.0f);
    Simulate(world, {listed});
    INode* a = BoxNode(10.0f);
    INode* b = BoxNode(10.0f);
    Host().SelectNode(a);
    Host().SelectNode(worldNode, 0);
    Host().SelectNode(listed, 0);
    Host().SelectNode(b, 0);
    theHold.Clear();

    AddSelectedNodes(QX_Node_List::Simulation, world, List());
    EXPECT_EQ(Listed(world), (std::vector<INode*>{listed, a, b}));
    EXPECT_EQ(Items().size(), 3u);
    EXPECT_EQ(Selection(), std::vector<INode*>{a});
    EXPECT_EQ(theHold.RecordNames(), std::vector<MSTR>{_T("Add Nodes")});

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Listed(world), std::vector<INode*>{listed});
    EXPECT_EQ(Selection(), (std::vector<INode*>{a, worldNode, listed, b}));
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(a), nullptr);
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(b), nullptr);
    EXPECT_NE(QX_RIGID_MOD::FindRigidModifier(listed), nullptr);

    // Nothing selected: the list stays, the selection stays empty.
    Host().ClearNodeSelection();
    AddSelectedNodes(QX_Node_List::Simulation, world, List());
    EXPECT_EQ(Listed(world), std::vector<INode*>{listed});
}

TEST_F(NodeListsTest, RemoveAllInvertAndDoubleClick) {
    QX_BULLET_OBJ* world = MakeWorld();
    INode* a = BoxNode(10.0f);
    INode* b = BoxNode(10.0f);
    INode* c = BoxNode(10.0f);
    Simulate(world, {a, b, c});
    RefreshSimulationList(world, List());

    RemoveSelectedItems(QX_Node_List::Simulation, world, List()); // nothing selected
    EXPECT_EQ(Listed(world), (std::vector<INode*>{a, b, c}));
    InvertItems(QX_Node_List::Simulation, List()); // nothing selected: all
    EXPECT_EQ(Marks(), (std::vector<bool>{true, true, true}));
    SendDlgItemMessage(List(), 2033, LB_SETSEL, FALSE, 0);
    InvertItems(QX_Node_List::Simulation, List());
    EXPECT_EQ(Marks(), (std::vector<bool>{true, false, false}));

    SendDlgItemMessage(List(), 2033, LB_SETSEL, TRUE, 2);
    SelectListedNode(world, List()); // the first selected item
    EXPECT_EQ(Selection(), std::vector<INode*>{a});
    RemoveSelectedItems(QX_Node_List::Simulation, world, List());
    EXPECT_EQ(Listed(world), std::vector<INode*>{b});
    EXPECT_EQ(Items(), std::vector<MSTR>{b->GetName()});

    SelectAllItems(QX_Node_List::Simulation, List());
    EXPECT_EQ(Marks(), std::vector<bool>{true});
    RemoveSelectedItems(QX_Node_List::Simulation, world, List());
    EXPECT_TRUE(Listed(world).empty());
    SelectListedNode(world, List()); // empty list: nothing happens
    EXPECT_EQ(Selection(), std::vector<INode*>{a});
}

TEST_F(NodeListsTest, ForceListKeepsOnlyForceNodes) {
    QX_BULLET_OBJ* world = MakeWorld();
    INode* wind = Host().CreateObjectNode(new WindFieldObject());
    INode* support = BoxNode(10.0f);
    INode* empty = Host().CreateObjectNode(nullptr);
    EXPECT_TRUE(IsForceNode(wind));
    EXPECT_TRUE(IsForceNode(support));
    EXPECT_FALSE(IsForceNode(empty));
    EXPECT_FALSE(IsForceNode(worldNode));
    EXPECT_FALSE(IsForceNode(nullptr));

    BeginListPick(QX_Node_List::Forces, world, List());
    EXPECT_FALSE(Host().PickAt(worldNode)); // the filter refuses it: no hit
    EXPECT_TRUE(Host().PickAt(wind));
    EXPECT_TRUE(Host().PickAt(wind));
    EXPECT_TRUE(Host().PickAt(support));
    EXPECT_EQ(Listed(world, WorldParam::ForcesList), (std::vector<INode*>{wind, support}));
    EXPECT_EQ(Items(1037).size(), 2u);
    Host().RightClickPick();
    EXPECT_EQ(world->Params()->GetInt(WorldParam::SupportPickBtn), 0);

    // The support stops qualifying (its object becomes another world): gone at the next refresh.
    support->SetObjectRef(static_cast<Object*>(GetQX_BULLET_OBJ_Desc()->Create()));
    RefreshForceList(world, List());
    EXPECT_EQ(Listed(world, WorldParam::ForcesList), std::vector<INode*>{wind});
    EXPECT_EQ(Items(1037), std::vector<MSTR>{wind->GetName()});

    Host().SelectNode(empty);
    Host().SelectNode(support, 0);
    AddSelectedNodes(QX_Node_List::Forces, world, List());
    EXPECT_EQ(Listed(world, WorldParam::ForcesList), std::vector<INode*>{wind});
    EXPECT_EQ(theHold.RecordNames().back(), _T("Add Forces"));
}

} // namespace
} // namespace QX_Driver_Test
