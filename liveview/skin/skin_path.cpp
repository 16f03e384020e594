#include "liveview/skin/skin_path.h"

#include <string>

#include "platform/program_folder.h"

std::filesystem::path SkinBitmapPath(std::string_view name) {
    return platform::ProgramFolder() / "BMP" / (std::string(name) + ".bmp");
}
