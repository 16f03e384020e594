// skingen <program folder>: writes the generated skins (BMP/...) into the
// program's folder.
// skingen --list <file>: writes the paths of those files, one a line,
// relative to the program's folder.

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

#include "tools/skingen/camera_toolbar_faces.h"
#include "tools/skingen/dialog_faces.h"
#include "tools/skingen/main_skin.h"
#include "tools/skingen/skin_manifest.h"
#include "tools/skingen/skin_set.h"
#include "tools/skingen/widget_faces.h"

namespace {

int WriteList(const char* target) {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    for (const std::string& path : skingen::SkinFilePaths()) {
        out << path << '\n';
    }
    out.close();
    if (!out) {
        std::fprintf(stderr, "skingen: cannot write %s\n", target);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0) {
        return WriteList(argv[2]);
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen <program folder>\n       skingen --list <file>\n");
        return 2;
    }
    try {
        const std::size_t written =
            skingen::WriteSkin(skingen::LoginSkin(), argv[1]) + skingen::WriteMainSkin(argv[1]) +
            skingen::WriteWidgetFaces(argv[1]) + skingen::WriteDialogFaces(argv[1]) +
            skingen::WriteCameraToolbarFaces(argv[1]);
        std::printf("skingen: %zu files written below %s\n", written, argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "skingen: %s\n", error.what());
        return 1;
    }
    return 0;
}
