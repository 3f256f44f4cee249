// libFuzzer target: the world's settings blob as a scene file hands it over (chunk 2). Whatever
// the bytes, restoring never reads outside them, and either replaces the store by one that
// serialises back to a blob the core reads again, or refuses and leaves the defaults.
// With QX_FUZZ_SEED_WRITER defined it instead writes seed blobs into the folder given as argument.

#include "world/QX_World_Blob.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::vector<uint8_t> SeedBlob() {
    Quarix::QX_BT_World world;
    world.intSettings.set(Quarix::WorldKey::SubSteps, 12);
    world.floatSettings.set(Quarix::WorldKey::Gravity, -1470.0f);
    world.vectorSettings.set(Quarix::WorldKey::GravityDirection, {0.0f, 0.6f, -0.8f, 0.0f});
    return world.Serialise();
}

} // namespace

#ifdef QX_FUZZ_SEED_WRITER

int main(int argc, char** argv) {
    if (argc < 2)
        return 1;
    const std::vector<uint8_t> blob = SeedBlob();
    const std::string path = std::string(argv[1]) + "/world_blob_seed";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 1;
    std::fwrite(blob.data(), 1, blob.size(), f);
    std::fclose(f);
    return 0;
}

#else

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> blob(data, data + size);
    Quarix::QX_BT_World world;
    const std::vector<uint8_t> defaults = world.Serialise();
    std::string message;
    if (Quarix::RestoreWorldSettings(world, blob, message)) {
        const std::vector<uint8_t> back = world.Serialise();
        Quarix::QX_BT_World again;
        if (!again.Deserialise(back.data(), back.size()) || again.Serialise() != back)
            std::abort();
    } else if (message.empty() || world.Serialise() != defaults) {
        std::abort();
    }
    return 0;
}

#endif
