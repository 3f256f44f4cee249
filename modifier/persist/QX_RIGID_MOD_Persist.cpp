#include "modifier/persist/QX_RIGID_MOD_Persist.h"

#include <cmath>

#include <glm/gtc/type_ptr.hpp>

#include "modifier/persist/QX_Core_Snapshot.h"

namespace Quarix {

namespace {

/// Versions closer to 2.3 than this (or newer) are read as 2.3.
constexpr float kVersionTolerance = 0.0001f;

// --- saving -------------------------------------------------------------------------------------

IOResult WriteChunk(ISave* isave, USHORT id, const void* data, size_t size) {
    isave->BeginChunk(id);
    ULONG written = 0;
    const IOResult result = isave->Write(data, static_cast<ULONG>(size), &written);
    isave->EndChunk();
    return result;
}

template <typename T>
IOResult WriteValueChunk(ISave* isave, USHORT id, const T& value) {
    return WriteChunk(isave, id, &value, sizeof(T));
}

/// Chunks 9, 21 and 22: a version and a blob with its length.
IOResult WriteBlobChunks(ISave* isave, float version, const std::vector<uint8_t>& blob) {
    IOResult r = WriteValueChunk(isave, PersistChunk::Version, version);
    if (r == IO_OK)
        r = WriteValueChunk(isave, PersistChunk::BlobLength, static_cast<uint32_t>(blob.size()));
    if (r == IO_OK)
        r = WriteChunk(isave, PersistChunk::Blob, blob.data(), blob.size());
    return r;
}

/// The mesh of chunk 10: the simulation mesh's geometry and face infos with the input mesh's
/// channels, or the simulation mesh's own when the input's no longer describe the same faces
/// (the input has changed since the file was loaded): an ill-matched record must not be imported.
QX_BT_Mesh_Data LegacyMeshRecord(const QX_BT_MeshController& core) {
    QX_BT_Mesh_Data mesh;
    mesh.faceInfos = core.simulationMesh.faceInfos;
    mesh.geometry = core.simulationMesh.geometry;
    mesh.channels = core.inputMesh.channels;
    if (CheckMeshRecord(mesh).empty())
        return mesh;
    mesh.channels = core.simulationMesh.channels;
    if (!CheckMeshRecord(mesh).empty())
        mesh.channels.clear();
    return mesh;
}

IOResult WriteLegacyArray(ISave* isave, USHORT lengthId, USHORT dataId,
                          const std::vector<uint8_t>& bytes) {
    IOResult r = WriteValueChunk(isave, lengthId, static_cast<int32_t>(bytes.size()));
    if (r == IO_OK)
        r = WriteChunk(isave, dataId, bytes.data(), bytes.size());
    return r;
}

IOResult WriteLegacyChunks(ISave* isave, const QX_BT_MeshController& core,
                           const QX_Mesh_Conversion& meshes) {
    const QX_BT_Legacy_Data& legacy = core.legacy;
    IOResult r = WriteValueChunk(isave, PersistChunk::Version, kLegacyVersion);
    if (r == IO_OK && meshes.importMesh) {
        Mesh host;
        meshes.importMesh(LegacyMeshRecord(core), host);
        isave->BeginChunk(PersistChunk::LegacyMesh);
        r = host.Save(isave);
        isave->EndChunk();
    }
    if (r == IO_OK)
        r = WriteLegacyArray(isave, PersistChunk::LegacyElementsLength,
                             PersistChunk::LegacyElements, legacy.elementData);
    if (r == IO_OK)
        r = WriteLegacyArray(isave, PersistChunk::LegacySettingsLength,
                             PersistChunk::LegacySettings, legacy.settingsRecord);
    if (r == IO_OK)
        r = WriteChunk(isave, PersistChunk::LegacyMatrix, glm::value_ptr(legacy.matrix), 64);
    if (r == IO_OK)
        r = WriteValueChunk(isave, PersistChunk::LegacyValue, legacy.value);
    if (r == IO_OK)
        r = WriteLegacyArray(isave, PersistChunk::LegacyLinksLength, PersistChunk::LegacyLinks,
                             legacy.bodyLinks);
    return r;
}

// --- loading ------------------------------------------------------------------------------------

/// Everything the chunks hold, gathered before any of it reaches the core.
struct LoadedChunks {
    float version = -1.0f;
    std::vector<uint8_t> blob;
    std::optional<uint32_t> blobLength;
    QX_BT_Legacy_Data legacy;
    std::optional<int32_t> elementsLength, settingsLength, linksLength;
    std::optional<QX_BT_Mesh_Data> legacyMesh;
};

/// Reads the rest of the open chunk into `bytes`; its size is bounded by the chunk itself.
IOResult ReadPayload(ILoad* iload, std::vector<uint8_t>& bytes) {
    bytes.resize(static_cast<size_t>(iload->CurChunkRemaining()));
    ULONG read = 0;
    return iload->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
}

IOResult ReadLegacyMesh(ILoad* iload, const QX_Mesh_Conversion& meshes, LoadedChunks& loaded) {
    if (!meshes.exportMesh)
        return IO_OK;
    Mesh host;
    const IOResult r = host.Load(iload);
    if (r != IO_OK)
        return r;
    QX_BT_Mesh_Data mesh;
    meshes.exportMesh(host, mesh);
    mesh.channels.erase(kNormalChannel);
    loaded.legacyMesh = std::move(mesh);
    return IO_OK;
}

IOResult ReadChunk(ILoad* iload, USHORT id, const QX_Mesh_Conversion& meshes,
                   LoadedChunks& loaded) {
    QX_BT_Legacy_Data& legacy = loaded.legacy;
    auto readLength = [&](std::optional<int32_t>& length) {
        int32_t value = 0;
        const IOResult r = ReadValue(*iload, value);
        length = value;
        return r;
    };
    switch (id) {
    case PersistChunk::Version:
        return ReadValue(*iload, loaded.version);
    case PersistChunk::LegacyMesh:
        return ReadLegacyMesh(iload, meshes, loaded);
    case PersistChunk::LegacyElementsLength:
        return readLength(loaded.elementsLength);
    case PersistChunk::LegacyElements:
        return ReadPayload(iload, legacy.elementData);
    case PersistChunk::LegacySettingsLength:
        return readLength(loaded.settingsLength);
    case PersistChunk::LegacySettings:
        return ReadPayload(iload, legacy.settingsRecord);
    case PersistChunk::LegacyMatrix: {
        ULONG read = 0;
        return iload->Read(glm::value_ptr(legacy.matrix), 64, &read);
    }
    case PersistChunk::LegacyValue:
        return ReadValue(*iload, legacy.value);
    case PersistChunk::LegacyLinksLength:
        return readLength(loaded.linksLength);
    case PersistChunk::LegacyLinks:
        return ReadPayload(iload, legacy.bodyLinks);
    case PersistChunk::BlobLength: {
        uint32_t value = 0;
        const IOResult r = ReadValue(*iload, value);
        loaded.blobLength = value;
        return r;
    }
    case PersistChunk::Blob:
        return ReadPayload(iload, loaded.blob);
    default:
        return IO_OK; // another id: skipped by CloseChunk
    }
}

/// Whether a length chunk, when present, agrees with the data it announces.
bool LengthAgrees(const std::optional<int32_t>& length, size_t size, const char* what,
                  std::string& refusal) {
    if (!length || (*length >= 0 && size_t(*length) == size))
        return true;
    refusal = std::string(what) + " announces " + std::to_string(*length) + " bytes but holds " +
              std::to_string(size);
    return false;
}

/// Parses a version 2.3 blob into the core; false with `refusal` set when it is damaged.
bool AcceptBlob(LoadedChunks& loaded, QX_BT_MeshController& core, std::string& refusal) {
    if (loaded.blobLength && *loaded.blobLength != loaded.blob.size()) {
        refusal = "core snapshot: chunk 21 announces " + std::to_string(*loaded.blobLength) +
                  " bytes but the blob holds " + std::to_string(loaded.blob.size());
        return false;
    }
    if (!ReadCoreSnapshot(loaded.blob, core, &refusal))
        return false;
    // A blob without bodies holds no results: keeping it would make the core play back an
    // empty simulation instead of passing its input mesh through.
    if (core.pending.records.empty()) {
        core.pending = QX_BT_Stored_Bodies{};
        return true;
    }
    core.keptBlob = std::move(loaded.blob);
    core.loadedVersion = loaded.version;
    return true;
}

/// Converts version 2.0 chunks into pending lists; false with `refusal` set when damaged.
bool AcceptLegacy(LoadedChunks& loaded, QX_BT_MeshController& core, std::string& refusal) {
    QX_BT_Legacy_Data& legacy = loaded.legacy;
    if (!LengthAgrees(loaded.elementsLength, legacy.elementData.size(), "chunk 11", refusal) ||
        !LengthAgrees(loaded.settingsLength, legacy.settingsRecord.size(), "chunk 13", refusal) ||
        !LengthAgrees(loaded.linksLength, legacy.bodyLinks.size(), "chunk 19", refusal))
        return false;
    const float* m = glm::value_ptr(legacy.matrix);
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(m[i])) {
            refusal = "legacy matrix (chunk 15): element " + std::to_string(i) + " is not finite";
            return false;
        }
    }
    QX_BT_Mesh_Data mesh = loaded.legacyMesh.value_or(QX_BT_Mesh_Data{});
    if (std::string why = CheckMeshRecord(mesh); !why.empty()) {
        refusal = "legacy mesh (chunk 10): " + why;
        return false;
    }
    QX_BT_Stored_Bodies stored;
    if (!ConvertLegacyData(legacy, mesh.faceCount(), stored, refusal))
        return false;
    if (const auto loop = CheckParentChains(stored)) {
        refusal = "legacy body links (chunk 20), " + loop->section + ": " + loop->problem;
        return false;
    }
    legacy.settingsPending = true;
    core.simulationMesh = std::move(mesh);
    core.startTransform = legacy.matrix;
    core.pending = std::move(stored);
    core.legacy = std::move(legacy);
    core.loadedVersion = loaded.version;
    return true;
}

} // namespace

IOResult SaveCoreChunks(ISave* isave, QX_BT_MeshController& core,
                        const QX_Mesh_Conversion& meshes) {
    if (core.pending.records.empty()) {
        core.restorePending();
        return WriteBlobChunks(isave, kSnapshotVersion, WriteCoreSnapshot(core));
    }
    if (core.keptBlob.empty())
        return WriteLegacyChunks(isave, core, meshes);
    return WriteBlobChunks(isave, core.loadedVersion, core.keptBlob);
}

IOResult LoadCoreChunks(ILoad* iload, QX_BT_MeshController& core, const QX_Mesh_Conversion& meshes,
                        std::string* refusal) {
    LoadedChunks loaded;
    IOResult r;
    while ((r = iload->OpenChunk()) == IO_OK) {
        r = ReadChunk(iload, iload->CurChunkID(), meshes, loaded);
        if (r != IO_OK)
            return r;
        r = iload->CloseChunk();
        if (r != IO_OK)
            return r;
    }
    if (r != IO_END)
        return r;

    std::string why;
    bool accepted = true;
    if (loaded.version >= 0.0f) {
        if (kSnapshotVersion - loaded.version < kVersionTolerance) {
            if (!loaded.blob.empty())
                accepted = AcceptBlob(loaded, core, why);
        } else if (!loaded.legacy.elementData.empty()) {
            accepted = AcceptLegacy(loaded, core, why);
        }
    }
    if (!accepted) {
        // Nothing of the damaged data stays: the object plays as if never simulated.
        core.keptBlob.clear();
        core.loadedVersion = -1.0f;
        core.pending = QX_BT_Stored_Bodies{};
        core.legacy = QX_BT_Legacy_Data{};
    }
    if (refusal)
        *refusal = accepted ? std::string() : why;
    return IO_OK;
}

} // namespace Quarix
