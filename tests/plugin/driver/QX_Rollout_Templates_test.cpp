// The module's dialog templates and bitmaps against the world's and the modifier's parameter
// blocks: every rollout opens from its template with every bound control of the right kind, and
// the controls the procedures address are there.

#include "tests/plugin/driver/QX_Driver_Test_Support.h"

#include "host/CustomControls.h"
#include "host/DialogScript.h"

#include <map>

namespace QX_Driver_Test {
namespace {

using Ids = std::vector<int>;

class RolloutTemplatesTest : public DriverTest {
protected:
    void TearDown() override {
        Host().GetRollouts().CloseAll();
        DriverTest::TearDown();
    }
    /// Titles of the open rollouts in order.
    std::vector<MSTR> Titles() {
        std::vector<MSTR> titles;
        for (int i = 0; i < Host().GetRollouts().Count(); ++i)
            titles.push_back(Host().GetRollouts().Get(i)->Title());
        return titles;
    }
    /// Ids among `ids` that rollout `title` lacks.
    Ids Missing(const MCHAR* title, const Ids& ids) {
        HWND rollout = script.FindRollout(title);
        Ids missing;
        for (int id : ids) {
            if (!rollout || !GetDlgItem(rollout, id))
                missing.push_back(id);
        }
        return missing;
    }
    /// Texts of the rollout's static labels.
    std::vector<std::string> Labels(const MCHAR* title) {
        std::vector<std::string> labels;
        HWND rollout = script.FindRollout(title);
        for (const auto& c : rollout->children) {
            if (c->kind == ControlKind::Static || c->kind == ControlKind::GroupBox)
                labels.push_back(ToUtf8(c->text));
        }
        return labels;
    }
    bool HasLabel(const MCHAR* title, const char* label) {
        const std::vector<std::string> labels = Labels(title);
        return std::find(labels.begin(), labels.end(), label) != labels.end();
    }

    DialogScript script{*GetCOREInterface()};
};

TEST_F(RolloutTemplatesTest, WorldRolloutsOpenWithEveryControl) {
    QX_BULLET_OBJ* world = MakeWorld();
    Host().GetRollouts().ClearProblems();
    GetQX_BULLET_OBJ_Desc()->BeginEditParams(&Host(), world, 0, nullptr);
    EXPECT_EQ(Host().GetRollouts().Problems(), std::vector<std::string>{});
    EXPECT_EQ(Titles(),
              (std::vector<MSTR>{_T("Simulation Objects"), _T("World"), _T("Global Advanced"),
                                 _T("Supporting Objects"), _T("About")}));
    EXPECT_TRUE(Host().GetRollouts().Get(4)->RolledUp());
    EXPECT_EQ(Missing(_T("World"), {1024, 1025, 2003, 2002, 2183, 2184, 2046, 2045, 2018,
                                    2019, 1057, 2020, 2021, 2024, 2025, 1030, 1031, 1005,
                                    1059, 1026, 2152, 1028, 1023, 2163, 2110, 1058}),
              Ids{});
    EXPECT_EQ(Missing(_T("Simulation Objects"), {2033, 2028, 2029, 2030, 2031, 2032}), Ids{});
    EXPECT_EQ(Missing(_T("Global Advanced"), {2051, 2052, 2054, 2055, 2056, 2057, 2188, 2058, 2059,
                                              2060, 2061, 2062, 2063, 2064, 2065, 2066, 2067}),
              Ids{});
    EXPECT_EQ(Missing(_T("Supporting Objects"), {1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039}),
              Ids{});
    for (const char* label :
         {" Properties ", "Size :", "Time Scale :", "Size Scale :", "Sub Steps :", "Gravity :",
          "Ground :", " Simulation ", "Start :", "End :", "Range :"})
        EXPECT_TRUE(HasLabel(_T("World"), label)) << label;
    for (const char* label : {" Damping ", " Sleeping ", "Bad Mesh :", "Time (ms) :"})
        EXPECT_TRUE(HasLabel(_T("Global Advanced"), label)) << label;
    EXPECT_TRUE(HasLabel(_T("Supporting Objects"), "Srength :"));
    EXPECT_TRUE(HasLabel(_T("About"), "Quarix Bullet"));
    EXPECT_TRUE(HasLabel(_T("About"), "Version 2.2"));

    HWND main = script.FindRollout(_T("World"));
    EXPECT_EQ(script.Read(main, 2045).value, 5.0);
    EXPECT_EQ(script.Read(main, 2046).text, "5");
    EXPECT_TRUE(script.Read(main, 1057).checked); // ground on
    EXPECT_TRUE(script.Read(main, 1005).checkButton);
    for (int push : {2163, 2110, 1058})
        EXPECT_FALSE(script.Read(main, push).checkButton) << push;
    EXPECT_TRUE(script.Read(script.FindRollout(_T("Simulation Objects")), 2033).multiSelect);
    HWND about = script.FindRollout(_T("About"));
    for (int id : {1040, 1041, 1047, 12000, 12009})
        EXPECT_FALSE(script.Read(about, id).visible) << id;

    // A spinner typed beyond its range writes the range's end.
    ASSERT_TRUE(script.TypeText(main, 2046, _T("500")));
    Host().GetMessageLoop().DeliverPosted();
    EXPECT_EQ(world->Params()->GetInt(WorldParam::SimuleSpeed), 100);
    GetQX_BULLET_OBJ_Desc()->EndEditParams(&Host(), world, 0, nullptr);
    EXPECT_EQ(Host().GetRollouts().Count(), 0);
}

TEST_F(RolloutTemplatesTest, ModifierRolloutsOpenWithEveryControl) {
    QX_RIGID_MOD* mod = Rigid(BoxNode(10.0f));
    Host().GetRollouts().ClearProblems();
    GetQXRigidModDesc()->BeginEditParams(&Host(), mod, 0, nullptr);
    EXPECT_EQ(Host().GetRollouts().Problems(), std::vector<std::string>{});
    EXPECT_EQ(Titles(), (std::vector<MSTR>{_T("Properties"), _T("Demolition"), _T("Activation"),
                                           _T("Advanced"), _T("Animation")}));
    EXPECT_EQ(
        Missing(_T("Properties"), {2193, 2194, 2195, 1048, 1049, 1050, 2007, 2008, 2009, 2174, 2175,
                                   2010, 2011, 2012, 2013, 1051, 1052, 1053, 1054, 1055, 1056, 2036,
                                   2037, 2038, 2039, 2040, 2041, 2042, 2043, 2044, 1008, 1009}),
        Ids{});
    EXPECT_EQ(Missing(_T("Demolition"),
                      {2132, 2133, 2134, 2135, 2126, 1007, 1012, 2053, 2124, 2125, 2128, 2127,
                       2136, 2137, 2154, 2142, 2143, 2140, 2141, 2157, 2158, 2159, 2160, 2190,
                       2191, 2146, 2147, 2148, 2149, 2171, 2172, 2177, 2178, 2179, 2180}),
              Ids{});
    EXPECT_EQ(Missing(_T("Activation"), {2047, 2048, 2049, 2050, 1006, 2123, 2167, 2102, 2103, 2105,
                                         2107, 2108, 2111, 2114, 2115, 2168}),
              Ids{});
    EXPECT_EQ(Missing(_T("Advanced"), {2068, 1010, 1011, 2015, 2016, 2186, 1013, 1014, 1015, 1016,
                                       1017, 1018, 1019, 1020, 1021, 1022, 2085, 2086}),
              Ids{});
    EXPECT_EQ(Missing(_T("Animation"),
                      {2070, 2071, 2072, 2073, 2080, 2074, 2075, 2076, 2077, 1004, 2069, 2113}),
              Ids{});
    for (const char* label : {"Box Min Size :", "Amount :", "Seed :", "Debris :", "Density :",
                              "Friction :", "Variation :", "Restitution :", "Solidity :"})
        EXPECT_TRUE(HasLabel(_T("Properties"), label)) << label;
    for (const char* label :
         {"Probability :", "Safe Frames :", "To Clusters :", "To Elements :", "Enable :", "Depth :",
          "To Fragments :", "Mat ID :", "Variation % :", "Depth Fade :", "Bias :", "Max Amount :",
          "Min Size :", "Min Speed :"})
        EXPECT_TRUE(HasLabel(_T("Demolition"), label)) << label;
    for (const char* label : {"By Velocity :", "By Offset :", "Continuity :", "By Geometry :",
                              "By Frame :", "By Force :", "By Collision :", "By Distance :"})
        EXPECT_TRUE(HasLabel(_T("Activation"), label)) << label;
    for (const char* label : {"Start :", "End :", "Delete :", "Colors :", "Suffix :"})
        EXPECT_TRUE(HasLabel(_T("Animation"), label)) << label;

    HWND props = script.FindRollout(_T("Properties"));
    EXPECT_EQ(script.Read(props, 2036).items.size(), 10u);
    EXPECT_EQ(script.Read(props, 2036).curSel, 2);
    EXPECT_EQ(script.Read(props, 2193).items,
              (std::vector<std::string>{"Static", "Dynamic", "Kinematic", "Dead"}));
    for (int hidden : {1048, 1049, 1050, 2010, 2013})
        EXPECT_FALSE(script.Read(props, hidden).visible) << hidden;
    HWND anim = script.FindRollout(_T("Animation"));
    EXPECT_EQ(script.Read(anim, 2080).text, "<NONE>");
    EXPECT_EQ(script.Read(anim, 2076).text, "_b_");
    for (int push : {1004, 2069, 2113})
        EXPECT_FALSE(script.Read(anim, push).checkButton) << push;
    EXPECT_EQ(script.Read(script.FindRollout(_T("Demolition")), 2053).text, "Capture<NONE>");
    GetQXRigidModDesc()->EndEditParams(&Host(), mod, 0, nullptr);
}

TEST_F(RolloutTemplatesTest, ModuleBitmapsCutIntoTheButtonImages) {
    struct Sheet {
        int image, mask, cx, cy, count;
    };
    for (const Sheet& s : {Sheet{2078, 2079, 54, 16, 3}, Sheet{0x81E, 0x81F, 54, 16, 3},
                           Sheet{2034, 2035, 25, 25, 5}}) {
        HBITMAP image = LoadBitmap(QX_ModuleInstance(), s.image);
        HBITMAP mask = LoadBitmap(QX_ModuleInstance(), s.mask);
        ASSERT_NE(image, nullptr) << s.image;
        ASSERT_NE(mask, nullptr) << s.mask;
        HIMAGELIST list = ImageList_Create(s.cx, s.cy, ILC_COLOR32 | ILC_MASK, s.count, 0);
        EXPECT_EQ(ImageList_Add(list, image, mask), 0);
        EXPECT_EQ(ImageList_GetImageCount(list), s.count) << s.image;
        // The images differ from each other (each state and tool is told apart).
        for (int i = 1; i < ImageList_GetImageCount(list); ++i)
            EXPECT_NE(list->images[static_cast<size_t>(i)].pixels,
                      list->images[static_cast<size_t>(i - 1)].pixels)
                << s.image << " image " << i;
        DeleteObject(image);
        DeleteObject(mask);
        ImageList_Destroy(list);
    }
}

} // namespace
} // namespace QX_Driver_Test
