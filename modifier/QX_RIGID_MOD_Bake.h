#pragma once
// "Bake" of the Animation rollout: one new mesh node per simulated body, keyed to replay the
// recorded motion, named after the source node, optionally coloured at random, and the source
// node deleted afterwards in one undoable step.

#include "core/QX_BT_MeshController.h"
#include "host/INode.h"
#include "host/ParamBlock2.h"
#include "host/Tab.h"

#include <string>

class QX_RIGID_MOD;

/// How pieces are hidden outside their life span ("Explode Type").
namespace QX_Hide_Mode {
inline constexpr int Visibility = 0; ///< "Hide By Visibility": stepped visibility keys 0 / 1
inline constexpr int Scale = 1;      ///< "Hide By Scale": a transform with zero axes
inline constexpr int None = 2;       ///< "Do Not Hide"
} // namespace QX_Hide_Mode

/// The Animation rollout's values that a bake reads.
struct QX_Bake_Settings {
    int start = 0;                           ///< "Explode Start", frame
    int end = 100;                           ///< "Explode End", frame (exclusive)
    std::wstring suffix = L"_b_";            ///< "ExplodeSuffix"
    bool deleteSource = true;                ///< "ExplodeDel"
    bool randomColours = true;               ///< "ExplodeRandColors"
    int hideMode = QX_Hide_Mode::Visibility; ///< "Explode Type"
};

/// Reads the bake settings from the modifier's parameter block at time `t`.
QX_Bake_Settings ReadBakeSettings(IParamBlock2& pb, TimeValue t);

/// What a bake did, for the caller's message.
struct QX_Bake_Report {
    int nodes = 0;          ///< nodes appended to the output table
    int skippedRecords = 0; ///< pending records that could not be baked (damaged file)
};

/// Bakes the core's live bodies (after bringing pending records up to date) of the object on
/// `source` into new nodes appended to `out`. Returns `settings.deleteSource`.
bool BakeBodies(Quarix::QX_BT_MeshController& core, INode* source, const QX_Bake_Settings& settings,
                Tab<INode*>& out, QX_Bake_Report* report = nullptr);

/// The same from the core's pending body records of a loaded, not yet rebuilt simulation: a
/// record's faces are those of its group's element lists, its centre its group's. Records whose
/// group or faces are out of range are skipped and counted. Returns `settings.deleteSource`.
bool BakeRecords(Quarix::QX_BT_MeshController& core, INode* source,
                 const QX_Bake_Settings& settings, Tab<INode*>& out,
                 QX_Bake_Report* report = nullptr);

/// BakeBodies for a rigid modifier: its core, its node, its parameters at the current time.
bool BakeToNodes(QX_RIGID_MOD& mod, Tab<INode*>& out, QX_Bake_Report* report = nullptr);
/// BakeRecords for a rigid modifier.
bool BakeToNodesFromRecords(QX_RIGID_MOD& mod, Tab<INode*>& out, QX_Bake_Report* report = nullptr);

/// What the rollout does after a bake that returned `deleteSource`: when it is true and nodes
/// were made, selects them and deletes `source` in one undo record named "Delete After
/// Explode". Returns true when the source node was deleted.
bool DeleteAfterExplode(INode* source, const Tab<INode*>& made, bool deleteSource);
