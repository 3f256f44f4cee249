#pragma once
// Playback of a simulated object, body by body: what an exporter or a viewer needs to show the
// recorded motion without knowing how the simulation stores it. A modifier that simulates
// bodies answers Animatable::GetInterface(I_QX_BODY_PLAYBACK) with this interface (owned by the
// modifier, valid while the modifier lives and its results are not reset).

#include "host/Matrix3.h"
#include "host/Mesh.h"
#include "host/Reference.h"

/// Interface number of IQXBodyPlayback.
inline constexpr ULONG I_QX_BODY_PLAYBACK = 0x51580001;

/// Read access to the recorded bodies of one simulated object. Frames are simulation frames
/// (host frames, time / ticks per frame); sizes are scene units.
class IQXBodyPlayback {
public:
    virtual ~IQXBodyPlayback() = default;

    /// Number of bodies ever made by the recorded simulation (demolition pieces included); 0 when
    /// the object was never simulated. Bodies are numbered 0..count-1 in a stable order.
    virtual int BodyCount() = 0;
    /// Frames recorded, counted from FirstFrame(); 0 when never simulated.
    virtual int RecordedFrameCount() = 0;
    /// The frame of the first recorded state.
    virtual int FirstFrame() = 0;
    /// The piece mesh of body i in the body's own space (the space GetBodyTM places in the
    /// world). False, with `mesh` untouched, for a bad index.
    virtual bool GetBodyMesh(int i, Mesh& mesh) = 0;
    /// The world transform of body i at `frame` (fractions interpolate). False when the body is
    /// not alive at that frame (not yet born, or gone after a demolition) or i is bad.
    virtual bool GetBodyTM(int i, float frame, Matrix3& tm) = 0;
    /// The frames between which body i is alive: [birth, death). death is
    /// FirstFrame() + RecordedFrameCount() (or larger) for a body that lives to the end. False
    /// for a bad index.
    virtual bool GetBodyLife(int i, float& birth, float& death) = 0;
};

/// The playback interface of an animatable (a modifier), or null.
inline IQXBodyPlayback* GetBodyPlaybackInterface(Animatable* anim) {
    return anim ? static_cast<IQXBodyPlayback*>(anim->GetInterface(I_QX_BODY_PLAYBACK)) : nullptr;
}
