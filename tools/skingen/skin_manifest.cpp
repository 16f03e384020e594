#include "tools/skingen/skin_manifest.h"

#include <algorithm>

#include "tools/skingen/camera_toolbar_faces.h"
#include "tools/skingen/dialog_faces.h"
#include "tools/skingen/main_skin.h"
#include "tools/skingen/skin_set.h"
#include "tools/skingen/widget_faces.h"

namespace skingen {

std::vector<std::string> SkinFilePaths() {
    std::vector<std::string> paths;
    for (const SkinFile& file : LoginSkin().files) {
        paths.emplace_back(file.path);
    }
    for (const MainSkinFile& file : MainSkinFiles()) {
        paths.push_back("BMP/" + file.name + ".bmp");
    }
    paths.emplace_back(kCalendarFacePath);
    for (const DialogFaceFile& file : DialogFaceFiles()) {
        paths.emplace_back(file.path);
    }
    for (const std::string& path : CameraToolbarFacePaths()) paths.push_back(path);
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

}  // namespace skingen
