#pragma once
// The rigid modifier's recorded bodies, one by one, for exporters and viewers.

#include "core/QX_BT_Body.h"
#include "host/IQXBodyPlayback.h"

class QX_RIGID_MOD;

/// Playback of the bodies of one rigid modifier's object core. Frames are scene frames; sizes are
/// scene units. Piece meshes are expressed about the body's centre and taken out of the
/// simulation's scale (the world's scale factor and the node's scale at the last build), so that
/// the piece under GetBodyTM lands where the evaluated object shows it.
class QX_Body_Playback : public IQXBodyPlayback {
public:
    /// Answers for `owner` (not owned; the modifier owns this object).
    explicit QX_Body_Playback(QX_RIGID_MOD& owner) : m_owner(owner) {}

    int BodyCount() override;
    int RecordedFrameCount() override;
    int FirstFrame() override;
    bool GetBodyMesh(int i, Mesh& mesh) override;
    bool GetBodyTM(int i, float frame, Matrix3& tm) override;
    bool GetBodyLife(int i, float& birth, float& death) override;

private:
    /// Body i after the core brought loaded records to life, or null for a bad index.
    const Quarix::QX_BT_Body* Body(int i);
    int StartFrame();

    QX_RIGID_MOD& m_owner;
};
