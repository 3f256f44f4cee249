#pragma once
// Controllers: keyframed tracks that give a value at any time. Float and integer controllers hold
// Bezier-style keys (linear or step segments); the transform controller holds separate position
// (linear), rotation (quaternion slerp) and scale (linear) tracks.
//
// Setting a value honours the animate mode: with animation on, a key is made at the time (and,
// for a track without keys, one at time 0 keeping the old value); with animation off the whole
// track moves by the change, or the constant value is replaced when there are no keys.

#include "host/Quat.h"
#include "host/Reference.h"

#include <vector>

/// How GetValue / SetValue combine the controller's value with the one passed in.
enum GetSetMethod {
    CTRL_ABSOLUTE, ///< the value is the controller's own value
    CTRL_RELATIVE, ///< Get: combined with the incoming value (added; for matrices value * in)
};

/// A key as handed through IKeyControl. `flags` carries the tangent types.
class IKey {
public:
    TimeValue time = 0;
    DWORD flags = 0;
};

/// Key of the keyframed float controller.
class IBezFloatKey : public IKey {
public:
    float val = 0.0f;
    float intan = 0.0f;
    float outtan = 0.0f;
};

/// Tangent types stored in the key flags (in-tangent at bit 7, out-tangent at bit 10). A step
/// tangent holds the key's value until the next key; others interpolate linearly.
inline constexpr DWORD BEZKEY_SMOOTH = 0;
inline constexpr DWORD BEZKEY_LINEAR = 1;
inline constexpr DWORD BEZKEY_STEP = 2;
inline constexpr int BEZKEY_INTYPESHIFT = 7;
inline constexpr int BEZKEY_OUTTYPESHIFT = 10;
inline constexpr DWORD BEZKEY_TYPEMASK = 7;
inline DWORD GetInTanType(DWORD flags) {
    return (flags >> BEZKEY_INTYPESHIFT) & BEZKEY_TYPEMASK;
}
inline DWORD GetOutTanType(DWORD flags) {
    return (flags >> BEZKEY_OUTTYPESHIFT) & BEZKEY_TYPEMASK;
}
inline void SetInTanType(DWORD& flags, DWORD type) {
    flags = (flags & ~(BEZKEY_TYPEMASK << BEZKEY_INTYPESHIFT)) | (type << BEZKEY_INTYPESHIFT);
}
inline void SetOutTanType(DWORD& flags, DWORD type) {
    flags = (flags & ~(BEZKEY_TYPEMASK << BEZKEY_OUTTYPESHIFT)) | (type << BEZKEY_OUTTYPESHIFT);
}

/// Key access of keyframed controllers (GetInterface(I_KEYCONTROL)). The key pointers must point
/// at the controller's key type (IBezFloatKey for float and integer controllers).
class IKeyControl {
public:
    virtual ~IKeyControl() = default;
    virtual int GetNumKeys() = 0;
    /// Resizes the key list (new keys copy the value at their time 0).
    virtual void SetNumKeys(int n) = 0;
    /// Copies key i into *key; false for a bad index.
    virtual bool GetKey(int i, IKey* key) = 0;
    /// Replaces key i; false for a bad index. Keys are re-sorted by time.
    virtual bool SetKey(int i, IKey* key) = 0;
    /// Adds a key (replacing one at the same time); returns its index after sorting.
    virtual int AppendKey(IKey* key) = 0;
    virtual void SortKeys() = 0;
    virtual int GetKeySize() = 0;
};

/// The key-control interface of an animatable, or null.
inline IKeyControl* GetKeyControlInterface(Animatable* anim) {
    return anim ? static_cast<IKeyControl*>(anim->GetInterface(I_KEYCONTROL)) : nullptr;
}

/// Base of all controllers. `val` points at the controller's value type: float, int, or for
/// transform controllers Matrix3 (GetValue) and SetXFormPacket (SetValue).
class Control : public ReferenceTarget {
public:
    /// Writes the value at t into *val and intersects `valid` with the interval over which it
    /// holds. Matrix controllers with CTRL_RELATIVE expect the parent transform in *val and
    /// return value * parent.
    virtual void GetValue(TimeValue t, void* val, Interval& valid,
                          GetSetMethod method = CTRL_ABSOLUTE) = 0;
    /// Sets the value at t (see the animate-mode rules above); notifies dependents.
    virtual void SetValue(TimeValue t, void* val, int commit = 1,
                          GetSetMethod method = CTRL_ABSOLUTE) = 0;
    /// Number of keys (for transform controllers, of all three tracks together).
    virtual int NumKeys() { return 0; }
    /// True when the value changes over time.
    virtual bool IsAnimated() { return NumKeys() > 0; }
};

/// Which change a SetXFormPacket asks for.
enum SetXFormCommand { XFORM_MOVE, XFORM_ROTATE, XFORM_SCALE, XFORM_SET };

/// A transform edit for a matrix controller, expressed in world space: the controller's world
/// transform W = value * tmParent is changed and the new value is W' * inverse(tmParent).
/// Move: W' = W translated by p given in the tmAxis frame. Rotate / scale: about the tmAxis
/// origin (or the transform's own origin when localOrigin), axes of the tmAxis frame.
/// Set: W' = tm.
class SetXFormPacket {
public:
    SetXFormCommand command = XFORM_SET;
    Matrix3 tmParent;
    Matrix3 tmAxis;
    Matrix3 tm;
    Point3 p;
    Quat q;
    AngAxis aa;
    BOOL localOrigin = FALSE;

    /// Set to the world transform `mat` under parent `parent`.
    explicit SetXFormPacket(const Matrix3& mat, const Matrix3& parent = Matrix3())
        : command(XFORM_SET), tmParent(parent), tm(mat) {}
    /// Move by `pt` in the axis frame.
    SetXFormPacket(const Point3& pt, const Matrix3& parent, const Matrix3& axis)
        : command(XFORM_MOVE), tmParent(parent), tmAxis(axis), p(pt) {}
    /// Rotate by an axis-angle in the axis frame.
    SetXFormPacket(const AngAxis& rotation, BOOL local, const Matrix3& parent, const Matrix3& axis)
        : command(XFORM_ROTATE), tmParent(parent), tmAxis(axis), q(rotation), aa(rotation),
          localOrigin(local) {}
    /// Rotate by a quaternion in the axis frame.
    SetXFormPacket(const Quat& rotation, BOOL local, const Matrix3& parent, const Matrix3& axis)
        : command(XFORM_ROTATE), tmParent(parent), tmAxis(axis), q(rotation), aa(rotation),
          localOrigin(local) {}
    /// Scale by `scale` along the axis frame's axes.
    SetXFormPacket(const Point3& scale, BOOL local, const Matrix3& parent, const Matrix3& axis)
        : command(XFORM_SCALE), tmParent(parent), tmAxis(axis), p(scale), localOrigin(local) {}
};

/// One key of a transform track.
template <class T>
struct TrackKey {
    TimeValue time = 0;
    T value{};
    /// Hold the value until the next key instead of interpolating.
    bool step = false;
};

/// Keyframed float (or integer) controller, classes floatControllerClassID /
/// intControllerClassID. Offers IKeyControl with IBezFloatKey keys.
class FloatController : public Control, public IKeyControl {
public:
    /// A float controller, or with `integer` an integer one (values rounded to nearest).
    explicit FloatController(bool integer = false) : m_integer(integer) {}

    Class_ID ClassID() override {
        return m_integer ? intControllerClassID : floatControllerClassID;
    }
    SClass_ID SuperClassID() override {
        return m_integer ? CTRL_INTEGER_CLASS_ID : CTRL_FLOAT_CLASS_ID;
    }
    void GetClassName(MSTR& s, bool localized = true) const override;
    void* GetInterface(ULONG id) override;

    void GetValue(TimeValue t, void* val, Interval& valid,
                  GetSetMethod method = CTRL_ABSOLUTE) override;
    void SetValue(TimeValue t, void* val, int commit = 1,
                  GetSetMethod method = CTRL_ABSOLUTE) override;
    int NumKeys() override { return static_cast<int>(m_keys.size()); }
    /// The value at t as a float (before integer rounding).
    float Evaluate(TimeValue t, Interval* valid = nullptr) const;

    int GetNumKeys() override { return NumKeys(); }
    void SetNumKeys(int n) override;
    bool GetKey(int i, IKey* key) override;
    bool SetKey(int i, IKey* key) override;
    int AppendKey(IKey* key) override;
    void SortKeys() override;
    int GetKeySize() override { return static_cast<int>(sizeof(IBezFloatKey)); }

    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    void SetFloat(TimeValue t, float v);

    bool m_integer;
    float m_constant = 0.0f;
    std::vector<IBezFloatKey> m_keys;
};

/// Position / rotation / scale transform controller (prsControllerClassID); its value is
/// ScaleMatrix(scale) * rotation * TransMatrix(position). Also the default Matrix3 controller.
class PRSController : public Control {
public:
    Class_ID ClassID() override { return prsControllerClassID; }
    SClass_ID SuperClassID() override { return CTRL_MATRIX3_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;

    /// *val is a Matrix3; with CTRL_RELATIVE it holds the parent transform on entry.
    void GetValue(TimeValue t, void* val, Interval& valid,
                  GetSetMethod method = CTRL_ABSOLUTE) override;
    /// *val is a SetXFormPacket.
    void SetValue(TimeValue t, void* val, int commit = 1,
                  GetSetMethod method = CTRL_ABSOLUTE) override;
    int NumKeys() override;

    /// The local transform at t.
    Matrix3 Evaluate(TimeValue t, Interval* valid = nullptr) const;
    /// Sets the local transform at t under the animate-mode rules.
    void SetLocal(TimeValue t, const Matrix3& local);

    /// Direct key editing (for importers, bakes and tests). Keys are kept sorted; a key at an
    /// existing time replaces it.
    void SetPositionKey(TimeValue t, const Point3& p, bool step = false);
    void SetRotationKey(TimeValue t, const Quat& q, bool step = false);
    void SetScaleKey(TimeValue t, const Point3& s, bool step = false);
    const std::vector<TrackKey<Point3>>& PositionKeys() const { return m_pos; }
    const std::vector<TrackKey<Quat>>& RotationKeys() const { return m_rot; }
    const std::vector<TrackKey<Point3>>& ScaleKeys() const { return m_scale; }

    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    Point3 m_constPos;
    Quat m_constRot;
    Point3 m_constScale = Point3(1.0f, 1.0f, 1.0f);
    std::vector<TrackKey<Point3>> m_pos;
    std::vector<TrackKey<Quat>> m_rot;
    std::vector<TrackKey<Point3>> m_scale;
};

/// A new default Matrix3 controller (a PRSController at the identity), not yet referenced.
Control* NewDefaultMatrix3Controller();
/// A new default float controller (value 0, no keys), not yet referenced.
Control* NewDefaultFloatController();

/// Animate mode: while on, setting animatable values makes keys.
void AnimateOn();
void AnimateOff();
BOOL Animating();
/// Temporarily turns animation off; ResumeAnimate restores the mode. Nests.
void SuspendAnimate();
void ResumeAnimate();
