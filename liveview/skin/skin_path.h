#pragma once

// Where the skin bitmaps named in the skin tables live: the BMP folder of
// the program's folder, each name with the extension .bmp.

#include <filesystem>
#include <string_view>

std::filesystem::path SkinBitmapPath(std::string_view name);
