// kestrune-register-engine FOLDER: writes FOLDER as the burning engine's
// folder into the registry store entry the program reads first, so the
// program finds the engine without further steps. Run by the install step
// and by scripts/run.sh.

#include <cstdio>
#include <filesystem>

#include "platform/burn_engine_api.h"
#include "platform/registry_store.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: %s ENGINE-FOLDER\n", argv[0]);
        return 2;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(argv[1], error);
    if (error || !std::filesystem::exists(folder / BURN_ENGINE_LIBRARY_NAME)) {
        std::fprintf(stderr, "%s: no %s in %s\n", argv[0], BURN_ENGINE_LIBRARY_NAME, argv[1]);
        return 1;
    }
    if (!platform::WriteValue(BURN_ENGINE_REGISTRY_KEY, BURN_ENGINE_REGISTRY_VALUE,
                              folder.string())) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0],
                     platform::RegistryFilePath().c_str());
        return 1;
    }
    std::printf("burning engine: %s (in %s)\n", folder.c_str(),
                platform::RegistryFilePath().c_str());
    return 0;
}
