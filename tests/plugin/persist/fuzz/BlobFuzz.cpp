// libFuzzer target for the core snapshot reader: every input is handed to ReadCoreSnapshot, which
// must either refuse it with a message or load it into a core that then rebuilds its bodies,
// plays back and writes a blob that reads again; never crash, leak or over-allocate.
//
// Built by scripts/fuzz with clang (-fsanitize=fuzzer,address,undefined). Built with
// QX_FUZZ_SEED_WRITER instead, the same file is a small program that writes seed blobs.

#include "modifier/persist/QX_Core_Snapshot.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#ifndef QX_FUZZ_SEED_WRITER

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace Quarix;
    QX_BT_MeshController core(nullptr);
    std::string error;
    if (!ReadCoreSnapshot(std::span<const std::uint8_t>(data, size), core, &error)) {
        if (error.empty())
            std::abort(); // a refusal must say why
        return 0;
    }
    core.keptBlob.assign(data, data + size);
    core.evaluateOutput(0.0f); // rebuilds shapes and bodies from the pending lists
    core.evaluateOutput(2.5f);
    core.rewindTo(1.0f, true);
    core.evaluateOutput(1.0f);
    core.rewindTo(-1.0f, true);
    core.evaluateOutput(0.0f);
    const std::vector<std::uint8_t> again = WriteCoreSnapshot(core);
    QX_BT_MeshController second(nullptr);
    if (!ReadCoreSnapshot(again, second, &error)) {
        std::fprintf(stderr, "a blob written from a loaded core does not read back: %s\n",
                     error.c_str());
        std::abort();
    }
    return 0;
}

#else

#include "tests/plugin/persist/PersistTestSupport.h"

// Writes seed blobs into the folder given as the only argument.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    };
    Quarix::PersistTest::SimulatedObject fragments(7);
    Quarix::PersistTest::SimulatedObject plain(3);
    Quarix::QX_BT_MeshController empty(nullptr);
    const bool ok = write("fragments.blob", Quarix::WriteCoreSnapshot(fragments.core())) &&
                    write("plain.blob", Quarix::WriteCoreSnapshot(plain.core())) &&
                    write("empty.blob", Quarix::WriteCoreSnapshot(empty));
    return ok ? 0 : 1;
}

#endif
