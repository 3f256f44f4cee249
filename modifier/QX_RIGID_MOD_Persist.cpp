// Saving and loading the rigid modifier's simulation results: the chunks are written and read by
// the persistence library; the modifier lends it the host mesh conversion.

#include <cstdio>

#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD.h"
#include "modifier/persist/QX_RIGID_MOD_Persist.h"

namespace {

const Quarix::QX_Mesh_Conversion& MeshConversion() {
    static const Quarix::QX_Mesh_Conversion conversion{QX_Mesh_Convert::ExportMesh,
                                                       QX_Mesh_Convert::ImportMesh};
    return conversion;
}

} // namespace

IOResult QX_RIGID_MOD::Save(ISave* isave) {
    return Quarix::SaveCoreChunks(isave, *m_core, MeshConversion());
}

IOResult QX_RIGID_MOD::Load(ILoad* iload) {
    m_loadRefusal.clear();
    const IOResult result =
        Quarix::LoadCoreChunks(iload, *m_core, MeshConversion(), &m_loadRefusal);
    // Refused results leave the object as never simulated; the scene itself still loads.
    if (!m_loadRefusal.empty())
        std::fprintf(stderr, "Quarix Rigid: simulation results not loaded: %s\n",
                     m_loadRefusal.c_str());
    return result;
}
