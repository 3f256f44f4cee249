#pragma once
// The standard sub-object transform command modes. An object creates them when it is edited and
// hands them to the host in ActivateSubobjSel; the host (here: the caller, as a user's drag)
// applies a transform through them. Each mode asks the object for its sub-object transforms to
// find the axis frame, then calls the object's Move, Rotate or Scale.

#include "host/Object.h"

/// Command mode classes (CommandMode::Class).
inline constexpr int MOVE_COMMAND = 1;
inline constexpr int ROTATE_COMMAND = 2;
inline constexpr int SCALE_COMMAND = 3;
inline constexpr int USCALE_COMMAND = 4;
inline constexpr int SQUASH_COMMAND = 5;

/// Base of the five transform modes: the edited object and how to reach its axis frame.
class TransformModBoxCMode : public CommandMode {
public:
    /// `obj` is the object whose sub-objects are transformed (not owned).
    TransformModBoxCMode(BaseObject* obj, IObjParam* ip) : m_obj(obj), m_ip(ip) {}
    BaseObject* EditedObject() const { return m_obj; }
    /// The sub-object centres the object reports at t for `node` (empty when none).
    std::vector<Point3> Centers(TimeValue t, INode* node, ModContext* mc = nullptr) const;
    /// The axis frame of the edit: the first sub-object transform the object reports, or the
    /// node's object transform when it reports none.
    Matrix3 AxisFrame(TimeValue t, INode* node, ModContext* mc = nullptr) const;

protected:
    /// The node's object transform at t (identity without a node): the parent of the edit.
    static Matrix3 ParentFrame(TimeValue t, INode* node);

    BaseObject* m_obj;
    IObjParam* m_ip;
};

/// Moves sub-objects by a vector given in the axis frame.
class MoveModBoxCMode : public TransformModBoxCMode {
public:
    using TransformModBoxCMode::TransformModBoxCMode;
    int Class() const override { return MOVE_COMMAND; }
    void Apply(TimeValue t, INode* node, const Point3& delta, ModContext* mc = nullptr);
};

/// Rotates sub-objects about the axis frame's origin.
class RotateModBoxCMode : public TransformModBoxCMode {
public:
    using TransformModBoxCMode::TransformModBoxCMode;
    int Class() const override { return ROTATE_COMMAND; }
    void Apply(TimeValue t, INode* node, const Quat& rotation, BOOL localOrigin = FALSE,
               ModContext* mc = nullptr);
};

/// Scales sub-objects along the axis frame's axes (the three scale modes differ only in how the
/// user's drag becomes the factors).
class ScaleModBoxCModeBase : public TransformModBoxCMode {
public:
    using TransformModBoxCMode::TransformModBoxCMode;
    void Apply(TimeValue t, INode* node, const Point3& factors, BOOL localOrigin = FALSE,
               ModContext* mc = nullptr);
};

class NUScaleModBoxCMode : public ScaleModBoxCModeBase {
public:
    using ScaleModBoxCModeBase::ScaleModBoxCModeBase;
    int Class() const override { return SCALE_COMMAND; }
};

class UScaleModBoxCMode : public ScaleModBoxCModeBase {
public:
    using ScaleModBoxCModeBase::ScaleModBoxCModeBase;
    int Class() const override { return USCALE_COMMAND; }
};

class SquashModBoxCMode : public ScaleModBoxCModeBase {
public:
    using ScaleModBoxCModeBase::ScaleModBoxCModeBase;
    int Class() const override { return SQUASH_COMMAND; }
};
