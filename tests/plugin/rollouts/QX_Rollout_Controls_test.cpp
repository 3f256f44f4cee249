// Every control the rollouts are specified with is rendered by the dialog model, with its kind,
// hidden where it must be hidden, and the templates agree with the parameter bindings.

#include "tests/plugin/rollouts/QX_Rollout_Test_Support.h"

#include <map>

namespace QX_Rollout_Test {
namespace {

struct Expected {
    const MCHAR* title;
    std::vector<int> shown;
    std::vector<int> hidden;
};

std::vector<int> Range(int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id)
        ids.push_back(id);
    return ids;
}

class RolloutControlsTest : public RolloutTest {
protected:
    /// The ids of `expected` that the open rollout lacks, or shows when they must be hidden (and
    /// the other way round), as readable lines.
    std::vector<std::string> Missing(const std::vector<Expected>& expected) {
        std::vector<std::string> missing;
        for (const Expected& e : expected) {
            HWND rollout = script.FindRollout(e.title);
            if (!rollout) {
                missing.push_back("rollout " + ToUtf8(e.title));
                continue;
            }
            for (bool hidden : {false, true}) {
                for (int id : hidden ? e.hidden : e.shown) {
                    const ControlSnapshot c = script.Read(rollout, id);
                    if (c.id != id || c.kind == "unknown")
                        missing.push_back(ToUtf8(e.title) + " " + std::to_string(id));
                    else if (c.visible == hidden)
                        missing.push_back(ToUtf8(e.title) + " " + std::to_string(id) +
                                          (hidden ? " shown" : " hidden"));
                }
            }
        }
        return missing;
    }
};

TEST_F(RolloutControlsTest, TheWorldRolloutsRenderEveryControl) {
    Host().GetRollouts().ClearProblems();
    EditWorld(MakeWorld());
    std::vector<int> about = Range(1040, 1047);
    for (int id : Range(12000, 12009))
        about.push_back(id);
    const std::vector<Expected> expected{
        {_T("World"),
         {1024, 1025, 2003, 2002, 2183, 2184, 2046, 2045, 2018, 2019, 1057, 2020, 2021,
          2024, 2025, 1030, 1031, 1005, 1059, 1026, 2152, 1028, 1023, 2163, 2110, 1058},
         {}},
        {_T("Simulation Objects"), {2033, 2028, 2029, 2030, 2031, 2032}, {}},
        {_T("Global Advanced"),
         {2051, 2052, 2054, 2055, 2056, 2057, 2188, 2058, 2059, 2060, 2061, 2062, 2063, 2064, 2065,
          2066, 2067},
         {}},
        {_T("Supporting Objects"), {1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039}, {}},
        {_T("About"), {}, about},
    };
    EXPECT_EQ(Missing(expected), std::vector<std::string>{});
    EXPECT_EQ(Host().GetRollouts().Problems(), std::vector<std::string>{});
    // Kinds the procedures rely on.
    HWND world = Rollout(_T("World"));
    EXPECT_EQ(script.Read(world, WorldControl::Range).kind, "button");
    EXPECT_TRUE(script.Read(world, WorldControl::Range).checkButton);
    EXPECT_FALSE(script.Read(world, WorldControl::Reset).checkButton);
    EXPECT_EQ(script.Read(Rollout(_T("Simulation Objects")), 2033).kind, "list");
    EXPECT_TRUE(script.Read(Rollout(_T("Simulation Objects")), 2033).multiSelect);
}

TEST_F(RolloutControlsTest, TheModifierRolloutsRenderEveryControl) {
    Host().GetRollouts().ClearProblems();
    EditModifier(Rigid(BoxNode(20.0f)));
    std::vector<int> properties{2193, 2194, 2195, 2174, 2175, 2036};
    for (int id : Range(1051, 1056))
        properties.push_back(id);
    for (int id : Range(2037, 2044))
        properties.push_back(id);
    properties.push_back(1008);
    properties.push_back(1009);
    const std::vector<Expected> expected{
        {_T("Properties"),
         properties,
         {1048, 1049, 1050, 2007, 2008, 2009, 2010, 2011, 2012, 2013}},
        {_T("Demolition"),
         {2132, 2133, 2134, 2135, 2126, 1007, 1012, 2053, 2124, 2125, 2128,
          2127, 2136, 2137, 2154, 2142, 2143, 2140, 2141, 2157, 2158, 2159,
          2160, 2190, 2191, 2146, 2147, 2148, 2149, 2171, 2172},
         {2177, 2178, 2179, 2180}},
        {_T("Activation"),
         {2047, 2048, 2049, 2050, 1006, 2123, 2167, 2102, 2103, 2105, 2107, 2108, 2111, 2114, 2115,
          2168},
         {}},
        {_T("Advanced"),
         {2068, 1010, 1011, 2015, 2016, 2186, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021,
          1022},
         {2085, 2086}},
        {_T("Animation"),
         {2070, 2071, 2072, 2073, 2080, 2074, 2075, 2076, 2077, 1004, 2069, 2113},
         {}},
    };
    EXPECT_EQ(Missing(expected), std::vector<std::string>{});
    EXPECT_EQ(Host().GetRollouts().Problems(), std::vector<std::string>{});
    HWND properties0 = Rollout(_T("Properties"));
    EXPECT_EQ(script.Read(properties0, QX_RigidControl::MaterialPreset).items.size(), 10u);
}

} // namespace
} // namespace QX_Rollout_Test
