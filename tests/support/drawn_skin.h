#pragma once

// The main window's skin as the build draws it, once for the whole test
// program, in a folder of its own (its BMP folder beside a program's files).

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tools/skingen/main_skin.h"

namespace test_support {

inline const std::filesystem::path& DrawnSkinFolder() {
    static TempDir* dir = [] {
        auto* made = new TempDir();
        skingen::WriteMainSkin(made->path());
        return made;
    }();
    return dir->path();
}

}  // namespace test_support
