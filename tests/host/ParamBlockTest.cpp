#include "tests/host/HostTestSupport.h"

namespace {

class ParamBlockTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mod = NewTestLift();
        ASSERT_NE(mod, nullptr);
        pb = mod->GetParamBlock(0);
        ASSERT_NE(pb, nullptr);
        // Owned by a node's stack so that the scene frees it.
        IDerivedObject* derived = CreateDerivedObject(CreateNewTriObject());
        derived->AddModifier(mod);
        owner = Host().CreateObjectNode(derived);
    }
    Modifier* mod = nullptr;
    IParamBlock2* pb = nullptr;
    INode* owner = nullptr;
};

TEST_F(ParamBlockTest, AutomaticBlockHoldsTheDescribedDefaults) {
    EXPECT_EQ(pb->ID(), 0);
    EXPECT_EQ(pb->GetOwner(), mod);
    EXPECT_EQ(pb->NumParams(), 6);
    EXPECT_EQ(pb->GetFloat(kLiftParam), 0.0f);
    EXPECT_EQ(pb->GetInt(kCountParam), 25);
    EXPECT_EQ(pb->GetInt(kEnabledParam), 1);
    EXPECT_FLOAT_EQ(pb->GetFloat(kMarginParam), 0.5f);
    EXPECT_EQ(MSTR(pb->GetStr(kSuffixParam)), _T("_b_"));
    EXPECT_EQ(pb->Count(kNodesParam), 0);
    const ParamBlockDesc2* desc = pb->GetDesc();
    EXPECT_EQ(desc->flags, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP);
    ASSERT_EQ(desc->Rollouts().size(), 2u);
    EXPECT_EQ(desc->Rollouts()[1].dialogId, 102);
    const ParamDef* margin = pb->GetParamDef(kMarginParam);
    ASSERT_NE(margin, nullptr);
    EXPECT_EQ(margin->ui.type, TYPE_SPINNER);
    EXPECT_EQ(margin->ui.controls, (std::vector<int>{1005, 1006}));
    EXPECT_EQ(pb->GetParamDef(kEnabledParam)->flags, 0x40000020);
    EXPECT_TRUE(desc->Validate());
}

TEST_F(ParamBlockTest, ValuesByIdAndByNameWithTypeAndRangeChecks) {
    EXPECT_TRUE(pb->SetValue(kCountParam, 0, 7));
    EXPECT_EQ(pb->GetInt(kCountParam), 7);
    EXPECT_TRUE(pb->SetValue(kSuffixParam, 0, _T("_piece_")));
    EXPECT_EQ(MSTR(pb->GetStr(kSuffixParam)), _T("_piece_"));
    // Wrong type and unknown id: refused, nothing changes.
    EXPECT_FALSE(pb->SetValue(kSuffixParam, 0, 3));
    EXPECT_FALSE(pb->SetValue(99, 0, 1.0f));
    EXPECT_EQ(pb->GetInt(99), 0);
    // A float written into an int parameter rounds.
    EXPECT_TRUE(pb->SetValue(kCountParam, 0, 2.6f));
    EXPECT_EQ(pb->GetInt(kCountParam), 3);
    // Float parameters hold single-precision values exactly.
    EXPECT_TRUE(pb->SetValue(kMarginParam, 0, 0.82));
    EXPECT_EQ(pb->GetFloat(kMarginParam), 0.82f);

    EXPECT_EQ(pb->FindParamByName(_T("Count")), kCountParam);
    EXPECT_EQ(pb->FindParamByName(_T("count")), -1);
    std::string error;
    EXPECT_TRUE(pb->SetValueByName(_T("Count"), 0, 40, &error)) << error;
    EXPECT_EQ(pb->GetInt(kCountParam), 40);
    EXPECT_FALSE(pb->SetValueByName(_T("Count"), 0, 1, &error));
    EXPECT_NE(error.find("outside"), std::string::npos) << error;
    EXPECT_FALSE(pb->SetValueByName(_T("Nope"), 0, 1, &error));
    EXPECT_FALSE(pb->SetValueByName(_T("Suffix"), 0, 1, &error));
}

TEST_F(ParamBlockTest, AnimatableParametersKeyOnlyInAnimateMode) {
    const int tpf = GetTicksPerFrame();
    pb->SetValue(kLiftParam, 5 * tpf, 2.0f); // animate off: constant
    EXPECT_FALSE(pb->IsAnimated(kLiftParam));
    AnimateOn();
    pb->SetValue(kLiftParam, 10 * tpf, 12.0f);
    pb->SetValue(kCountParam, 10 * tpf, 30); // not animatable: no key
    AnimateOff();
    EXPECT_EQ(pb->GetKeyTimes(kLiftParam), (std::vector<TimeValue>{0, 10 * tpf}));
    EXPECT_FALSE(pb->IsAnimated(kCountParam));
    EXPECT_FLOAT_EQ(pb->GetFloat(kLiftParam, 5 * tpf), 7.0f);
    Interval valid = FOREVER;
    float v = 0.0f;
    pb->GetValue(kLiftParam, 5 * tpf, v, valid);
    EXPECT_EQ(valid, Interval(5 * tpf, 5 * tpf));
    EXPECT_EQ(pb->GetInt(kCountParam, 0), 30);
}

TEST_F(ParamBlockTest, NodeTablesKeepOrderAndLoseDeletedNodes) {
    INode* a = Host().CreateObjectNode(nullptr);
    INode* b = Host().CreateObjectNode(nullptr);
    INode* c = Host().CreateObjectNode(nullptr);
    INode* list[] = {a, b, c};
    EXPECT_EQ(pb->Append(kNodesParam, 3, list), 3);
    EXPECT_EQ(pb->Append(kNodesParam, 1, &a), 4); // duplicates allowed; appends go to the end
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 3), a);
    EXPECT_EQ(pb->LastNotifyParamID(), kNodesParam);

    Host().DeleteNode(b);
    ASSERT_EQ(pb->Count(kNodesParam), 4);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 1), nullptr); // an empty entry, not a dangling one
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 2), c);

    EXPECT_EQ(pb->Delete(kNodesParam, 1, 2), 2);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 1), a);
    EXPECT_THROW(pb->GetINode(kNodesParam, 0, 2), std::out_of_range);
    try {
        pb->Delete(kNodesParam, 1, 5);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), Tab<int>::kRangeMessage);
        EXPECT_EQ(std::string(e.what()).find("SDK"), std::string::npos);
    }
    EXPECT_EQ(pb->Append(kCountParam, 1, &a), -1); // not a table
    // Deleting a node held by the table does not free the table's other nodes.
    Host().DeleteNode(a);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), nullptr);
    EXPECT_EQ(Host().GetINodeByHandle(c->GetHandle()), c);
}

TEST_F(ParamBlockTest, OwnerHearsChangesUnlessNotificationsAreOff) {
    auto lastChanged = TestModuleFunction<TestLiftCounterFn>("QxTestLiftLastChanged");
    ASSERT_NE(lastChanged, nullptr);
    pb->SetValue(kMarginParam, 0, 2.0f);
    EXPECT_EQ(lastChanged(mod), kMarginParam);
    pb->EnableNotifications(FALSE);
    pb->SetValue(kCountParam, 0, 9);
    EXPECT_EQ(lastChanged(mod), kMarginParam);
    EXPECT_EQ(pb->LastNotifyParamID(), kCountParam);
    pb->EnableNotifications(TRUE);
    // Changes of a listed node are not changes of the block.
    INode* n = Host().CreateObjectNode(nullptr);
    pb->Append(kNodesParam, 1, &n);
    pb->SetValue(kCountParam, 0, 10);
    n->SetWireColor(RGB(9, 9, 9));
    EXPECT_EQ(lastChanged(mod), kCountParam);
}

TEST_F(ParamBlockTest, ResetAllRestoresDefaults) {
    INode* n = Host().CreateObjectNode(nullptr);
    pb->Append(kNodesParam, 1, &n);
    pb->SetValue(kCountParam, 0, 99);
    pb->ResetAll();
    EXPECT_EQ(pb->GetInt(kCountParam), 25);
    EXPECT_EQ(pb->Count(kNodesParam), 0);
    EXPECT_TRUE(n->GetDependents().empty());
}

} // namespace
