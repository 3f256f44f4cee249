#include "host/Object.h"

#include "host/ChunkValueReader.h"
#include "host/INode.h"
#include "host/ParamBlock2.h"

namespace {

constexpr USHORT kTriMeshChunk = 0x0400;
constexpr USHORT kPolyVertsChunk = 0x0410;
constexpr USHORT kPolyFacesChunk = 0x0411;
constexpr USHORT kPolyMapChunk = 0x0412;

// Polygons larger than this are refused on load; it bounds per-face allocations.
constexpr std::uint32_t kMaxPolygonDegree = 1u << 16;

void ReadPolyVerts(ChunkValueReader& in, MNMesh& mesh) {
    const size_t count = in.count(12);
    for (size_t i = 0; i < count && in.ok(); ++i) {
        Point3 p;
        in(p.x, p.y, p.z);
        mesh.NewVert(p);
    }
}

// Each face: degree, smoothing group, material id, hidden flag, then per corner its vertex and
// edge visibility.
void ReadPolyFaces(ChunkValueReader& in, MNMesh& mesh) {
    const size_t count = in.count(11);
    for (size_t f = 0; f < count && in.ok(); ++f) {
        std::uint32_t deg = 0;
        DWORD smGroup = 0;
        MtlID material = 0;
        BYTE hidden = 0;
        in(deg, smGroup, material, hidden);
        if (!in.require(deg >= 3 && deg <= kMaxPolygonDegree &&
                        std::uint64_t(deg) * 5 <= in.remaining()))
            return;
        std::vector<int> vtx(deg);
        std::vector<bool> vis(deg);
        for (std::uint32_t c = 0; c < deg; ++c) {
            std::int32_t v = 0;
            BYTE visible = 0;
            in(v, visible);
            vtx[c] = v;
            vis[c] = visible != 0;
        }
        const int index =
            in.ok() ? mesh.NewFace(static_cast<int>(deg), vtx.data(), smGroup, material) : -1;
        if (!in.require(index >= 0))
            return;
        mesh.F(index)->visedg = vis;
        mesh.F(index)->hidden = hidden != 0;
    }
}

// A channel number not yet used, its vertices, then one vertex id per corner of every face.
void ReadPolyMap(ChunkValueReader& in, MNMesh& mesh) {
    std::int32_t mp = -1;
    in(mp);
    if (!in.require(mp >= 0 && mp < MAX_MESHMAPS) || !in.require(!mesh.MapSupported(mp)))
        return;
    const size_t count = in.count(12);
    if (!in.ok())
        return;
    mesh.SetMapSupport(mp, true);
    MNMap& map = *mesh.M(mp);
    map.v.resize(count);
    for (UVVert& uv : map.v)
        in(uv.x, uv.y, uv.z);
    for (std::vector<int>& corners : map.f) {
        for (int& id : corners) {
            std::int32_t v = 0;
            in(v).require(v >= 0 && static_cast<std::size_t>(v) < count);
            id = v;
        }
    }
}

} // namespace

int BaseObject::Display(TimeValue, INode*, ViewExp*, int) {
    return 0;
}

int BaseObject::HitTest(TimeValue, INode*, int, int, int, IPoint2*, ViewExp*) {
    return 0;
}

void BaseObject::Snap(TimeValue, INode*, SnapInfo*, IPoint2*, ViewExp*) {}

void BaseObject::GetWorldBoundBox(TimeValue, INode*, ViewExp*, Box3& box) {
    box.Init();
}

void BaseObject::GetLocalBoundBox(TimeValue, INode*, ViewExp*, Box3& box) {
    box.Init();
}

void BaseObject::GetSubObjectCenters(SubObjAxisCallback*, TimeValue, INode*, ModContext*) {}

void BaseObject::GetSubObjectTMs(SubObjAxisCallback*, TimeValue, INode*, ModContext*) {}

void BaseObject::Move(TimeValue, Matrix3&, Matrix3&, Point3&, BOOL) {}

void BaseObject::Rotate(TimeValue, Matrix3&, Matrix3&, Quat&, BOOL) {}

void BaseObject::Scale(TimeValue, Matrix3&, Matrix3&, Point3&, BOOL) {}

void BaseObject::BeginEditParams(IObjParam*, ULONG, Animatable*) {}

void BaseObject::EndEditParams(IObjParam*, ULONG, Animatable*) {}

void Object::GetWorldBoundBox(TimeValue t, INode* inode, ViewExp*, Box3& box) {
    Matrix3 tm = inode ? inode->GetObjectTM(t) : Matrix3();
    GetDeformBBox(t, box, &tm);
}

void Object::GetLocalBoundBox(TimeValue t, INode*, ViewExp*, Box3& box) {
    GetDeformBBox(t, box);
}

Interval ObjectState::Validity(TimeValue t) const {
    return obj ? obj->ObjectValidity(t) : NEVER;
}

ObjectState Object::Eval(TimeValue) {
    return ObjectState(this);
}

Interval Object::ObjectValidity(TimeValue t) {
    Interval valid = FOREVER;
    for (int c = 0; c < NUM_OBJ_CHANS; ++c)
        valid &= ChannelValidity(t, c);
    return valid;
}

Interval Object::ChannelValidity(TimeValue, int nchan) {
    return nchan >= 0 && nchan < NUM_OBJ_CHANS ? m_chanValid[nchan] : FOREVER;
}

void Object::SetChannelValidity(int nchan, Interval v) {
    if (nchan >= 0 && nchan < NUM_OBJ_CHANS)
        m_chanValid[nchan] = v;
}

void Object::UpdateValidity(int nchan, Interval v) {
    if (nchan >= 0 && nchan < NUM_OBJ_CHANS)
        m_chanValid[nchan] &= v;
}

Object* Object::ConvertToType(TimeValue, Class_ID obtype) {
    return obtype == ClassID() ? this : nullptr;
}

void Object::GetDeformBBox(TimeValue, Box3& box, Matrix3*, BOOL) {
    box.Init();
}

Object* Object::MakeShallowCopy(ChannelMask) {
    RemapDir remap;
    return static_cast<Object*>(remap.CloneRef(this));
}

void TriObject::GetClassName(MSTR& s, bool) const {
    s = _T("Editable Mesh");
}

int TriObject::CanConvertToType(Class_ID obtype) {
    return obtype == triObjectClassID || obtype == polyObjectClassID || obtype == defObjectClassID;
}

Object* TriObject::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype == triObjectClassID || obtype == defObjectClassID)
        return this;
    if (obtype == polyObjectClassID) {
        auto* poly = new PolyObject();
        poly->mm.SetFromTri(mesh);
        return poly;
    }
    return nullptr;
}

void TriObject::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box = mesh.getBoundingBox(tm);
}

Object* TriObject::MakeShallowCopy(ChannelMask) {
    auto* copy = new TriObject();
    copy->mesh = mesh;
    for (int c = 0; c < NUM_OBJ_CHANS; ++c)
        copy->m_chanValid[c] = m_chanValid[c];
    return copy;
}

ReferenceTarget* TriObject::Clone(RemapDir& remap) {
    auto* copy = new TriObject();
    copy->mesh = mesh;
    BaseClone(this, copy, remap);
    return copy;
}

IOResult TriObject::Save(ISave* isave) {
    isave->BeginChunk(kTriMeshChunk);
    IOResult res = mesh.Save(isave);
    isave->EndChunk();
    return res;
}

IOResult TriObject::Load(ILoad* iload) {
    IOResult res;
    while ((res = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kTriMeshChunk)
            res = mesh.Load(iload);
        if (res != IO_OK || iload->CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    return res == IO_END ? IO_OK : IO_ERROR;
}

TriObject* CreateNewTriObject() {
    return new TriObject();
}

void PolyObject::GetClassName(MSTR& s, bool) const {
    s = _T("Editable Poly");
}

int PolyObject::CanConvertToType(Class_ID obtype) {
    return obtype == triObjectClassID || obtype == polyObjectClassID || obtype == defObjectClassID;
}

Object* PolyObject::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype == polyObjectClassID || obtype == defObjectClassID)
        return this;
    if (obtype == triObjectClassID) {
        auto* tri = new TriObject();
        mm.OutToTri(tri->mesh);
        return tri;
    }
    return nullptr;
}

void PolyObject::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box.Init();
    for (int i = 0; i < mm.VNum(); ++i)
        box += tm ? mm.P(i) * *tm : mm.P(i);
}

Object* PolyObject::MakeShallowCopy(ChannelMask) {
    auto* copy = new PolyObject();
    copy->mm = mm;
    for (int c = 0; c < NUM_OBJ_CHANS; ++c)
        copy->m_chanValid[c] = m_chanValid[c];
    return copy;
}

ReferenceTarget* PolyObject::Clone(RemapDir& remap) {
    auto* copy = new PolyObject();
    copy->mm = mm;
    BaseClone(this, copy, remap);
    return copy;
}

IOResult PolyObject::Save(ISave* isave) {
    isave->BeginChunk(kPolyVertsChunk);
    IOResult res = WriteValue(*isave, static_cast<std::uint32_t>(mm.VNum()));
    for (int i = 0; i < mm.VNum() && res == IO_OK; ++i) {
        res = WriteValue(*isave, mm.P(i).x);
        res = res == IO_OK ? WriteValue(*isave, mm.P(i).y) : res;
        res = res == IO_OK ? WriteValue(*isave, mm.P(i).z) : res;
    }
    isave->EndChunk();
    // Faces: uint32 count; per face uint32 degree, smGroup, uint16 material, byte hidden, then
    // per corner int32 vertex and byte edge visibility.
    isave->BeginChunk(kPolyFacesChunk);
    res = res == IO_OK ? WriteValue(*isave, static_cast<std::uint32_t>(mm.FNum())) : res;
    for (int f = 0; f < mm.FNum() && res == IO_OK; ++f) {
        const MNFace& face = *mm.F(f);
        res = WriteValue(*isave, static_cast<std::uint32_t>(face.deg));
        res = res == IO_OK ? WriteValue(*isave, face.smGroup) : res;
        res = res == IO_OK ? WriteValue(*isave, face.material) : res;
        res = res == IO_OK ? WriteValue(*isave, static_cast<BYTE>(face.hidden)) : res;
        for (int c = 0; c < face.deg && res == IO_OK; ++c) {
            res = WriteValue(*isave, static_cast<std::int32_t>(face.vtx[static_cast<size_t>(c)]));
            res = res == IO_OK
                      ? WriteValue(*isave, static_cast<BYTE>(face.visedg[static_cast<size_t>(c)]))
                      : res;
        }
    }
    isave->EndChunk();
    for (int mp = 0; mp < mm.MNum() && res == IO_OK; ++mp) {
        const MNMap* map = mm.M(mp);
        if (!map)
            continue;
        isave->BeginChunk(kPolyMapChunk);
        res = WriteValue(*isave, static_cast<std::int32_t>(mp));
        res = res == IO_OK ? WriteValue(*isave, static_cast<std::uint32_t>(map->v.size())) : res;
        for (const UVVert& uv : map->v) {
            res = res == IO_OK ? WriteValue(*isave, uv.x) : res;
            res = res == IO_OK ? WriteValue(*isave, uv.y) : res;
            res = res == IO_OK ? WriteValue(*isave, uv.z) : res;
        }
        for (const std::vector<int>& corners : map->f) {
            for (int id : corners)
                res = res == IO_OK ? WriteValue(*isave, static_cast<std::int32_t>(id)) : res;
        }
        isave->EndChunk();
    }
    return res;
}

IOResult PolyObject::Load(ILoad* iload) {
    MNMesh loaded;
    const IOResult res = ReadChunks(*iload, [&](ChunkValueReader& in) {
        switch (in.id()) {
        case kPolyVertsChunk:
            ReadPolyVerts(in, loaded);
            break;
        case kPolyFacesChunk:
            ReadPolyFaces(in, loaded);
            break;
        case kPolyMapChunk:
            ReadPolyMap(in, loaded);
            break;
        default:
            break;
        }
    });
    if (res != IO_OK)
        return IO_ERROR;
    mm = std::move(loaded);
    return IO_OK;
}

void SimpleObject2::UpdateMesh(TimeValue t) {
    if (!ivalid.InInterval(t))
        BuildMesh(t);
}

ObjectState SimpleObject2::Eval(TimeValue t) {
    UpdateMesh(t);
    return ObjectState(this);
}

Interval SimpleObject2::ObjectValidity(TimeValue t) {
    UpdateMesh(t);
    return ivalid;
}

int SimpleObject2::CanConvertToType(Class_ID obtype) {
    return obtype == ClassID() || obtype == triObjectClassID || obtype == polyObjectClassID ||
           obtype == defObjectClassID;
}

Object* SimpleObject2::ConvertToType(TimeValue t, Class_ID obtype) {
    if (obtype == ClassID())
        return this;
    UpdateMesh(t);
    if (obtype == triObjectClassID || obtype == defObjectClassID) {
        auto* tri = new TriObject();
        tri->mesh = mesh;
        for (int c = 0; c < NUM_OBJ_CHANS; ++c)
            tri->SetChannelValidity(c, ivalid);
        return tri;
    }
    if (obtype == polyObjectClassID) {
        auto* poly = new PolyObject();
        poly->mm.SetFromTri(mesh);
        for (int c = 0; c < NUM_OBJ_CHANS; ++c)
            poly->SetChannelValidity(c, ivalid);
        return poly;
    }
    return nullptr;
}

void SimpleObject2::GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm, BOOL) {
    UpdateMesh(t);
    box = mesh.getBoundingBox(tm);
}

// The copy holds the mesh as last built; the pipeline evaluates the object at its time first.
Object* SimpleObject2::MakeShallowCopy(ChannelMask) {
    return ConvertToType(ivalid.Empty() ? 0 : ivalid.Start(), triObjectClassID);
}

RefTargetHandle SimpleObject2::GetReference(int i) {
    return i == 0 ? pblock2 : nullptr;
}

void SimpleObject2::SetReference(int i, RefTargetHandle rtarg) {
    if (i == 0)
        pblock2 = static_cast<IParamBlock2*>(rtarg);
}

bool SimpleObject2::AcceptsReference(int i, ReferenceTarget* target) {
    return !target || (i == 0 && dynamic_cast<IParamBlock2*>(target) != nullptr);
}

RefResult SimpleObject2::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&,
                                          RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE)
        InvalidateMesh();
    return REF_SUCCEED;
}

IParamBlock2* SimpleObject2::GetParamBlockByID(short id) {
    return pblock2 && pblock2->ID() == id ? pblock2 : nullptr;
}

Animatable* SimpleObject2::SubAnim(int i) {
    return i == 0 ? pblock2 : nullptr;
}
