// skingen <program folder>: writes the generated skins (BMP/...) into the
// program's folder.

#include <cstdio>
#include <exception>
#include <filesystem>

#include "tools/skingen/main_skin.h"
#include "tools/skingen/skin_set.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen <program folder>\n");
        return 2;
    }
    try {
        const std::size_t written =
            skingen::WriteSkin(skingen::LoginSkin(), argv[1]) + skingen::WriteMainSkin(argv[1]);
        std::printf("skingen: %zu files written below %s\n", written, argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "skingen: %s\n", error.what());
        return 1;
    }
    return 0;
}
