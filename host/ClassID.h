#pragma once
// Class ids and super class ids: how the host and its modules name scene classes.

#include "host/MaxTypes.h"

#include <functional>

/// Super class id: the family a class belongs to (geometry, modifier, controller ...).
using SClass_ID = ULONG;

inline constexpr SClass_ID BASENODE_CLASS_ID = 0x0001;
/// Derived objects: an object reference plus a modifier stack.
inline constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 0x0002;
inline constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x0010;
inline constexpr SClass_ID HELPER_CLASS_ID = 0x0050;
inline constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x0082;
inline constexpr SClass_ID OSM_CLASS_ID = 0x0810;
inline constexpr SClass_ID WSM_CLASS_ID = 0x0820;
inline constexpr SClass_ID WSM_OBJECT_CLASS_ID = 0x0830;
inline constexpr SClass_ID CTRL_FLOAT_CLASS_ID = 0x9003;
inline constexpr SClass_ID CTRL_INTEGER_CLASS_ID = 0x9004;
inline constexpr SClass_ID CTRL_MATRIX3_CLASS_ID = 0x9008;
/// Passed to NotifyDependents to reach dependents of every super class.
inline constexpr SClass_ID NOTIFY_ALL = 0xFFFFFFF0;

/// Two-part class id, unique per class.
class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(ULONG a, ULONG b) : m_a(a), m_b(b) {}
    constexpr ULONG PartA() const { return m_a; }
    constexpr ULONG PartB() const { return m_b; }
    constexpr void SetPartA(ULONG a) { m_a = a; }
    constexpr void SetPartB(ULONG b) { m_b = b; }
    constexpr bool operator==(const Class_ID&) const = default;
    constexpr bool operator<(const Class_ID& o) const {
        return m_a < o.m_a || (m_a == o.m_a && m_b < o.m_b);
    }

private:
    ULONG m_a = 0xFFFFFFFF;
    ULONG m_b = 0xFFFFFFFF;
};

// Classes the host itself provides.
inline constexpr Class_ID triObjectClassID(0x0009, 0);
inline constexpr Class_ID polyObjectClassID(0x1BF8338D, 0x192F6098);
/// Input type of modifiers that accept any deformable object.
inline constexpr Class_ID defObjectClassID(0x0BEA5E8E, 0);
inline constexpr Class_ID derivObjectClassID(0x0C00, 0);
inline constexpr Class_ID nodeClassID(0x0001, 0);
inline constexpr Class_ID boxObjectClassID(0x0010, 0);
inline constexpr Class_ID sphereObjectClassID(0x0011, 0);
inline constexpr Class_ID cylinderObjectClassID(0x0012, 0);
inline constexpr Class_ID planeObjectClassID(0x81F1DFC, 0x77566F65);
/// Keyframed float controller (also used for visibility tracks).
inline constexpr Class_ID floatControllerClassID(0x2007, 0);
/// Keyframed integer controller.
inline constexpr Class_ID intControllerClassID(0x2008, 0);
/// Position / rotation / scale transform controller.
inline constexpr Class_ID prsControllerClassID(0x2005, 0);
inline constexpr Class_ID paramBlock2ClassID(0x0082, 0);

/// Hash for unordered containers keyed by class id.
struct ClassIDHash {
    size_t operator()(const Class_ID& id) const {
        return std::hash<std::uint64_t>()((static_cast<std::uint64_t>(id.PartA()) << 32) |
                                          id.PartB());
    }
};
