#include "world/QX_World_Strings.h"

#include <array>

namespace Quarix {

namespace {

// Texts as the module's string table holds them, misspellings included: scripts and saved
// layouts know them by these words.
constexpr std::array<QX_World_String, 25> kWorldStrings = {{
    {2, _T("Quarix")},
    {3, _T("QX_Bullet")},
    {4, _T("Simulation Objects")},
    {5, _T("Size")},
    {21, _T("Gravity")},
    {22, _T("Start Simule Frame")},
    {24, _T("End Simule Frame")},
    {26, _T("World")},
    {44, _T("Gravity")},
    {45, _T("Simule Speed")},
    {50, _T("Global Solidity")},
    {53, _T("Global Advanced")},
    {55, _T("Supporting Objects")},
    {121, _T("About")},
    {2001, _T("Delta Time")},
    {104, _T("Pick Node for Simulation")},
    {118, _T("Simulate from Start frame to End frame.")},
    {130, _T("Simulate from Start frame to End frame in infinite loop.")},
    {132, _T("Simualte from Start frame to Time Slider frame and shows final result. Resimulate "
             "if some property was changed.")},
    {135, _T("Pick Node for Supporting")},
    {149, _T("Simulate all objects in one frame and save their transformation when turned Off "
             "for further use.")},
    {159, _T("Use scene grid as inifinite ground for collisions.")},
    {165, _T("Simulate from last simulated frame to End frame.")},
    {2153, _T("Restart Loop simulation if some property was changed.")},
    {1, _T("Quarix Bullet Physic World")},
}};

// One buffer, as the module's resource lookup keeps: a text stays valid until the next lookup.
constexpr int kBufferChars = 256;
MCHAR g_buffer[kBufferChars];

} // namespace

std::span<const QX_World_String> QX_World_StringTable() {
    return kWorldStrings;
}

const MCHAR* QX_World_GetString(UINT id, HINSTANCE instance) {
    if (instance && LoadString(instance, id, g_buffer, kBufferChars) > 0)
        return g_buffer;
    for (const QX_World_String& s : kWorldStrings) {
        if (s.id == id)
            return s.text;
    }
    return nullptr;
}

} // namespace Quarix
