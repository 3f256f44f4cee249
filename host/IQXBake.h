#pragma once
// Baking a simulated object into ordinary animated nodes: what a script or the command-line tool
// uses instead of the modifier's "Bake" button. A modifier that simulates bodies answers
// Animatable::GetInterface(I_QX_BAKE) with this interface (owned by the modifier, valid while the
// modifier lives).

#include "host/INode.h"
#include "host/Reference.h"
#include "host/Tab.h"

/// Interface number of IQXBake.
inline constexpr ULONG I_QX_BAKE = 0x51580003;

/// The bake of one simulated object, with the settings of its own parameters.
class IQXBake {
public:
    virtual ~IQXBake() = default;
    /// Makes one mesh node per simulated piece, keyed (transform and visibility) over the
    /// object's bake range, and appends them to `made`; `skippedRecords`, when not null, gets the
    /// number of stored records too damaged to bake. When the object's settings ask for it and
    /// nodes were made, its node is deleted afterwards (one undo step): the return value is then
    /// true, and the modifier and this interface may be gone, so callers use neither again.
    virtual bool Bake(Tab<INode*>& made, int* skippedRecords) = 0;
};

/// The bake interface of an animatable (a modifier), or null.
inline IQXBake* GetBakeInterface(Animatable* anim) {
    return anim ? static_cast<IQXBake*>(anim->GetInterface(I_QX_BAKE)) : nullptr;
}
