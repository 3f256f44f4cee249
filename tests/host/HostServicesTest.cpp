// The host services a timer-driven plug-in relies on: the message loop run until a condition,
// undo and redo of scene changes, lifetime notifications and list box messages.

#include "host/SceneIO.h"
#include "host/Window.h"
#include "tests/host/HostTestSupport.h"

namespace {

class HostServicesTest : public HostTest {};

// --- message loop ---------------------------------------------------------------------------

int g_ticks = 0;
int g_nestedDelivered = -1;

void CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++g_ticks;
}

void PumpInsideHandler(HWND, UINT, UINT_PTR, DWORD) {
    ++g_ticks;
    // A handler that pumps the loop (a progress bar, say) must not get a nested tick.
    MessageLoop& loop = GetCOREInterface()->GetMessageLoop();
    EXPECT_TRUE(loop.InHandler());
    g_nestedDelivered = loop.RunTicks(5) + loop.DeliverDueTimers() + loop.Run(2);
}

TEST_F(HostServicesTest, RunUntilStopsOnTheConditionAndHandlersNeverNest) {
    MessageLoop& loop = Host().GetMessageLoop();
    g_ticks = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, 1, CountTick);
    // The condition is asked before every single tick.
    EXPECT_EQ(loop.RunUntil([] { return g_ticks == 4; }, 100), 4);
    EXPECT_EQ(g_ticks, 4);
    EXPECT_EQ(loop.RunUntil([] { return false; }, 3), 3);
    EXPECT_TRUE(loop.HasTimer(CountTick));
    KillTimer(nullptr, id);
    EXPECT_FALSE(loop.HasTimer(CountTick));
    // Without a timer the loop returns at once instead of spinning.
    EXPECT_EQ(loop.RunUntil([] { return false; }, 100), 0);

    g_ticks = 0;
    const UINT_PTR pump = SetTimer(nullptr, 0, 1, PumpInsideHandler);
    EXPECT_EQ(loop.RunTicks(2), 2);
    EXPECT_EQ(g_ticks, 2);
    EXPECT_EQ(g_nestedDelivered, 0);
    EXPECT_FALSE(loop.InHandler());
    KillTimer(nullptr, pump);
}

// --- undo -----------------------------------------------------------------------------------

TEST_F(HostServicesTest, UndoAndRedoNodeCreationSelectionAndParameters) {
    INode* keep = Host().CreateObjectNode(CreateNewTriObject());
    Host().SelectNode(keep);

    theHold.Begin();
    INode* made = Host().CreateObjectNode(CreateNewTriObject());
    Host().SelectNode(made);
    theHold.Accept(_T("Create"));
    ASSERT_EQ(Host().AllNodes().size(), 2u);

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Host().AllNodes(), std::vector<INode*>{keep});
    EXPECT_FALSE(Host().IsInScene(made));
    ASSERT_EQ(Host().GetSelNodeCount(), 1);
    EXPECT_EQ(Host().GetSelNode(0), keep);
    EXPECT_EQ(theHold.RedoNames(), std::vector<MSTR>{_T("Create")});

    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(Host().AllNodes(), (std::vector<INode*>{keep, made}));
    EXPECT_EQ(Host().GetSelNode(0), made);
    EXPECT_EQ(Host().GetSelNodeCount(), 1);
    EXPECT_FALSE(theHold.Redo());

    // A bracket that changes nothing leaves no record (selecting the selected node).
    theHold.Begin();
    Host().SelectNode(made);
    theHold.Accept(_T("Nothing"));
    EXPECT_EQ(theHold.RecordNames(), std::vector<MSTR>{_T("Create")});
}

TEST_F(HostServicesTest, UndoRestoresParameterValuesAndNodeTables) {
    Modifier* mod = NewTestLift();
    ASSERT_NE(mod, nullptr);
    IDerivedObject* stack = CreateDerivedObject(CreateNewTriObject());
    stack->AddModifier(mod);
    INode* owner = Host().CreateObjectNode(stack);
    INode* a = Host().CreateObjectNode(nullptr);
    INode* b = Host().CreateObjectNode(nullptr);
    IParamBlock2* pb = mod->GetParamBlock(0);
    pb->Append(kNodesParam, 1, &a);
    pb->SetValue(kCountParam, 0, 3);

    theHold.Begin();
    pb->SetValue(kCountParam, 0, 9);
    pb->SetValue(kMarginParam, 0, 0.25f);
    pb->Append(kNodesParam, 1, &b);
    pb->Delete(kNodesParam, 0, 1);
    theHold.Accept(_T("Edit"));
    ASSERT_EQ(pb->Count(kNodesParam), 1);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), b);

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(pb->GetInt(kCountParam), 3);
    EXPECT_FLOAT_EQ(pb->GetFloat(kMarginParam), 0.5f);
    ASSERT_EQ(pb->Count(kNodesParam), 1);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), a);
    // The block references the node again: deleting it empties the entry.
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(pb->GetInt(kCountParam), 9);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), b);
    Host().DeleteNode(b);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), nullptr);
    // b is gone for good: undoing the edit gives back a, never a freed node.
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), a);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(pb->Count(kNodesParam), 1);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), nullptr);
    (void)owner;
}

TEST_F(HostServicesTest, UndoOfNodeDeletionBringsBackLinksSelectionAndListEntries) {
    Modifier* mod = NewTestLift();
    IDerivedObject* stack = CreateDerivedObject(CreateNewTriObject());
    stack->AddModifier(mod);
    Host().CreateObjectNode(stack);
    INode* parent = Host().CreateObjectNode(nullptr);
    INode* doomed = Host().CreateObjectNode(CreateNewTriObject());
    INode* child = Host().CreateObjectNode(nullptr);
    parent->AttachChild(doomed);
    doomed->AttachChild(child);
    Matrix3 tm(1);
    tm.SetTrans(Point3(0.0f, 0.0f, 50.0f));
    doomed->SetNodeTM(0, tm);
    IParamBlock2* pb = mod->GetParamBlock(0);
    pb->Append(kNodesParam, 1, &doomed);
    Host().SelectNode(doomed);
    const ULONG handle = doomed->GetHandle();

    theHold.Begin();
    Host().DeleteNode(doomed);
    theHold.Accept(_T("Delete"));
    EXPECT_FALSE(Host().IsInScene(doomed));
    EXPECT_EQ(Host().GetINodeByHandle(handle), nullptr);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), nullptr);
    EXPECT_EQ(child->GetParentNode(), parent);
    EXPECT_EQ(Host().GetSelNodeCount(), 0);

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(Host().GetINodeByHandle(handle), doomed);
    EXPECT_EQ(doomed->GetParentNode(), parent);
    EXPECT_EQ(child->GetParentNode(), doomed);
    EXPECT_EQ(doomed->GetNodeTM(0).GetTrans().z, 50.0f);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), doomed);
    EXPECT_TRUE(doomed->Selected());
    ASSERT_NE(doomed->EvalWorldState(0).obj, nullptr);

    ASSERT_TRUE(theHold.Redo());
    EXPECT_FALSE(Host().IsInScene(doomed));
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), nullptr);
    // Dropping the records frees the parked node (the sanitizer run checks the rest).
    theHold.Clear();
}

TEST_F(HostServicesTest, UndoOfStackEditsKeepsTheRemovedModifierAlive) {
    IDerivedObject* stack = CreateDerivedObject(CreateNewTriObject());
    Modifier* first = NewTestLift();
    stack->AddModifier(first);
    Host().CreateObjectNode(stack);
    Modifier* added = NewTestLift();

    theHold.Begin();
    stack->AddModifier(added); // on top
    stack->DeleteModifier(1);  // `first`, now below
    theHold.Accept(_T("Stack"));
    ASSERT_EQ(stack->NumModifiers(), 1);
    EXPECT_EQ(stack->GetModifier(0), added);

    ASSERT_TRUE(theHold.Undo());
    ASSERT_EQ(stack->NumModifiers(), 1);
    EXPECT_EQ(stack->GetModifier(0), first);
    ASSERT_TRUE(theHold.Redo());
    ASSERT_EQ(stack->NumModifiers(), 1);
    EXPECT_EQ(stack->GetModifier(0), added);
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(stack->GetModifier(0), first);
    EXPECT_EQ(first->GetParamBlock(0)->GetInt(kCountParam), 25);

    // Putting a stack under a plain node: undo gives the node its bare object back.
    TriObject* bare = CreateNewTriObject();
    INode* plain = Host().CreateObjectNode(bare);
    theHold.Begin();
    IDerivedObject* made = CreateDerivedObject(bare);
    plain->SetObjectRef(made);
    made->AddModifier(NewTestLift());
    theHold.Accept(_T("Attach"));
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(plain->GetObjectRef(), bare);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(plain->GetObjectRef(), made);
    EXPECT_EQ(made->NumModifiers(), 1);
}

// --- notifications --------------------------------------------------------------------------

struct Heard {
    std::vector<int> codes;
    std::vector<MSTR> deletedNames;
};

void Listen(void* param, NotifyInfo* info) {
    auto* heard = static_cast<Heard*>(param);
    heard->codes.push_back(info->intcode);
    if (info->intcode == NOTIFY_SCENE_PRE_DELETED_NODE)
        heard->deletedNames.push_back(static_cast<INode*>(info->callParam)->GetName());
}

void ListenOnce(void* param, NotifyInfo* info) {
    Listen(param, info);
    UnRegisterNotification(ListenOnce, param, info->intcode);
}

TEST_F(HostServicesTest, LifetimeNotificationsReachRegisteredProcedures) {
    Heard heard;
    const int codes[] = {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_FILE_PRE_OPEN,
                         NOTIFY_SCENE_PRE_DELETED_NODE};
    for (int code : codes)
        RegisterNotification(Listen, &heard, code);
    RegisterNotification(Listen, &heard, NOTIFY_FILE_PRE_OPEN); // twice: still once
    Heard once;
    RegisterNotification(ListenOnce, &once, NOTIFY_SCENE_PRE_DELETED_NODE);

    INode* a = Host().CreateObjectNode(CreateNewTriObject());
    a->SetName(_T("Gone"));
    Host().DeleteNode(a);
    Host().DeleteNode(Host().CreateObjectNode(nullptr));
    EXPECT_EQ(heard.deletedNames.size(), 2u);
    EXPECT_EQ(heard.deletedNames[0], _T("Gone"));
    EXPECT_EQ(once.codes.size(), 1u);

    std::vector<BYTE> bytes;
    ASSERT_TRUE(SaveScene(Host(), bytes));
    heard.codes.clear();
    // A refused file leaves the scene and says nothing.
    std::vector<BYTE> broken(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
    EXPECT_FALSE(LoadScene(Host(), broken));
    EXPECT_TRUE(heard.codes.empty());
    ASSERT_TRUE(LoadScene(Host(), bytes));
    ASSERT_FALSE(heard.codes.empty());
    EXPECT_EQ(heard.codes.front(), NOTIFY_FILE_PRE_OPEN);
    heard.codes.clear();
    Host().ResetScene();
    EXPECT_EQ(heard.codes, std::vector<int>{NOTIFY_SYSTEM_PRE_RESET});

    for (int code : codes)
        EXPECT_EQ(UnRegisterNotification(Listen, &heard, code), 1);
    EXPECT_EQ(UnRegisterNotification(Listen, &heard, NOTIFY_FILE_PRE_OPEN), 0);
}

// --- list boxes -----------------------------------------------------------------------------

TEST_F(HostServicesTest, ListBoxMessagesKeepItemsAndSelection) {
    HostWindow window;
    HWND w = &window;
    EXPECT_EQ(SendDlgItemMessage(nullptr, 1, LB_GETCOUNT, 0, 0), LB_ERR);
    EXPECT_EQ(SendDlgItemMessage(w, 7, LB_GETCOUNT, 0, 0), LB_ERR);
    for (const MCHAR* name : {_T("a"), _T("b"), _T("c")})
        SendDlgItemMessage(w, 7, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    EXPECT_EQ(SendDlgItemMessage(w, 7, LB_GETCOUNT, 0, 0), 3);
    SendDlgItemMessage(w, 7, LB_SETSEL, TRUE, -1);
    SendDlgItemMessage(w, 7, LB_SETSEL, FALSE, 1);
    EXPECT_EQ(SendDlgItemMessage(w, 7, LB_SETSEL, TRUE, 3), LB_ERR);
    int items[4] = {-1, -1, -1, -1};
    ASSERT_EQ(SendDlgItemMessage(w, 7, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)), 2);
    EXPECT_EQ(items[0], 0);
    EXPECT_EQ(items[1], 2);
    // The capacity bounds what is written.
    items[0] = items[1] = -1;
    EXPECT_EQ(SendDlgItemMessage(w, 7, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(items)), 1);
    EXPECT_EQ(items[1], -1);
    MSTR text;
    SendDlgItemMessage(w, 7, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(&text));
    EXPECT_EQ(text, _T("c"));
    SendDlgItemMessage(w, 7, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendDlgItemMessage(w, 7, LB_GETSELCOUNT, 0, 0), 0);
    SendDlgItemMessage(w, 9, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendDlgItemMessage(w, 9, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
}

} // namespace
