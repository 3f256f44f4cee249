#pragma once
// The host's procedural primitives: box, sphere, cylinder and plane. Each builds a closed (or, for
// the plane, flat) triangle mesh whose faces share their vertices, so every primitive is one
// mesh element. Quads are split into two triangles with the diagonal edge invisible.

#include "host/Object.h"

class ClassDirectory;

/// Box centred on the local origin in x and y, standing on z = 0 up to `height`.
/// Sides carry material ids 1..6 (bottom, top, front, right, back, left) and smoothing groups.
class BoxObject : public SimpleObject2 {
public:
    BoxObject(float length = 1.0f, float width = 1.0f, float height = 1.0f, int lengthSegs = 1,
              int widthSegs = 1, int heightSegs = 1);
    Class_ID ClassID() override { return boxObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    /// Sizes in scene units (negative values are taken as their magnitude); segment counts are
    /// clamped to 1..200.
    void SetSize(float length, float width, float height);
    void SetSegments(int lengthSegs, int widthSegs, int heightSegs);
    void BuildMesh(TimeValue t) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    float m_length, m_width, m_height;
    int m_segs[3];
};

/// Sphere of `radius` around the local origin with `segments` around the equator (4..200) and
/// segments / 2 rings from pole to pole.
class SphereObject : public SimpleObject2 {
public:
    explicit SphereObject(float radius = 1.0f, int segments = 16);
    Class_ID ClassID() override { return sphereObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    void SetRadius(float radius);
    void SetSegments(int segments);
    void BuildMesh(TimeValue t) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    float m_radius;
    int m_segments;
};

/// Capped cylinder around the local z axis from z = 0 to `height`, with `sides` (3..200) and
/// `heightSegs` (1..200).
class CylinderObject : public SimpleObject2 {
public:
    CylinderObject(float radius = 1.0f, float height = 1.0f, int heightSegs = 1, int sides = 18);
    Class_ID ClassID() override { return cylinderObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    void SetSize(float radius, float height);
    void SetSegments(int heightSegs, int sides);
    void BuildMesh(TimeValue t) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    float m_radius, m_height;
    int m_heightSegs, m_sides;
};

/// Flat grid in the local xy plane centred on the origin, facing +z.
class PlaneObject : public SimpleObject2 {
public:
    PlaneObject(float length = 1.0f, float width = 1.0f, int lengthSegs = 1, int widthSegs = 1);
    Class_ID ClassID() override { return planeObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    void SetSize(float length, float width);
    void SetSegments(int lengthSegs, int widthSegs);
    void BuildMesh(TimeValue t) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    float m_length, m_width;
    int m_segs[2];
};

/// Registers the host's own classes (primitives, mesh objects, derived objects, controllers and
/// force sources) in a class directory.
void RegisterHostClasses(ClassDirectory& directory);
