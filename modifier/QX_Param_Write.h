#pragma once
// Writes into a parameter block that only touch a value when it differs: an unchanged value then
// sends no change notification (and no needless re-evaluation).

#include "host/ParamBlock2.h"

/// Sets float parameter `id` at t to v unless it already holds v.
inline void SetFloatIfDifferent(IParamBlock2& pb, ParamID id, TimeValue t, float v) {
    if (pb.GetFloat(id, t) != v)
        pb.SetValue(id, t, v);
}

/// Sets int (or bool) parameter `id` at t to v unless it already holds v.
inline void SetIntIfDifferent(IParamBlock2& pb, ParamID id, TimeValue t, int v) {
    if (pb.GetInt(id, t) != v)
        pb.SetValue(id, t, v);
}
