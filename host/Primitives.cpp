#include "host/Primitives.h"

#include "host/ClassDesc2.h"
#include "host/Control.h"
#include "host/ForceSources.h"
#include "host/Modifier.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>

namespace {

constexpr USHORT kPrimitiveParamsChunk = 0x0800;
constexpr int kMaxSegments = 200;

int ClampSegs(int n, int lo) {
    return std::clamp(n, lo, kMaxSegments);
}

float Size(float v) {
    return std::isfinite(v) ? std::fabs(v) : 0.0f;
}

// Appends a quad a-b-c-d (counter-clockwise seen from outside) as two triangles; the shared
// diagonal a-c is an invisible edge.
void AddQuad(Mesh& mesh, DWORD a, DWORD b, DWORD c, DWORD d, DWORD smGroup, MtlID mat) {
    for (int half = 0; half < 2; ++half) {
        Face face;
        if (half == 0)
            face.setVerts(a, b, c);
        else
            face.setVerts(c, d, a);
        face.setEdgeVisFlags(TRUE, TRUE, FALSE);
        face.setSmGroup(smGroup);
        face.setMatID(mat);
        mesh.faces.push_back(face);
    }
}

void AddTri(Mesh& mesh, DWORD a, DWORD b, DWORD c, BOOL va, BOOL vb, BOOL vc, DWORD smGroup,
            MtlID mat) {
    Face face;
    face.setVerts(a, b, c);
    face.setEdgeVisFlags(va, vb, vc);
    face.setSmGroup(smGroup);
    face.setMatID(mat);
    mesh.faces.push_back(face);
}

// Parameters of the primitives on disk: a count of floats, the floats, a count of ints, the ints.
IOResult SaveParams(ISave* isave, std::initializer_list<float> floats,
                    std::initializer_list<int> ints) {
    isave->BeginChunk(kPrimitiveParamsChunk);
    IOResult res = WriteValue(*isave, static_cast<std::uint32_t>(floats.size()));
    for (float f : floats)
        res = res == IO_OK ? WriteValue(*isave, f) : res;
    res = res == IO_OK ? WriteValue(*isave, static_cast<std::uint32_t>(ints.size())) : res;
    for (int i : ints)
        res = res == IO_OK ? WriteValue(*isave, static_cast<std::int32_t>(i)) : res;
    isave->EndChunk();
    return res;
}

IOResult LoadParams(ILoad* iload, std::vector<float>& floats, std::vector<int>& ints, size_t nf,
                    size_t ni) {
    IOResult res;
    bool found = false;
    while ((res = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kPrimitiveParamsChunk) {
            std::uint32_t count = 0;
            res = ReadValue(*iload, count);
            if (res != IO_OK || count != nf)
                return IO_ERROR;
            floats.assign(nf, 0.0f);
            for (float& f : floats)
                res = res == IO_OK ? ReadValue(*iload, f) : res;
            res = res == IO_OK ? ReadValue(*iload, count) : res;
            if (res != IO_OK || count != ni)
                return IO_ERROR;
            ints.assign(ni, 0);
            for (int& i : ints) {
                std::int32_t v = 0;
                res = res == IO_OK ? ReadValue(*iload, v) : res;
                i = v;
            }
            found = res == IO_OK;
        }
        if (res != IO_OK || iload->CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    return res == IO_END && found ? IO_OK : IO_ERROR;
}

// A descriptor for one of the host's classes, creating instances with `make`.
template <class T>
class HostClassDesc : public ClassDesc2 {
public:
    HostClassDesc(const MCHAR* name, SClass_ID sclass, Class_ID cid, int isPublic)
        : m_name(name), m_sclass(sclass), m_cid(cid), m_public(isPublic) {}
    int IsPublic() override { return m_public; }
    void* Create(BOOL) override { return new T(); }
    const MCHAR* ClassName() override { return m_name.c_str(); }
    SClass_ID SuperClassID() override { return m_sclass; }
    Class_ID ClassID() override { return m_cid; }
    const MCHAR* Category() override { return _T("Standard Primitives"); }
    const MCHAR* InternalName() override { return m_name.c_str(); }

private:
    MSTR m_name;
    SClass_ID m_sclass;
    Class_ID m_cid;
    int m_public;
};

class DerivedObjectDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 0; }
    void* Create(BOOL) override { return CreateDerivedObject(nullptr); }
    const MCHAR* ClassName() override { return _T("Derived Object"); }
    SClass_ID SuperClassID() override { return GEN_DERIVOB_CLASS_ID; }
    Class_ID ClassID() override { return derivObjectClassID; }
    const MCHAR* Category() override { return _T(""); }
};

class IntControllerDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 0; }
    void* Create(BOOL) override { return new FloatController(true); }
    const MCHAR* ClassName() override { return _T("Integer"); }
    SClass_ID SuperClassID() override { return CTRL_INTEGER_CLASS_ID; }
    Class_ID ClassID() override { return intControllerClassID; }
    const MCHAR* Category() override { return _T(""); }
};

} // namespace

BoxObject::BoxObject(float length, float width, float height, int lengthSegs, int widthSegs,
                     int heightSegs)
    : m_length(Size(length)), m_width(Size(width)),
      m_height(Size(height)), m_segs{ClampSegs(lengthSegs, 1), ClampSegs(widthSegs, 1),
                                     ClampSegs(heightSegs, 1)} {}

void BoxObject::GetClassName(MSTR& s, bool) const {
    s = _T("Box");
}

void BoxObject::SetSize(float length, float width, float height) {
    m_length = Size(length);
    m_width = Size(width);
    m_height = Size(height);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
}

void BoxObject::SetSegments(int lengthSegs, int widthSegs, int heightSegs) {
    m_segs[0] = ClampSegs(lengthSegs, 1);
    m_segs[1] = ClampSegs(widthSegs, 1);
    m_segs[2] = ClampSegs(heightSegs, 1);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void BoxObject::BuildMesh(TimeValue) {
    // Vertices live on an integer lattice (i along x, j along y, k along z); sides that meet share
    // the lattice points, so the box is one closed element.
    const int ns[3] = {m_segs[1], m_segs[0], m_segs[2]}; // x: width, y: length, z: height
    mesh.FreeAll();
    std::map<std::tuple<int, int, int>, DWORD> index;
    auto vert = [&](int i, int j, int k) {
        auto key = std::make_tuple(i, j, k);
        auto it = index.find(key);
        if (it != index.end())
            return it->second;
        Point3 p(-m_width * 0.5f + m_width * static_cast<float>(i) / static_cast<float>(ns[0]),
                 -m_length * 0.5f + m_length * static_cast<float>(j) / static_cast<float>(ns[1]),
                 m_height * static_cast<float>(k) / static_cast<float>(ns[2]));
        auto id = static_cast<DWORD>(mesh.verts.size());
        mesh.verts.push_back(p);
        index.emplace(key, id);
        return id;
    };
    const int X = ns[0], Y = ns[1], Z = ns[2];
    for (int i = 0; i < X; ++i)
        for (int j = 0; j < Y; ++j)
            AddQuad(mesh, vert(i, j, 0), vert(i, j + 1, 0), vert(i + 1, j + 1, 0),
                    vert(i + 1, j, 0), 1u << 1, 1);
    for (int i = 0; i < X; ++i)
        for (int j = 0; j < Y; ++j)
            AddQuad(mesh, vert(i, j, Z), vert(i + 1, j, Z), vert(i + 1, j + 1, Z),
                    vert(i, j + 1, Z), 1u << 2, 2);
    for (int i = 0; i < X; ++i)
        for (int k = 0; k < Z; ++k)
            AddQuad(mesh, vert(i, 0, k), vert(i + 1, 0, k), vert(i + 1, 0, k + 1),
                    vert(i, 0, k + 1), 1u << 3, 3);
    for (int j = 0; j < Y; ++j)
        for (int k = 0; k < Z; ++k)
            AddQuad(mesh, vert(X, j, k), vert(X, j + 1, k), vert(X, j + 1, k + 1),
                    vert(X, j, k + 1), 1u << 4, 4);
    for (int i = 0; i < X; ++i)
        for (int k = 0; k < Z; ++k)
            AddQuad(mesh, vert(i + 1, Y, k), vert(i, Y, k), vert(i, Y, k + 1),
                    vert(i + 1, Y, k + 1), 1u << 5, 5);
    for (int j = 0; j < Y; ++j)
        for (int k = 0; k < Z; ++k)
            AddQuad(mesh, vert(0, j + 1, k), vert(0, j, k), vert(0, j, k + 1),
                    vert(0, j + 1, k + 1), 1u << 6, 6);
    ivalid = FOREVER;
}

ReferenceTarget* BoxObject::Clone(RemapDir& remap) {
    auto* copy = new BoxObject(m_length, m_width, m_height, m_segs[0], m_segs[1], m_segs[2]);
    BaseClone(this, copy, remap);
    return copy;
}

IOResult BoxObject::Save(ISave* isave) {
    return SaveParams(isave, {m_length, m_width, m_height}, {m_segs[0], m_segs[1], m_segs[2]});
}

IOResult BoxObject::Load(ILoad* iload) {
    std::vector<float> f;
    std::vector<int> i;
    if (LoadParams(iload, f, i, 3, 3) != IO_OK)
        return IO_ERROR;
    m_length = Size(f[0]);
    m_width = Size(f[1]);
    m_height = Size(f[2]);
    for (int a = 0; a < 3; ++a)
        m_segs[a] = ClampSegs(i[static_cast<size_t>(a)], 1);
    InvalidateMesh();
    return IO_OK;
}

SphereObject::SphereObject(float radius, int segments)
    : m_radius(Size(radius)), m_segments(ClampSegs(segments, 4)) {}

void SphereObject::GetClassName(MSTR& s, bool) const {
    s = _T("Sphere");
}

void SphereObject::SetRadius(float radius) {
    m_radius = Size(radius);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
}

void SphereObject::SetSegments(int segments) {
    m_segments = ClampSegs(segments, 4);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void SphereObject::BuildMesh(TimeValue) {
    const int s = m_segments;
    const int rings = s / 2;
    const float pi = std::numbers::pi_v<float>;
    mesh.FreeAll();
    mesh.verts.push_back(Point3(0.0f, 0.0f, m_radius));
    for (int k = 1; k < rings; ++k) {
        float theta = pi * static_cast<float>(k) / static_cast<float>(rings);
        for (int i = 0; i < s; ++i) {
            float phi = 2.0f * pi * static_cast<float>(i) / static_cast<float>(s);
            mesh.verts.push_back(Point3(m_radius * std::sin(theta) * std::cos(phi),
                                        m_radius * std::sin(theta) * std::sin(phi),
                                        m_radius * std::cos(theta)));
        }
    }
    const auto south = static_cast<DWORD>(mesh.verts.size());
    mesh.verts.push_back(Point3(0.0f, 0.0f, -m_radius));
    auto ring = [&](int k, int i) { return static_cast<DWORD>(1 + (k - 1) * s + (i % s)); };
    for (int i = 0; i < s; ++i)
        AddTri(mesh, 0, ring(1, i), ring(1, i + 1), TRUE, TRUE, TRUE, 1, 1);
    for (int k = 1; k + 1 < rings; ++k)
        for (int i = 0; i < s; ++i)
            AddQuad(mesh, ring(k, i), ring(k + 1, i), ring(k + 1, i + 1), ring(k, i + 1), 1, 1);
    for (int i = 0; i < s; ++i)
        AddTri(mesh, south, ring(rings - 1, i + 1), ring(rings - 1, i), TRUE, TRUE, TRUE, 1, 1);
    ivalid = FOREVER;
}

ReferenceTarget* SphereObject::Clone(RemapDir& remap) {
    auto* copy = new SphereObject(m_radius, m_segments);
    BaseClone(this, copy, remap);
    return copy;
}

IOResult SphereObject::Save(ISave* isave) {
    return SaveParams(isave, {m_radius}, {m_segments});
}

IOResult SphereObject::Load(ILoad* iload) {
    std::vector<float> f;
    std::vector<int> i;
    if (LoadParams(iload, f, i, 1, 1) != IO_OK)
        return IO_ERROR;
    m_radius = Size(f[0]);
    m_segments = ClampSegs(i[0], 4);
    InvalidateMesh();
    return IO_OK;
}

CylinderObject::CylinderObject(float radius, float height, int heightSegs, int sides)
    : m_radius(Size(radius)), m_height(Size(height)), m_heightSegs(ClampSegs(heightSegs, 1)),
      m_sides(ClampSegs(sides, 3)) {}

void CylinderObject::GetClassName(MSTR& s, bool) const {
    s = _T("Cylinder");
}

void CylinderObject::SetSize(float radius, float height) {
    m_radius = Size(radius);
    m_height = Size(height);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
}

void CylinderObject::SetSegments(int heightSegs, int sides) {
    m_heightSegs = ClampSegs(heightSegs, 1);
    m_sides = ClampSegs(sides, 3);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void CylinderObject::BuildMesh(TimeValue) {
    const int s = m_sides;
    const float pi = std::numbers::pi_v<float>;
    mesh.FreeAll();
    for (int k = 0; k <= m_heightSegs; ++k) {
        float z = m_height * static_cast<float>(k) / static_cast<float>(m_heightSegs);
        for (int i = 0; i < s; ++i) {
            float phi = 2.0f * pi * static_cast<float>(i) / static_cast<float>(s);
            mesh.verts.push_back(Point3(m_radius * std::cos(phi), m_radius * std::sin(phi), z));
        }
    }
    const auto bottom = static_cast<DWORD>(mesh.verts.size());
    mesh.verts.push_back(Point3(0.0f, 0.0f, 0.0f));
    const auto top = static_cast<DWORD>(mesh.verts.size());
    mesh.verts.push_back(Point3(0.0f, 0.0f, m_height));
    auto ring = [&](int k, int i) { return static_cast<DWORD>(k * s + (i % s)); };
    for (int i = 0; i < s; ++i)
        AddTri(mesh, bottom, ring(0, i + 1), ring(0, i), FALSE, TRUE, FALSE, 2, 1);
    for (int i = 0; i < s; ++i)
        AddTri(mesh, top, ring(m_heightSegs, i), ring(m_heightSegs, i + 1), FALSE, TRUE, FALSE, 2,
               2);
    for (int k = 0; k < m_heightSegs; ++k)
        for (int i = 0; i < s; ++i)
            AddQuad(mesh, ring(k, i), ring(k, i + 1), ring(k + 1, i + 1), ring(k + 1, i), 1, 3);
    ivalid = FOREVER;
}

ReferenceTarget* CylinderObject::Clone(RemapDir& remap) {
    auto* copy = new CylinderObject(m_radius, m_height, m_heightSegs, m_sides);
    BaseClone(this, copy, remap);
    return copy;
}

IOResult CylinderObject::Save(ISave* isave) {
    return SaveParams(isave, {m_radius, m_height}, {m_heightSegs, m_sides});
}

IOResult CylinderObject::Load(ILoad* iload) {
    std::vector<float> f;
    std::vector<int> i;
    if (LoadParams(iload, f, i, 2, 2) != IO_OK)
        return IO_ERROR;
    m_radius = Size(f[0]);
    m_height = Size(f[1]);
    m_heightSegs = ClampSegs(i[0], 1);
    m_sides = ClampSegs(i[1], 3);
    InvalidateMesh();
    return IO_OK;
}

PlaneObject::PlaneObject(float length, float width, int lengthSegs, int widthSegs)
    : m_length(Size(length)),
      m_width(Size(width)), m_segs{ClampSegs(lengthSegs, 1), ClampSegs(widthSegs, 1)} {}

void PlaneObject::GetClassName(MSTR& s, bool) const {
    s = _T("Plane");
}

void PlaneObject::SetSize(float length, float width) {
    m_length = Size(length);
    m_width = Size(width);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
}

void PlaneObject::SetSegments(int lengthSegs, int widthSegs) {
    m_segs[0] = ClampSegs(lengthSegs, 1);
    m_segs[1] = ClampSegs(widthSegs, 1);
    InvalidateMesh();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void PlaneObject::BuildMesh(TimeValue) {
    const int nx = m_segs[1], ny = m_segs[0];
    mesh.FreeAll();
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
            mesh.verts.push_back(
                Point3(-m_width * 0.5f + m_width * static_cast<float>(i) / static_cast<float>(nx),
                       -m_length * 0.5f + m_length * static_cast<float>(j) / static_cast<float>(ny),
                       0.0f));
    auto v = [&](int i, int j) { return static_cast<DWORD>(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            AddQuad(mesh, v(i, j), v(i + 1, j), v(i + 1, j + 1), v(i, j + 1), 1, 1);
    ivalid = FOREVER;
}

ReferenceTarget* PlaneObject::Clone(RemapDir& remap) {
    auto* copy = new PlaneObject(m_length, m_width, m_segs[0], m_segs[1]);
    BaseClone(this, copy, remap);
    return copy;
}

IOResult PlaneObject::Save(ISave* isave) {
    return SaveParams(isave, {m_length, m_width}, {m_segs[0], m_segs[1]});
}

IOResult PlaneObject::Load(ILoad* iload) {
    std::vector<float> f;
    std::vector<int> i;
    if (LoadParams(iload, f, i, 2, 2) != IO_OK)
        return IO_ERROR;
    m_length = Size(f[0]);
    m_width = Size(f[1]);
    m_segs[0] = ClampSegs(i[0], 1);
    m_segs[1] = ClampSegs(i[1], 1);
    InvalidateMesh();
    return IO_OK;
}

void RegisterHostClasses(ClassDirectory& directory) {
    directory.RegisterOwned(std::make_unique<HostClassDesc<BoxObject>>(
        _T("Box"), GEOMOBJECT_CLASS_ID, boxObjectClassID, 1));
    directory.RegisterOwned(std::make_unique<HostClassDesc<SphereObject>>(
        _T("Sphere"), GEOMOBJECT_CLASS_ID, sphereObjectClassID, 1));
    directory.RegisterOwned(std::make_unique<HostClassDesc<CylinderObject>>(
        _T("Cylinder"), GEOMOBJECT_CLASS_ID, cylinderObjectClassID, 1));
    directory.RegisterOwned(std::make_unique<HostClassDesc<PlaneObject>>(
        _T("Plane"), GEOMOBJECT_CLASS_ID, planeObjectClassID, 1));
    directory.RegisterOwned(std::make_unique<HostClassDesc<TriObject>>(
        _T("Editable Mesh"), GEOMOBJECT_CLASS_ID, triObjectClassID, 0));
    directory.RegisterOwned(std::make_unique<HostClassDesc<PolyObject>>(
        _T("Editable Poly"), GEOMOBJECT_CLASS_ID, polyObjectClassID, 0));
    directory.RegisterOwned(std::make_unique<HostClassDesc<PRSController>>(
        _T("Position/Rotation/Scale"), CTRL_MATRIX3_CLASS_ID, prsControllerClassID, 0));
    directory.RegisterOwned(std::make_unique<HostClassDesc<FloatController>>(
        _T("Bezier Float"), CTRL_FLOAT_CLASS_ID, floatControllerClassID, 0));
    directory.RegisterOwned(std::make_unique<IntControllerDesc>());
    directory.RegisterOwned(std::make_unique<DerivedObjectDesc>());
    RegisterForceSourceClasses(directory);
}
