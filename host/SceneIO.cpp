#include "host/SceneIO.h"

#include "host/ChunkFile.h"
#include "host/Interface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

namespace {

constexpr USHORT kSettingsChunk = 0x0001;
constexpr USHORT kObjectsChunk = 0x0002;
constexpr USHORT kNodesChunk = 0x0003;
constexpr USHORT kSelectionChunk = 0x0004;
constexpr USHORT kObjectChunk = 0x0010;
constexpr USHORT kObjectClassChunk = 0x0011;
constexpr USHORT kObjectDataChunk = 0x0012;
constexpr USHORT kObjectRefsChunk = 0x0013;

std::string ClassText(SClass_ID sclass, Class_ID cid) {
    char text[80];
    std::snprintf(text, sizeof(text), "class (0x%08X, 0x%08X) of super class 0x%X",
                  static_cast<unsigned>(cid.PartA()), static_cast<unsigned>(cid.PartB()),
                  static_cast<unsigned>(sclass));
    return text;
}

} // namespace

/// Collects the objects of a scene and writes them.
class SceneWriter {
public:
    explicit SceneWriter(Interface& ip) : m_ip(ip) {}

    bool Write(std::vector<BYTE>& bytes, std::string* error) {
        Collect();
        ChunkWriter out;
        out.BeginChunk(kSettingsChunk);
        IOResult res = WriteValue(out, static_cast<std::int32_t>(m_ip.m_frameRate));
        res = res == IO_OK ? WriteValue(out, static_cast<std::int32_t>(m_ip.m_time)) : res;
        res = res == IO_OK ? WriteValue(out, static_cast<std::int32_t>(m_ip.m_animRange.Start()))
                           : res;
        res =
            res == IO_OK ? WriteValue(out, static_cast<std::int32_t>(m_ip.m_animRange.End())) : res;
        res = res == IO_OK ? WriteValue(out, static_cast<std::int32_t>(m_ip.m_unitType)) : res;
        res = res == IO_OK ? WriteValue(out, m_ip.m_unitScale) : res;
        res = res == IO_OK ? WriteValue(out, m_ip.m_nextHandle) : res;
        out.EndChunk();

        out.BeginChunk(kObjectsChunk);
        for (size_t i = 0; i < m_objects.size() && res == IO_OK; ++i) {
            ReferenceTarget* obj = m_objects[i];
            out.BeginChunk(kObjectChunk);
            out.BeginChunk(kObjectClassChunk);
            res = WriteValue(out, static_cast<std::uint32_t>(obj->SuperClassID()));
            res = res == IO_OK ? WriteValue(out, obj->ClassID().PartA()) : res;
            res = res == IO_OK ? WriteValue(out, obj->ClassID().PartB()) : res;
            out.EndChunk();
            out.BeginChunk(kObjectDataChunk);
            const int depth = out.CurChunkDepth();
            if (res == IO_OK && obj->Save(&out) != IO_OK) {
                MSTR name;
                obj->GetClassName(name);
                if (error)
                    *error = "object " + std::to_string(i) + " (" + ToUtf8(name) + "): Save failed";
                return false;
            }
            if (out.CurChunkDepth() != depth) {
                if (error)
                    *error = "object " + std::to_string(i) + ": Save left its chunks unbalanced";
                return false;
            }
            out.EndChunk();
            out.BeginChunk(kObjectRefsChunk);
            const int n = obj->NumRefs();
            res = res == IO_OK ? WriteValue(out, static_cast<std::int32_t>(n)) : res;
            for (int r = 0; r < n && res == IO_OK; ++r)
                res = WriteValue(out, static_cast<std::int32_t>(IndexOf(obj->GetReference(r))));
            out.EndChunk();
            out.EndChunk();
        }
        out.EndChunk();

        out.BeginChunk(kNodesChunk);
        res = res == IO_OK ? WriteValue(out, static_cast<std::uint32_t>(m_ip.m_nodes.size())) : res;
        for (const auto& node : m_ip.m_nodes)
            res = res == IO_OK ? WriteValue(out, static_cast<std::int32_t>(IndexOf(node.get())))
                               : res;
        out.EndChunk();

        out.BeginChunk(kSelectionChunk);
        res = res == IO_OK ? WriteValue(out, static_cast<std::uint32_t>(m_ip.m_selection.size()))
                           : res;
        for (INode* node : m_ip.m_selection)
            res = res == IO_OK ? WriteValue(out, node->GetHandle()) : res;
        out.EndChunk();

        if (res != IO_OK || out.Failed()) {
            if (error)
                *error = "scene could not be written";
            return false;
        }
        bytes = out.Bytes();
        return true;
    }

private:
    // Every node first (so node indices follow creation order), then everything reachable
    // from them through references, depth first.
    void Collect() {
        std::vector<ReferenceTarget*> stack;
        for (const auto& node : m_ip.m_nodes)
            Add(node.get());
        for (size_t i = 0; i < m_objects.size(); ++i) {
            stack.push_back(m_objects[i]);
            while (!stack.empty()) {
                ReferenceTarget* obj = stack.back();
                stack.pop_back();
                for (int r = obj->NumRefs() - 1; r >= 0; --r) {
                    ReferenceTarget* ref = obj->GetReference(r);
                    if (ref && Add(ref))
                        stack.push_back(ref);
                }
            }
        }
    }

    bool Add(ReferenceTarget* obj) {
        if (m_index.count(obj))
            return false;
        m_index[obj] = static_cast<int>(m_objects.size());
        m_objects.push_back(obj);
        return true;
    }

    int IndexOf(ReferenceTarget* obj) const {
        auto it = m_index.find(obj);
        return it == m_index.end() ? -1 : it->second;
    }

    Interface& m_ip;
    std::vector<ReferenceTarget*> m_objects;
    std::map<ReferenceTarget*, int> m_index;
};

/// Reads a scene aside and swaps it in only when it is complete.
class SceneReader {
public:
    SceneReader(Interface& ip, std::span<const BYTE> bytes) : m_ip(ip), m_in(bytes) {}
    ~SceneReader() { Discard(); }

    bool Read(std::string* error) {
        bool ok = ReadChunks() && Link();
        if (!ok) {
            if (error)
                *error = m_in.Failed() ? m_in.ErrorMessage() : std::string("scene is invalid");
            return false;
        }
        Commit();
        BroadcastNotification(NOTIFY_FILE_POST_OPEN);
        return true;
    }

private:
    struct Staged {
        ReferenceTarget* obj = nullptr;
        std::vector<int> refs;
        bool isNode = false;
    };

    bool Fail(const std::string& what) {
        m_in.Fail(what);
        return false;
    }

    bool ReadChunks() {
        if (m_in.Failed())
            return false;
        bool settings = false, objects = false, nodes = false;
        IOResult res;
        while ((res = m_in.OpenChunk()) == IO_OK) {
            bool ok = true;
            switch (m_in.CurChunkID()) {
            case kSettingsChunk:
                ok = !settings && ReadSettings();
                settings = true;
                break;
            case kObjectsChunk:
                ok = !objects && ReadObjects();
                objects = true;
                break;
            case kNodesChunk:
                ok = objects && !nodes && ReadNodeList();
                nodes = true;
                break;
            case kSelectionChunk:
                ok = ReadSelection();
                break;
            default:
                break;
            }
            if (!ok)
                return m_in.Failed() ? false : Fail("malformed or misplaced chunk");
            if (m_in.CloseChunk() != IO_OK)
                return false;
        }
        if (res != IO_END)
            return false;
        if (!settings || !objects || !nodes)
            return Fail("scene file lacks its settings, object or node chunk");
        return true;
    }

    bool ReadSettings() {
        std::int32_t fps = 0, time = 0, start = 0, end = 0, unit = 0;
        float scale = 0.0f;
        ULONG nextHandle = 0;
        if (ReadValue(m_in, fps) != IO_OK || ReadValue(m_in, time) != IO_OK ||
            ReadValue(m_in, start) != IO_OK || ReadValue(m_in, end) != IO_OK ||
            ReadValue(m_in, unit) != IO_OK || ReadValue(m_in, scale) != IO_OK ||
            ReadValue(m_in, nextHandle) != IO_OK)
            return false;
        if (fps < 1 || fps > TIME_TICKSPERSEC)
            return Fail("frame rate " + std::to_string(fps) + " is out of range");
        if (unit < UNITS_INCHES || unit > UNITS_KILOMETERS || !std::isfinite(scale) ||
            scale <= 0.0f)
            return Fail("invalid system unit");
        if (start > end)
            return Fail("animation range ends before it starts");
        m_fps = fps;
        m_time = time;
        m_range = Interval(start, end);
        m_unitType = unit;
        m_unitScale = scale;
        m_nextHandle = nextHandle;
        return true;
    }

    bool ReadObjects() {
        IOResult res;
        while ((res = m_in.OpenChunk()) == IO_OK) {
            if (m_in.CurChunkID() == kObjectChunk && !ReadObject())
                return false;
            if (m_in.CloseChunk() != IO_OK)
                return false;
        }
        return res == IO_END;
    }

    bool ReadObject() {
        const std::string what = "object " + std::to_string(m_staged.size());
        if (m_in.OpenChunk() != IO_OK || m_in.CurChunkID() != kObjectClassChunk)
            return Fail(what + ": class chunk missing");
        std::uint32_t sclass = 0, a = 0, b = 0;
        if (ReadValue(m_in, sclass) != IO_OK || ReadValue(m_in, a) != IO_OK ||
            ReadValue(m_in, b) != IO_OK || m_in.CloseChunk() != IO_OK)
            return false;
        const Class_ID cid(a, b);
        Staged staged;
        if (sclass == BASENODE_CLASS_ID && cid == nodeClassID) {
            staged.obj = new INode();
            staged.isNode = true;
        } else if (sclass == PARAMETER_BLOCK2_CLASS_ID && cid == paramBlock2ClassID) {
            staged.obj = new IParamBlock2();
        } else {
            ClassDesc* cd = m_ip.m_classes.Find(sclass, cid);
            if (!cd)
                return Fail(what + ": " + ClassText(sclass, cid) + " is not registered");
            void* raw = cd->Create(TRUE);
            auto* target =
                raw ? dynamic_cast<ReferenceTarget*>(static_cast<Animatable*>(raw)) : nullptr;
            if (!target)
                return Fail(what + ": " + ClassText(sclass, cid) + " could not be created");
            staged.obj = target;
        }
        // Staged objects are not auto-deleted while the references are being rebuilt.
        staged.obj->SetAutoDelete(false);
        m_staged.push_back(std::move(staged));
        Staged& entry = m_staged.back();

        if (m_in.OpenChunk() != IO_OK || m_in.CurChunkID() != kObjectDataChunk)
            return Fail(what + ": data chunk missing");
        const int depth = m_in.CurChunkDepth();
        if (entry.obj->Load(&m_in) != IO_OK || m_in.CurChunkDepth() != depth) {
            MSTR name;
            entry.obj->GetClassName(name);
            return Fail(what + " (" + ToUtf8(name) + "): its data could not be loaded");
        }
        if (m_in.CloseChunk() != IO_OK)
            return false;

        if (m_in.OpenChunk() != IO_OK || m_in.CurChunkID() != kObjectRefsChunk)
            return Fail(what + ": reference chunk missing");
        std::int32_t count = 0;
        if (ReadValue(m_in, count) != IO_OK)
            return false;
        if (count < 0 || static_cast<std::uint64_t>(count) * 4 > m_in.CurChunkRemaining())
            return Fail(what + ": reference count " + std::to_string(count) +
                        " does not fit its chunk");
        entry.refs.resize(static_cast<size_t>(count));
        for (int& r : entry.refs) {
            std::int32_t v = 0;
            if (ReadValue(m_in, v) != IO_OK)
                return false;
            r = v;
        }
        if (m_in.CloseChunk() != IO_OK)
            return false;
        // Anything after the three chunks belongs to a newer writer and is skipped.
        return true;
    }

    bool ReadNodeList() {
        std::uint32_t count = 0;
        if (ReadValue(m_in, count) != IO_OK)
            return false;
        if (static_cast<std::uint64_t>(count) * 4 > m_in.CurChunkRemaining())
            return Fail("node count " + std::to_string(count) + " does not fit its chunk");
        std::set<int> seen;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::int32_t index = 0;
            if (ReadValue(m_in, index) != IO_OK)
                return false;
            if (index < 0 || index >= static_cast<int>(m_staged.size()) ||
                !m_staged[static_cast<size_t>(index)].isNode || !seen.insert(index).second)
                return Fail("node " + std::to_string(i) + " refers to object " +
                            std::to_string(index) + ", which is not a node");
            m_nodeOrder.push_back(index);
        }
        return true;
    }

    bool ReadSelection() {
        std::uint32_t count = 0;
        if (ReadValue(m_in, count) != IO_OK)
            return false;
        if (static_cast<std::uint64_t>(count) * 4 > m_in.CurChunkRemaining())
            return Fail("selection count does not fit its chunk");
        for (std::uint32_t i = 0; i < count; ++i) {
            ULONG handle = 0;
            if (ReadValue(m_in, handle) != IO_OK)
                return false;
            m_selection.push_back(handle);
        }
        return true;
    }

    // Checks every reference and the node hierarchy, then wires the references. Nothing of the
    // current scene is touched here.
    bool Link() {
        if (m_nodeOrder.size() !=
            static_cast<size_t>(std::count_if(m_staged.begin(), m_staged.end(),
                                              [](const Staged& s) { return s.isNode; })))
            return Fail("the node list does not name every node object");
        std::map<ULONG, INode*> byHandle;
        for (int index : m_nodeOrder) {
            auto* node = static_cast<INode*>(m_staged[static_cast<size_t>(index)].obj);
            if (node->GetHandle() == 0 || !byHandle.emplace(node->GetHandle(), node).second)
                return Fail("node handle " + std::to_string(node->GetHandle()) +
                            " is zero or used twice");
        }
        for (int index : m_nodeOrder) {
            auto* node = static_cast<INode*>(m_staged[static_cast<size_t>(index)].obj);
            ULONG parent = node->m_loadedParent;
            // Walking up must end at the root within as many steps as there are nodes.
            for (size_t steps = 0; parent != 0; ++steps) {
                auto it = byHandle.find(parent);
                if (it == byHandle.end())
                    return Fail("node " + ToUtf8(node->GetName()) + " has an unknown parent " +
                                std::to_string(parent));
                if (steps > byHandle.size())
                    return Fail("node hierarchy has a cycle at " + ToUtf8(node->GetName()));
                parent = it->second->m_loadedParent;
            }
        }
        for (size_t i = 0; i < m_staged.size(); ++i) {
            for (int r : m_staged[i].refs) {
                if (r < -1 || r >= static_cast<int>(m_staged.size()))
                    return Fail("object " + std::to_string(i) + " refers to object " +
                                std::to_string(r) + " of " + std::to_string(m_staged.size()));
            }
        }
        if (!CheckAcyclic())
            return false;
        for (size_t i = 0; i < m_staged.size(); ++i) {
            Staged& s = m_staged[i];
            if (static_cast<int>(s.refs.size()) != s.obj->NumRefs())
                return Fail("object " + std::to_string(i) + " has " +
                            std::to_string(s.obj->NumRefs()) + " references, the file " +
                            std::to_string(s.refs.size()));
            for (size_t r = 0; r < s.refs.size(); ++r) {
                ReferenceTarget* target =
                    s.refs[r] < 0 ? nullptr : m_staged[static_cast<size_t>(s.refs[r])].obj;
                if (!s.obj->AcceptsReference(static_cast<int>(r), target))
                    return Fail("object " + std::to_string(i) + " cannot take object " +
                                std::to_string(s.refs[r]) + " as its reference " +
                                std::to_string(r));
            }
        }
        for (Staged& s : m_staged) {
            for (size_t r = 0; r < s.refs.size(); ++r) {
                ReferenceTarget* target =
                    s.refs[r] < 0 ? nullptr : m_staged[static_cast<size_t>(s.refs[r])].obj;
                s.obj->ReplaceReference(static_cast<int>(r), target, TRUE);
            }
        }
        m_byHandle = std::move(byHandle);
        return true;
    }

    // References own their targets jointly, so they must not form a cycle (it would never be
    // freed). References to nodes do not own them and are left out.
    bool CheckAcyclic() {
        enum : char { kNew, kOpen, kDone };
        std::vector<char> state(m_staged.size(), kNew);
        for (size_t start = 0; start < m_staged.size(); ++start) {
            if (state[start] != kNew)
                continue;
            // Iterative depth-first walk: (object, next reference to look at).
            std::vector<std::pair<size_t, size_t>> stack{{start, 0}};
            state[start] = kOpen;
            while (!stack.empty()) {
                auto& [obj, next] = stack.back();
                const std::vector<int>& refs = m_staged[obj].refs;
                if (next == refs.size()) {
                    state[obj] = kDone;
                    stack.pop_back();
                    continue;
                }
                int r = refs[next++];
                if (r < 0 || m_staged[static_cast<size_t>(r)].isNode)
                    continue;
                auto target = static_cast<size_t>(r);
                if (state[target] == kOpen)
                    return Fail("references form a cycle through object " + std::to_string(r));
                if (state[target] == kNew) {
                    state[target] = kOpen;
                    stack.emplace_back(target, 0);
                }
            }
        }
        return true;
    }

    void Commit() {
        BroadcastNotification(NOTIFY_FILE_PRE_OPEN);
        m_ip.ResetScene();
        for (int index : m_nodeOrder) {
            Staged& s = m_staged[static_cast<size_t>(index)];
            auto* node = static_cast<INode*>(s.obj);
            m_ip.AdoptNode(std::unique_ptr<INode>(node));
            s.obj = nullptr;
        }
        ULONG maxHandle = 0;
        for (const auto& node : m_ip.m_nodes) {
            if (!node->GetTMController())
                node->ReplaceReference(0, NewDefaultMatrix3Controller());
            ULONG parent = node->m_loadedParent;
            node->LinkParent(parent ? m_byHandle[parent] : m_ip.m_root.get());
            maxHandle = std::max(maxHandle, node->GetHandle());
            if (node->m_loadedSelected)
                m_ip.SelectNode(node.get(), 0);
        }
        for (ULONG handle : m_selection)
            m_ip.SelectNode(m_ip.GetINodeByHandle(handle), 0);
        m_ip.m_nextHandle = std::max(m_nextHandle, maxHandle + 1);
        m_ip.m_frameRate = m_fps;
        m_ip.m_time = m_time;
        m_ip.m_animRange = m_range;
        m_ip.m_unitType = m_unitType;
        m_ip.m_unitScale = m_unitScale;
        // Objects no node reaches (only a hand-made file has them) are dropped: first their
        // references, then the objects, while auto-delete is still off so nothing cascades.
        std::vector<bool> reached(m_staged.size(), false);
        std::vector<int> stack(m_nodeOrder.begin(), m_nodeOrder.end());
        while (!stack.empty()) {
            int i = stack.back();
            stack.pop_back();
            if (reached[static_cast<size_t>(i)])
                continue;
            reached[static_cast<size_t>(i)] = true;
            for (int r : m_staged[static_cast<size_t>(i)].refs) {
                if (r >= 0 && !reached[static_cast<size_t>(r)])
                    stack.push_back(r);
            }
        }
        for (size_t i = 0; i < m_staged.size(); ++i) {
            if (m_staged[i].obj && !reached[i])
                m_staged[i].obj->DeleteAllRefsFromMe();
        }
        for (size_t i = 0; i < m_staged.size(); ++i) {
            ReferenceTarget* obj = m_staged[i].obj;
            if (!obj)
                continue;
            if (!reached[i]) {
                obj->DeleteThis();
            } else {
                obj->SetAutoDelete(true);
                // A parameter block belongs to the first object that references it.
                if (obj->SuperClassID() == PARAMETER_BLOCK2_CLASS_ID) {
                    auto* pb = static_cast<IParamBlock2*>(obj);
                    if (!pb->GetOwner() && !pb->GetDependents().empty())
                        pb->SetOwner(pb->GetDependents().front());
                }
            }
            m_staged[i].obj = nullptr;
        }
        m_staged.clear();
    }

    // Frees everything staged after a failure: first every reference between staged objects is
    // dropped (no auto-delete while staged), then each object is freed once.
    void Discard() {
        for (Staged& s : m_staged) {
            if (s.obj)
                s.obj->DeleteAllRefsFromMe();
        }
        for (Staged& s : m_staged) {
            if (!s.obj)
                continue;
            if (s.isNode)
                delete static_cast<INode*>(s.obj);
            else
                s.obj->DeleteThis();
            s.obj = nullptr;
        }
        m_staged.clear();
    }

    Interface& m_ip;
    ChunkReader m_in;
    std::vector<Staged> m_staged;
    std::vector<int> m_nodeOrder;
    std::vector<ULONG> m_selection;
    std::map<ULONG, INode*> m_byHandle;
    int m_fps = 30;
    TimeValue m_time = 0;
    Interval m_range;
    int m_unitType = UNITS_INCHES;
    float m_unitScale = 1.0f;
    ULONG m_nextHandle = 1;
};

bool SaveScene(Interface& ip, std::vector<BYTE>& bytes, std::string* error) {
    return SceneWriter(ip).Write(bytes, error);
}

bool LoadScene(Interface& ip, std::span<const BYTE> bytes, std::string* error) {
    return SceneReader(ip, bytes).Read(error);
}

bool SaveSceneFile(Interface& ip, const std::string& path, std::string* error) {
    std::vector<BYTE> bytes;
    if (!SaveScene(ip, bytes, error))
        return false;
    // Write to a temporary file and rename, so a failed write never leaves half a scene behind.
    const std::string temp = path + ".partial";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            if (error)
                *error = "scene file " + path + ": cannot be written";
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        if (error)
            *error = "scene file " + path + ": cannot be replaced";
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool LoadSceneFile(Interface& ip, const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        if (error)
            *error = "scene file " + path + ": cannot be opened";
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxSceneFileBytes) {
        if (error)
            *error = "scene file " + path + ": size is not acceptable";
        return false;
    }
    std::vector<BYTE> bytes(static_cast<size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in) {
        if (error)
            *error = "scene file " + path + ": cannot be read";
        return false;
    }
    std::string why;
    if (!LoadScene(ip, bytes, &why)) {
        if (error)
            *error = "scene file " + path + ": " + why;
        return false;
    }
    return true;
}
