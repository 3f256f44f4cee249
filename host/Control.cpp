#include "host/Control.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr USHORT kFloatConstChunk = 0x0100;
constexpr USHORT kFloatKeysChunk = 0x0101;
constexpr USHORT kPrsConstChunk = 0x0200;
constexpr USHORT kPrsPosChunk = 0x0201;
constexpr USHORT kPrsRotChunk = 0x0202;
constexpr USHORT kPrsScaleChunk = 0x0203;

Point3 Lerp(const Point3& a, const Point3& b, float u) {
    return a + (b - a) * u;
}

// Value of a sorted key list at t. Outside the keys the end values hold; a step key holds until
// the next key. `valid` shrinks to the span over which the returned value stays the same.
template <class T, class Interp>
T EvalTrack(const std::vector<TrackKey<T>>& keys, const T& constant, TimeValue t, Interval& valid,
            Interp interp) {
    if (keys.empty())
        return constant;
    if (t <= keys.front().time) {
        valid &= Interval(TIME_NegInfinity, keys.front().time);
        return keys.front().value;
    }
    if (t >= keys.back().time) {
        valid &= Interval(keys.back().time, TIME_PosInfinity);
        return keys.back().value;
    }
    auto next = std::upper_bound(keys.begin(), keys.end(), t,
                                 [](TimeValue v, const TrackKey<T>& k) { return v < k.time; });
    const TrackKey<T>& a = *(next - 1);
    const TrackKey<T>& b = *next;
    if (a.step) {
        valid &= Interval(a.time, b.time - 1);
        return a.value;
    }
    valid &= Interval(t, t);
    float u = static_cast<float>(static_cast<double>(t - a.time) / (b.time - a.time));
    return interp(a.value, b.value, u);
}

template <class T>
void PutKey(std::vector<TrackKey<T>>& keys, TimeValue t, const T& v, bool step) {
    auto it = std::lower_bound(keys.begin(), keys.end(), t,
                               [](const TrackKey<T>& k, TimeValue v2) { return k.time < v2; });
    if (it != keys.end() && it->time == t) {
        it->value = v;
        it->step = step;
    } else {
        keys.insert(it, TrackKey<T>{t, v, step});
    }
}

// Applies the animate-mode rules to one track. `offset(key, current, target)` moves one key by
// the change from current to target when the track is edited with animation off.
template <class T, class Offset>
void SetTrack(std::vector<TrackKey<T>>& keys, T& constant, TimeValue t, const T& current,
              const T& value, Offset offset) {
    if (Animating()) {
        if (keys.empty() && t != 0)
            PutKey(keys, 0, constant, false);
        PutKey(keys, t, value, false);
    } else if (keys.empty()) {
        constant = value;
    } else {
        for (TrackKey<T>& key : keys)
            key.value = offset(key.value, current, value);
    }
}

IOResult WriteFloats(ISave& isave, const float* v, int n) {
    for (int i = 0; i < n; ++i) {
        if (WriteValue(isave, v[i]) != IO_OK)
            return IO_ERROR;
    }
    return IO_OK;
}

IOResult ReadFloats(ILoad& iload, float* v, int n) {
    for (int i = 0; i < n; ++i) {
        if (ReadValue(iload, v[i]) != IO_OK)
            return IO_ERROR;
    }
    return IO_OK;
}

IOResult WriteVec(ISave& isave, const Point3& p) {
    const float v[3] = {p.x, p.y, p.z};
    return WriteFloats(isave, v, 3);
}

IOResult WriteVec(ISave& isave, const Quat& q) {
    const float v[4] = {q.x, q.y, q.z, q.w};
    return WriteFloats(isave, v, 4);
}

IOResult ReadVec(ILoad& iload, Point3& p) {
    float v[3];
    if (ReadFloats(iload, v, 3) != IO_OK)
        return IO_ERROR;
    p = Point3(v[0], v[1], v[2]);
    return IO_OK;
}

IOResult ReadVec(ILoad& iload, Quat& q) {
    float v[4];
    if (ReadFloats(iload, v, 4) != IO_OK)
        return IO_ERROR;
    q = Quat(v[0], v[1], v[2], v[3]);
    q.Normalize();
    return IO_OK;
}

// Track keys on disk: uint32 count, then per key int32 time, byte step, N floats.
template <class T, int N>
IOResult SaveTrack(ISave& isave, USHORT id, const std::vector<TrackKey<T>>& keys) {
    isave.BeginChunk(id);
    IOResult res = WriteValue(isave, static_cast<std::uint32_t>(keys.size()));
    for (const TrackKey<T>& key : keys) {
        if (res != IO_OK)
            break;
        res = WriteValue(isave, static_cast<std::int32_t>(key.time));
        res = res == IO_OK ? WriteValue(isave, static_cast<BYTE>(key.step)) : res;
        res = res == IO_OK ? WriteVec(isave, key.value) : res;
    }
    isave.EndChunk();
    return res;
}

template <class T, int N>
IOResult LoadTrack(ILoad& iload, std::vector<TrackKey<T>>& keys) {
    std::uint32_t count = 0;
    if (ReadValue(iload, count) != IO_OK ||
        static_cast<std::uint64_t>(count) * (5 + 4 * N) > iload.CurChunkRemaining())
        return IO_ERROR;
    std::vector<TrackKey<T>> loaded(count);
    for (TrackKey<T>& key : loaded) {
        std::int32_t time = 0;
        BYTE step = 0;
        if (ReadValue(iload, time) != IO_OK || ReadValue(iload, step) != IO_OK ||
            ReadVec(iload, key.value) != IO_OK)
            return IO_ERROR;
        key.time = time;
        key.step = step != 0;
    }
    for (size_t i = 1; i < loaded.size(); ++i) {
        if (loaded[i].time <= loaded[i - 1].time)
            return IO_ERROR;
    }
    keys = std::move(loaded);
    return IO_OK;
}

bool KeyIsStep(const IBezFloatKey& from, const IBezFloatKey& to) {
    return GetOutTanType(from.flags) == BEZKEY_STEP || GetInTanType(to.flags) == BEZKEY_STEP;
}

} // namespace

void FloatController::GetClassName(MSTR& s, bool) const {
    s = m_integer ? _T("Integer") : _T("Bezier Float");
}

void* FloatController::GetInterface(ULONG id) {
    if (id == I_KEYCONTROL)
        return static_cast<IKeyControl*>(this);
    return Control::GetInterface(id);
}

float FloatController::Evaluate(TimeValue t, Interval* validOut) const {
    Interval valid = FOREVER;
    float value = m_constant;
    if (!m_keys.empty()) {
        if (t <= m_keys.front().time) {
            valid &= Interval(TIME_NegInfinity, m_keys.front().time);
            value = m_keys.front().val;
        } else if (t >= m_keys.back().time) {
            valid &= Interval(m_keys.back().time, TIME_PosInfinity);
            value = m_keys.back().val;
        } else {
            auto next =
                std::upper_bound(m_keys.begin(), m_keys.end(), t,
                                 [](TimeValue v, const IBezFloatKey& k) { return v < k.time; });
            const IBezFloatKey& a = *(next - 1);
            const IBezFloatKey& b = *next;
            if (KeyIsStep(a, b)) {
                valid &= Interval(a.time, b.time - 1);
                value = a.val;
            } else {
                valid &= Interval(t, t);
                double u = static_cast<double>(t - a.time) / (b.time - a.time);
                value = static_cast<float>(a.val + (b.val - a.val) * u);
            }
        }
    }
    if (validOut)
        *validOut &= valid;
    return value;
}

void FloatController::GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method) {
    float v = Evaluate(t, &valid);
    if (m_integer) {
        int iv = static_cast<int>(std::lround(v));
        int* out = static_cast<int*>(val);
        *out = method == CTRL_RELATIVE ? *out + iv : iv;
    } else {
        float* out = static_cast<float*>(val);
        *out = method == CTRL_RELATIVE ? *out + v : v;
    }
}

void FloatController::SetFloat(TimeValue t, float v) {
    if (Animating()) {
        if (m_keys.empty() && t != 0) {
            IBezFloatKey first;
            first.time = 0;
            first.val = m_constant;
            m_keys.push_back(first);
        }
        IBezFloatKey key;
        key.time = t;
        key.val = v;
        AppendKey(&key);
    } else if (m_keys.empty()) {
        m_constant = v;
    } else {
        float delta = v - Evaluate(t);
        for (IBezFloatKey& key : m_keys)
            key.val += delta;
    }
}

void FloatController::SetValue(TimeValue t, void* val, int, GetSetMethod method) {
    float v = m_integer ? static_cast<float>(*static_cast<int*>(val)) : *static_cast<float*>(val);
    if (method == CTRL_RELATIVE)
        v += Evaluate(t);
    SetFloat(t, v);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void FloatController::SetNumKeys(int n) {
    n = std::max(n, 0);
    while (static_cast<int>(m_keys.size()) > n)
        m_keys.pop_back();
    while (static_cast<int>(m_keys.size()) < n) {
        IBezFloatKey key;
        key.time = m_keys.empty() ? 0 : m_keys.back().time + 1;
        key.val = Evaluate(key.time);
        m_keys.push_back(key);
    }
}

bool FloatController::GetKey(int i, IKey* key) {
    if (i < 0 || i >= NumKeys() || !key)
        return false;
    *static_cast<IBezFloatKey*>(key) = m_keys[static_cast<size_t>(i)];
    return true;
}

bool FloatController::SetKey(int i, IKey* key) {
    if (i < 0 || i >= NumKeys() || !key)
        return false;
    m_keys[static_cast<size_t>(i)] = *static_cast<IBezFloatKey*>(key);
    SortKeys();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    return true;
}

int FloatController::AppendKey(IKey* keyIn) {
    const IBezFloatKey& key = *static_cast<IBezFloatKey*>(keyIn);
    auto it = std::lower_bound(m_keys.begin(), m_keys.end(), key.time,
                               [](const IBezFloatKey& k, TimeValue t) { return k.time < t; });
    if (it != m_keys.end() && it->time == key.time)
        *it = key;
    else
        it = m_keys.insert(it, key);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    return static_cast<int>(it - m_keys.begin());
}

void FloatController::SortKeys() {
    std::stable_sort(m_keys.begin(), m_keys.end(),
                     [](const IBezFloatKey& a, const IBezFloatKey& b) { return a.time < b.time; });
    // Two keys at one time cannot both hold; the later one in the list wins.
    for (size_t i = 1; i < m_keys.size();) {
        if (m_keys[i].time == m_keys[i - 1].time)
            m_keys.erase(m_keys.begin() + static_cast<long>(i) - 1);
        else
            ++i;
    }
}

ReferenceTarget* FloatController::Clone(RemapDir& remap) {
    auto* copy = new FloatController(m_integer);
    copy->m_constant = m_constant;
    copy->m_keys = m_keys;
    BaseClone(this, copy, remap);
    return copy;
}

IOResult FloatController::Save(ISave* isave) {
    isave->BeginChunk(kFloatConstChunk);
    IOResult res = WriteValue(*isave, m_constant);
    isave->EndChunk();
    if (res != IO_OK)
        return res;
    isave->BeginChunk(kFloatKeysChunk);
    res = WriteValue(*isave, static_cast<std::uint32_t>(m_keys.size()));
    for (const IBezFloatKey& key : m_keys) {
        if (res != IO_OK)
            break;
        res = WriteValue(*isave, static_cast<std::int32_t>(key.time));
        res = res == IO_OK ? WriteValue(*isave, key.flags) : res;
        res = res == IO_OK ? WriteValue(*isave, key.val) : res;
        res = res == IO_OK ? WriteValue(*isave, key.intan) : res;
        res = res == IO_OK ? WriteValue(*isave, key.outtan) : res;
    }
    isave->EndChunk();
    return res;
}

IOResult FloatController::Load(ILoad* iload) {
    IOResult res;
    while ((res = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kFloatConstChunk) {
            res = ReadValue(*iload, m_constant);
        } else if (iload->CurChunkID() == kFloatKeysChunk) {
            std::uint32_t count = 0;
            res = ReadValue(*iload, count);
            if (res == IO_OK && static_cast<std::uint64_t>(count) * 20 > iload->CurChunkRemaining())
                res = IO_ERROR;
            std::vector<IBezFloatKey> keys(res == IO_OK ? count : 0);
            for (IBezFloatKey& key : keys) {
                std::int32_t time = 0;
                res = res == IO_OK ? ReadValue(*iload, time) : res;
                res = res == IO_OK ? ReadValue(*iload, key.flags) : res;
                res = res == IO_OK ? ReadValue(*iload, key.val) : res;
                res = res == IO_OK ? ReadValue(*iload, key.intan) : res;
                res = res == IO_OK ? ReadValue(*iload, key.outtan) : res;
                key.time = time;
            }
            if (res == IO_OK) {
                m_keys = std::move(keys);
                SortKeys();
            }
        }
        if (res != IO_OK || iload->CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    return res == IO_END ? IO_OK : IO_ERROR;
}

void PRSController::GetClassName(MSTR& s, bool) const {
    s = _T("Position/Rotation/Scale");
}

int PRSController::NumKeys() {
    return static_cast<int>(m_pos.size() + m_rot.size() + m_scale.size());
}

Matrix3 PRSController::Evaluate(TimeValue t, Interval* validOut) const {
    Interval valid = FOREVER;
    AffineParts parts;
    parts.t = EvalTrack(m_pos, m_constPos, t, valid, Lerp);
    parts.q = EvalTrack(m_rot, m_constRot, t, valid,
                        [](const Quat& a, const Quat& b, float u) { return Slerp(a, b, u); });
    parts.s = EvalTrack(m_scale, m_constScale, t, valid, Lerp);
    if (validOut)
        *validOut &= valid;
    return ComposeAffine(parts);
}

void PRSController::GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method) {
    Matrix3* out = static_cast<Matrix3*>(val);
    Matrix3 local = Evaluate(t, &valid);
    *out = method == CTRL_RELATIVE ? local * *out : local;
}

void PRSController::SetLocal(TimeValue t, const Matrix3& local) {
    Interval ignored = FOREVER;
    AffineParts now = DecompAffine(Evaluate(t, &ignored));
    AffineParts next = DecompAffine(local);
    SetTrack(m_pos, m_constPos, t, now.t, next.t,
             [](const Point3& key, const Point3& cur, const Point3& target) {
                 return key + (target - cur);
             });
    SetTrack(m_rot, m_constRot, t, now.q, next.q,
             [](const Quat& key, const Quat& cur, const Quat& target) {
                 return (key * (cur.Conjugate() * target)).Normalize();
             });
    SetTrack(m_scale, m_constScale, t, now.s, next.s,
             [](const Point3& key, const Point3& cur, const Point3& target) {
                 Point3 out = key;
                 for (int a = 0; a < 3; ++a)
                     out[a] = cur[a] != 0.0f ? key[a] * target[a] / cur[a] : target[a];
                 return out;
             });
}

void PRSController::SetValue(TimeValue t, void* val, int, GetSetMethod) {
    const SetXFormPacket& packet = *static_cast<SetXFormPacket*>(val);
    const Matrix3 world = Evaluate(t) * packet.tmParent;
    Matrix3 next = world;
    auto aboutAxis = [&](const Matrix3& change) {
        Matrix3 axis = packet.tmAxis;
        if (packet.localOrigin)
            axis.SetTrans(world.GetTrans());
        return world * Inverse(axis) * change * axis;
    };
    switch (packet.command) {
    case XFORM_MOVE:
        next = world * TransMatrix(packet.tmAxis.VectorTransform(packet.p));
        break;
    case XFORM_ROTATE:
        next = aboutAxis(packet.q.ToMatrix());
        break;
    case XFORM_SCALE:
        next = aboutAxis(ScaleMatrix(packet.p));
        break;
    case XFORM_SET:
        next = packet.tm;
        break;
    }
    SetLocal(t, next * Inverse(packet.tmParent));
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void PRSController::SetPositionKey(TimeValue t, const Point3& p, bool step) {
    PutKey(m_pos, t, p, step);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void PRSController::SetRotationKey(TimeValue t, const Quat& q, bool step) {
    PutKey(m_rot, t, q, step);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void PRSController::SetScaleKey(TimeValue t, const Point3& s, bool step) {
    PutKey(m_scale, t, s, step);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

ReferenceTarget* PRSController::Clone(RemapDir& remap) {
    auto* copy = new PRSController();
    copy->m_constPos = m_constPos;
    copy->m_constRot = m_constRot;
    copy->m_constScale = m_constScale;
    copy->m_pos = m_pos;
    copy->m_rot = m_rot;
    copy->m_scale = m_scale;
    BaseClone(this, copy, remap);
    return copy;
}

IOResult PRSController::Save(ISave* isave) {
    isave->BeginChunk(kPrsConstChunk);
    IOResult res = WriteVec(*isave, m_constPos);
    res = res == IO_OK ? WriteVec(*isave, m_constRot) : res;
    res = res == IO_OK ? WriteVec(*isave, m_constScale) : res;
    isave->EndChunk();
    res = res == IO_OK ? SaveTrack<Point3, 3>(*isave, kPrsPosChunk, m_pos) : res;
    res = res == IO_OK ? SaveTrack<Quat, 4>(*isave, kPrsRotChunk, m_rot) : res;
    res = res == IO_OK ? SaveTrack<Point3, 3>(*isave, kPrsScaleChunk, m_scale) : res;
    return res;
}

IOResult PRSController::Load(ILoad* iload) {
    IOResult res;
    while ((res = iload->OpenChunk()) == IO_OK) {
        switch (iload->CurChunkID()) {
        case kPrsConstChunk:
            res = ReadVec(*iload, m_constPos);
            res = res == IO_OK ? ReadVec(*iload, m_constRot) : res;
            res = res == IO_OK ? ReadVec(*iload, m_constScale) : res;
            break;
        case kPrsPosChunk:
            res = LoadTrack<Point3, 3>(*iload, m_pos);
            break;
        case kPrsRotChunk:
            res = LoadTrack<Quat, 4>(*iload, m_rot);
            break;
        case kPrsScaleChunk:
            res = LoadTrack<Point3, 3>(*iload, m_scale);
            break;
        default:
            break;
        }
        if (res != IO_OK || iload->CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    return res == IO_END ? IO_OK : IO_ERROR;
}

Control* NewDefaultMatrix3Controller() {
    return new PRSController();
}

Control* NewDefaultFloatController() {
    return new FloatController(false);
}
