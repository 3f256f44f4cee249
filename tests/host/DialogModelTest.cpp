// The dialog model driven as a user would: rollouts opened from templates, controls bound to a
// block both ways, user procedures, posted actions between timer ticks.

#include "host/CustomControls.h"
#include "host/DialogScript.h"
#include "tests/host/HostTestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace {

enum : ParamID {
    kHeight,
    kCount,
    kMargin,
    kActive,
    kFlag,
    kMode,
    kSuffix,
    kSecret,
    kLevel,
    kOrphan
};

const char* const kPanelTemplates = R"(
dialog 500 108 150
group 9001 2 2 104 60 " Values "
  static -1 4 12 40 8 "Height :"
  edit 10 50 12 36 10
  spinner 11 88 12 8 10
  edit 12 50 24 36 10
  spinner 13 88 24 8 10
  edit 14 50 36 36 10
  spinner 15 88 36 8 10
endgroup
button 20 4 66 40 12 "Active"
checkbox 21 50 66 40 12 "Flag"
combo 22 4 80 60 12
edit 23 4 94 60 10
button 24 4 106 40 12 "Secret"
list 30 4 118 100 28 multi
button 31 70 80 30 12 "Go"
dialog 501 108 40
edit 40 4 4 36 10
spinner 41 42 4 8 10
)";

class PanelDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 0; }
    void* Create(BOOL) override;
    const MCHAR* ClassName() override { return _T("Dialog Panel"); }
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x51584450, 0x414E4C31); }
    const MCHAR* Category() override { return _T("Tests"); }
    HINSTANCE HInstance() override { return module; }
    HINSTANCE module = nullptr;
};

PanelDesc g_panelDesc;
ParamBlockDesc2 g_panelParams(0, _T("panel"), 0, &g_panelDesc,
                              P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);

/// An object holding the panel block in reference 0.
class PanelObject : public ReferenceTarget {
public:
    PanelObject() { g_panelDesc.MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return g_panelDesc.ClassID(); }
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
    void GetClassName(MSTR& s, bool) const override { s = _T("Dialog Panel"); }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle r) override { pb = static_cast<IParamBlock2*>(r); }
    IParamBlock2* pb = nullptr;
};

void* PanelDesc::Create(BOOL) {
    return new PanelObject;
}

void DescribePanel() {
    static bool done = false;
    if (done)
        return;
    done = true;
    ParamBlockDesc2& d = g_panelParams;
    d.AddRollout(0, 500, 1);
    d.AddRollout(1, 501, 2, APPENDROLL_CLOSED);
    d.AddParam(kHeight, _T("Height"), TYPE_FLOAT, P_ANIMATABLE, 0)
        .Default(2.5f)
        .Range(0.0, 10.0)
        .Spinner(0, EDITTYPE_FLOAT, 10, 11);
    d.AddParam(kCount, _T("Count"), TYPE_INT, 0, 0)
        .Default(5)
        .Range(1.0, 50.0)
        .Spinner(0, EDITTYPE_INT, 12, 13);
    d.AddParam(kMargin, _T("Margin"), TYPE_WORLD, 0, 0)
        .Default(0.0f)
        .Spinner(0, EDITTYPE_UNIVERSE, 14, 15, 0.5f);
    d.AddParam(kActive, _T("Active"), TYPE_BOOL, 0, 0).Default(false).CheckButton(0, 20);
    d.AddParam(kFlag, _T("Flag"), TYPE_BOOL, 0, 0).Default(true).CheckBox(0, 21);
    d.AddParam(kMode, _T("Mode"), TYPE_INT, 0, 0)
        .Default(1)
        .Range(0.0, 2.0)
        .ComboBox(0, 22, {_T("Low"), _T("Mid"), _T("High")});
    d.AddParam(kSuffix, _T("Suffix"), TYPE_STRING, 0, 0).Default(_T("_b_")).EditBox(0, 23);
    d.AddParam(kSecret, _T("Secret"), TYPE_BOOL, 0, 0).Default(false).CheckButton(0, 24).Hidden();
    d.AddParam(kLevel, _T("Level"), TYPE_INT, 0, 0)
        .Default(3)
        .Range(0.0, 9.0)
        .Spinner(1, EDITTYPE_INT, 40, 41);
    // Bound to a control the template of map 1 lacks.
    d.AddParam(kOrphan, _T("Orphan"), TYPE_BOOL, 0, 0).Default(false).CheckButton(1, 42);
    HostModule* module = GetCOREInterface()->GetModules().CreateInProcessModule("dialog panel");
    SetStringResource(module, 1, _T("Panel"));
    SetStringResource(module, 2, _T("Extras"));
    std::string error;
    ASSERT_TRUE(AddDialogResources(module, kPanelTemplates, "panel.txt", &error)) << error;
    g_panelDesc.module = module;
}

/// A user procedure that writes down every message it gets (with the bound value of "Active"
/// and "Height" seen at that moment) into a log the test owns.
struct ProcLog {
    struct Entry {
        UINT msg;
        UINT id;
        UINT code;
        int active;
        float height;
    };
    std::vector<Entry> entries;
    int deleted = 0;
    std::vector<UINT> Codes(UINT msg) const {
        std::vector<UINT> out;
        for (const Entry& e : entries) {
            if (e.msg == msg)
                out.push_back(msg == WM_COMMAND ? e.code : e.id);
        }
        return out;
    }
};

class LoggingProc : public ParamMap2UserDlgProc {
public:
    explicit LoggingProc(ProcLog& log) : m_log(log) {}
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND, UINT msg, WPARAM w, LPARAM) override {
        IParamBlock2* pb = map->GetParamBlock();
        m_log.entries.push_back({msg, LOWORD(w), HIWORD(w), pb ? pb->GetInt(kActive, t) : -1,
                                 pb ? pb->GetFloat(kHeight, t) : -1.0f});
        return 0;
    }
    void DeleteThis() override {
        ++m_log.deleted;
        delete this;
    }

private:
    ProcLog& m_log;
};

class DialogModelTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        DescribePanel();
        obj = new PanelObject;
        pb = obj->pb;
        g_panelDesc.BeginEditParams(&Host(), obj, 0, nullptr);
        panel = script.FindRollout(_T("Panel"), obj);
        ASSERT_NE(panel, nullptr);
        pb->GetMap(0)->SetUserDlgProc(new LoggingProc(log));
    }
    void TearDown() override {
        if (obj) {
            g_panelDesc.EndEditParams(&Host(), obj, 0, nullptr);
            obj->DeleteThis();
        }
        HostTest::TearDown();
    }
    void Deliver() { Host().GetMessageLoop().DeliverPosted(); }
    ControlSnapshot Read(int id) { return script.Read(panel, id); }

    DialogScript script{*GetCOREInterface()};
    PanelObject* obj = nullptr;
    IParamBlock2* pb = nullptr;
    HWND panel = nullptr;
    ProcLog log;
};

TEST_F(DialogModelTest, OpensARolloutPerMapAndClosesThemWithTheirProcedures) {
    RolloutList& rollouts = Host().GetRollouts();
    ASSERT_EQ(rollouts.Count(), 2);
    EXPECT_EQ(rollouts.Get(0)->Title(), _T("Panel"));
    EXPECT_FALSE(rollouts.Get(0)->RolledUp());
    EXPECT_EQ(rollouts.Get(1)->Title(), _T("Extras"));
    EXPECT_TRUE(rollouts.Get(1)->RolledUp());
    EXPECT_EQ(pb->GetMap(0)->GetHWnd(), panel);
    EXPECT_EQ(g_panelDesc.GetParamMap(&g_panelParams, 1), pb->GetMap(1));
    EXPECT_EQ(script.Read(panel, 22).items, (std::vector<std::string>{"Low", "Mid", "High"}));
    EXPECT_EQ(Read(10).group, 9001);
    // The control the template lacks is made, and the mismatch reported.
    ASSERT_EQ(rollouts.Problems().size(), 1u);
    EXPECT_NE(rollouts.Problems()[0].find("dialog 501 has no control 42"), std::string::npos);
    EXPECT_EQ(script.Read(rollouts.Get(1)->Window(), 42).kind, "button");
    Host().GetRollouts().ClearProblems();
    // Opening again while open adds nothing.
    g_panelDesc.BeginEditParams(&Host(), obj, 0, nullptr);
    EXPECT_EQ(rollouts.Count(), 2);
    EXPECT_EQ(log.Codes(WM_INITDIALOG).size(), 1u);

    g_panelDesc.EndEditParams(&Host(), obj, 0, nullptr);
    EXPECT_EQ(rollouts.Count(), 0);
    EXPECT_EQ(pb->GetMap(0), nullptr);
    EXPECT_EQ(script.FindRollout(_T("Panel")), nullptr);
    ASSERT_FALSE(log.entries.empty());
    EXPECT_EQ(log.entries.back().msg, WM_DESTROY);
    EXPECT_EQ(log.deleted, 1);
}

TEST_F(DialogModelTest, SpinnersWriteClampedValuesAndFollowTheBlock) {
    EXPECT_EQ(Read(11).value, 2.5);
    EXPECT_EQ(Read(10).text, "2.500");
    EXPECT_EQ(Read(11).minValue, 0.0);
    EXPECT_EQ(Read(11).maxValue, 10.0);
    EXPECT_EQ(Read(13).units, "int");
    EXPECT_EQ(Read(15).units, "world");
    EXPECT_EQ(Read(15).scale, 0.5f);

    ASSERT_TRUE(script.SetSpinner(panel, 11, 7.25));
    EXPECT_EQ(pb->GetFloat(kHeight), 2.5f); // posted, not yet delivered
    Deliver();
    EXPECT_EQ(pb->GetFloat(kHeight), 7.25f);
    EXPECT_EQ(log.Codes(CC_SPINNER_CHANGE), std::vector<UINT>{11});
    EXPECT_EQ(log.entries.back().height, 7.25f); // the procedure sees the written value

    // Typed text: out of range clamps to the parameter's range, a non-number changes nothing.
    ASSERT_TRUE(script.TypeText(panel, 10, _T("25")));
    Deliver();
    EXPECT_EQ(pb->GetFloat(kHeight), 10.0f);
    EXPECT_EQ(Read(10).text, "10.000");
    script.TypeText(panel, 10, _T(" -3 "));
    Deliver();
    EXPECT_EQ(pb->GetFloat(kHeight), 0.0f);
    script.TypeText(panel, 10, _T("4x"));
    Deliver();
    EXPECT_EQ(pb->GetFloat(kHeight), 0.0f);
    EXPECT_EQ(Read(10).text, "0.000");
    script.TypeText(panel, 12, _T("7.6"));
    script.TypeText(panel, 12, _T("7.6"));
    Deliver();
    EXPECT_EQ(pb->GetInt(kCount), 8);
    EXPECT_EQ(Read(12).text, "8");

    // The block's changes, undo included, show in the controls.
    pb->SetValue(kHeight, 0, 5.0f);
    EXPECT_EQ(Read(11).value, 5.0);
    EXPECT_EQ(Read(10).text, "5.000");
    ASSERT_TRUE(Host().GetHold().Undo()); // the typed count
    EXPECT_EQ(pb->GetInt(kCount), 5);
    EXPECT_EQ(Read(13).value, 5.0);
    EXPECT_EQ(Read(12).text, "5");
}

TEST_F(DialogModelTest, AnimatedSpinnerWritesAtTheCurrentTimeAndFollowsTheTimeSlider) {
    const TimeValue frame10 = 10 * GetTicksPerFrame();
    Host().SetAnimateMode(true);
    Host().SetTime(frame10, FALSE);
    script.SetSpinner(panel, 11, 8.0);
    Deliver();
    Host().SetAnimateMode(false);
    EXPECT_TRUE(pb->IsAnimated(kHeight));
    EXPECT_EQ(pb->GetFloat(kHeight, frame10), 8.0f);
    EXPECT_EQ(Read(11).value, 8.0);
    Host().SetTime(0, FALSE);
    EXPECT_EQ(Read(11).value, static_cast<double>(pb->GetFloat(kHeight, 0)));
    EXPECT_NE(Read(11).value, 8.0);
}

TEST_F(DialogModelTest, ButtonsBoxesAndCombosWriteTheirParametersBeforeTheProcedureRuns) {
    EXPECT_TRUE(Read(20).checkButton);
    EXPECT_FALSE(Read(20).checked);
    EXPECT_FALSE(Read(31).checkButton); // unbound custom buttons push
    EXPECT_TRUE(Read(21).checked);
    EXPECT_EQ(Read(22).curSel, 1);

    script.Click(panel, 20);
    script.Click(panel, 21);
    script.SelectComboItem(panel, 22, 2);
    script.Click(panel, 31);
    Deliver();
    EXPECT_EQ(pb->GetInt(kActive), 1);
    EXPECT_EQ(pb->GetInt(kFlag), 0);
    EXPECT_EQ(pb->GetInt(kMode), 2);
    EXPECT_FALSE(Read(31).checked);
    const std::vector<ProcLog::Entry>& e = log.entries;
    ASSERT_EQ(e.size(), 5u); // WM_INITDIALOG and four commands, in posting order
    EXPECT_EQ(e[1].id, 20u);
    EXPECT_EQ(e[1].code, BN_CLICKED);
    EXPECT_EQ(e[1].active, 1);
    EXPECT_EQ(e[2].id, 21u);
    EXPECT_EQ(e[3].id, 22u);
    EXPECT_EQ(e[3].code, CBN_SELCHANGE);
    EXPECT_EQ(e[4].id, 31u);

    // Every edit is one undo record; undo shows the old state in the controls.
    ASSERT_TRUE(Host().GetHold().Undo());
    EXPECT_EQ(Read(22).curSel, 1);
    ASSERT_TRUE(Host().GetHold().Undo());
    EXPECT_TRUE(Read(21).checked);
    pb->SetValue(kActive, 0, false);
    EXPECT_FALSE(Read(20).checked);
    pb->SetValue(kMode, 0, 7); // outside the items: nothing selected
    EXPECT_EQ(Read(22).curSel, -1);
    EXPECT_FALSE(script.SelectComboItem(panel, 22, 3));
}

TEST_F(DialogModelTest, EditFieldsTakeTextAndReportFocus) {
    EXPECT_EQ(Read(23).text, "_b_");
    ASSERT_TRUE(script.TypeText(panel, 23, _T("_piece_")));
    Deliver();
    EXPECT_EQ(MSTR(pb->GetStr(kSuffix)), _T("_piece_"));
    EXPECT_TRUE(Read(23).focused);
    EXPECT_EQ(log.Codes(WM_COMMAND), (std::vector<UINT>{EN_SETFOCUS, EN_CHANGE}));
    EXPECT_EQ(log.Codes(WM_CUSTEDIT_ENTER), std::vector<UINT>{23});
    ICustEdit* edit = GetICustEdit(GetDlgItem(panel, 23));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->HasFocus());
    ReleaseICustEdit(edit);

    // Focus moves to another field, then away from all.
    script.Focus(panel, 10);
    script.Focus(panel, 0);
    Deliver();
    EXPECT_FALSE(Read(23).focused);
    EXPECT_FALSE(Read(10).focused);
    EXPECT_EQ(log.Codes(WM_COMMAND),
              (std::vector<UINT>{EN_SETFOCUS, EN_CHANGE, EN_KILLFOCUS, EN_SETFOCUS, EN_KILLFOCUS}));
    pb->SetValue(kSuffix, 0, _T("_x_"));
    EXPECT_EQ(Read(23).text, "_x_");
}

TEST_F(DialogModelTest, HiddenAndDisabledControls) {
    EXPECT_FALSE(Read(24).visible);
    // The map keeps hidden controls hidden when it refreshes.
    pb->SetValue(kSecret, 0, true);
    EXPECT_FALSE(Read(24).visible);
    EXPECT_TRUE(Read(24).checked);
    // Hidden controls can still be driven by a program.
    EXPECT_TRUE(script.Click(panel, 24));
    Deliver();
    EXPECT_EQ(pb->GetInt(kSecret), 0);

    pb->GetMap(0)->Enable(kHeight, FALSE);
    EXPECT_FALSE(Read(10).enabled);
    EXPECT_FALSE(Read(11).enabled);
    std::string error;
    EXPECT_FALSE(script.SetSpinner(panel, 11, 3.0, &error));
    EXPECT_NE(error.find("disabled"), std::string::npos);
    EXPECT_FALSE(script.Click(panel, 11, &error)); // a spinner is not clicked
    EXPECT_FALSE(script.Click(panel, 77, &error));
    EXPECT_NE(error.find("no control 77"), std::string::npos);

    // An action posted before its control was disabled is dropped at delivery.
    ASSERT_TRUE(script.Click(panel, 20));
    EnableWindow(GetDlgItem(panel, 20), FALSE);
    Deliver();
    EXPECT_EQ(pb->GetInt(kActive), 0);
    EXPECT_FALSE(Read(20).enabled);
}

TEST_F(DialogModelTest, ListBoxesSelectAndDoubleClick) {
    for (const MCHAR* name : {_T("Box001"), _T("Box002"), _T("Box003")})
        SendDlgItemMessage(panel, 30, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    script.SelectListItem(panel, 30, 1);
    script.SelectListItem(panel, 30, 2, true);
    Deliver();
    EXPECT_EQ(Read(30).selection, (std::vector<int>{1, 2}));
    EXPECT_EQ(SendDlgItemMessage(panel, 30, LB_GETSELCOUNT, 0, 0), 2);
    script.SelectListItem(panel, 30, 1, true); // extending toggles
    Deliver();
    EXPECT_EQ(Read(30).selection, std::vector<int>{2});
    script.DoubleClick(panel, 30, 0);
    Deliver();
    EXPECT_EQ(Read(30).selection, std::vector<int>{0});
    EXPECT_EQ(log.Codes(WM_COMMAND), (std::vector<UINT>{LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE,
                                                        LBN_SELCHANGE, LBN_DBLCLK}));
    std::string error;
    EXPECT_FALSE(script.DoubleClick(panel, 30, 3, &error));
    EXPECT_NE(error.find("no item 3"), std::string::npos);
}

TEST_F(DialogModelTest, ProceduresAttachedLateAreInitialisedAndReplacedOnesDeleted) {
    ProcLog second;
    pb->GetMap(0)->SetUserDlgProc(new LoggingProc(second));
    EXPECT_EQ(log.deleted, 1);
    EXPECT_EQ(second.Codes(WM_INITDIALOG).size(), 1u);
    pb->GetMap(0)->SetUserDlgProc(nullptr); // `second` goes out of scope
    EXPECT_EQ(second.deleted, 1);
    // A map of a rollout that is not open takes no procedure.
    EXPECT_FALSE(g_panelDesc.SetUserDlgProc(&g_panelParams, 3, nullptr));
}

TEST_F(DialogModelTest, ActionsAreDeliveredBetweenTimerTicksInPostingOrder) {
    static std::vector<std::string>* trace = nullptr;
    static DialogScript* sharedScript = nullptr;
    static HWND sharedPanel = nullptr;
    std::vector<std::string> events;
    trace = &events;
    sharedScript = &script;
    sharedPanel = panel;
    struct Tick {
        static void Proc(HWND, UINT, UINT_PTR, DWORD) {
            trace->push_back("tick begin");
            // An action made inside a tick waits until the tick has returned.
            sharedScript->Click(sharedPanel, 31);
            trace->push_back("tick end");
        }
    };
    class TraceProc : public ParamMap2UserDlgProc {
    public:
        INT_PTR DlgProc(TimeValue, IParamMap2*, HWND, UINT msg, WPARAM w, LPARAM) override {
            if (msg == WM_COMMAND)
                trace->push_back("command " + std::to_string(LOWORD(w)));
            return 0;
        }
        void DeleteThis() override { delete this; }
    };
    pb->GetMap(0)->SetUserDlgProc(new TraceProc);
    MessageLoop& loop = Host().GetMessageLoop();
    const UINT_PTR timer = loop.SetTimer(nullptr, 0, 10, &Tick::Proc);
    script.Click(panel, 20);
    script.Click(panel, 21);
    EXPECT_EQ(loop.PendingPosted(), 2);
    EXPECT_EQ(loop.RunTicks(2), 2);
    loop.KillTimer(nullptr, timer);
    EXPECT_EQ(events,
              (std::vector<std::string>{"command 20", "command 21", "tick begin", "tick end",
                                        "command 31", "tick begin", "tick end", "command 31"}));
    trace = nullptr;
}

TEST_F(DialogModelTest, ActionsForClosedRolloutsOrDeletedBlocksAreDropped) {
    ASSERT_TRUE(script.Click(panel, 20));
    g_panelDesc.EndEditParams(&Host(), obj, 0, nullptr);
    EXPECT_EQ(Host().GetMessageLoop().DeliverPosted(), 1);
    EXPECT_EQ(pb->GetInt(kActive), 0);
    std::string error;
    EXPECT_FALSE(script.Click(panel, 20, &error));
    EXPECT_EQ(error, "no such open rollout");

    // The object (and its block) deleted while its rollouts stay open: the map forgets the
    // block and the controls stop binding.
    g_panelDesc.BeginEditParams(&Host(), obj, 0, nullptr);
    panel = script.FindRollout(_T("Panel"));
    obj->DeleteThis();
    obj = nullptr;
    EXPECT_EQ(Host().GetRollouts().Get(0)->Map()->GetParamBlock(), nullptr);
    ASSERT_TRUE(script.Click(panel, 20));
    Deliver();
    EXPECT_TRUE(Read(20).checked);
    Host().GetRollouts().CloseAll();
}

TEST_F(DialogModelTest, CustomButtonImagesFollowEnabledAndCheckedStates) {
    HIMAGELIST list = ImageList_Create(4, 2, ILC_COLOR32 | ILC_MASK, 4, 0);
    ICustButton* button = GetICustButton(GetDlgItem(panel, 20));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetICustButton(GetDlgItem(panel, 11)), nullptr);
    EXPECT_EQ(Read(20).image, -1);
    button->SetImage(list, 0, 1, 2, 3, 54, 16);
    button->SetHighlightColor(RGB(255, 100, 0));
    EXPECT_EQ(Read(20).image, 0);
    button->SetCheck(TRUE);
    EXPECT_EQ(Read(20).image, 1);
    button->Disable();
    EXPECT_EQ(Read(20).image, 3);
    button->SetCheck(FALSE);
    EXPECT_EQ(Read(20).image, 2);
    EXPECT_EQ(Read(20).highlight, 0x000064FFu);
    button->SetText(_T("On \"air\""));
    ReleaseICustButton(button);
    ImageList_Destroy(list);

    const std::string json = SnapshotToJson(SnapshotRollouts(Host().GetRollouts()));
    EXPECT_EQ(json.rfind("{\"rollouts\":[{\"serial\":", 0), 0u);
    EXPECT_NE(json.find("\"text\":\"On \\\"air\\\"\""), std::string::npos);
    EXPECT_NE(json.find("\"title\":\"Extras\""), std::string::npos);
    EXPECT_NE(json.find("\"items\":[\"Low\",\"Mid\",\"High\"]"), std::string::npos);
    EXPECT_EQ(json.back(), '}');
}

} // namespace
