#pragma once

// The main window's skin as the build draws it, once for the whole test
// program, in a folder of its own (its BMP folder beside a program's files).
// The folder goes when the test program ends; a child the program forked
// (a death test) leaves it to its parent.

#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tools/skingen/main_skin.h"

namespace test_support {

inline const std::filesystem::path& DrawnSkinFolder() {
    struct Drawn {
        Drawn() : owner(::getpid()), dir(new TempDir()) { skingen::WriteMainSkin(dir->path()); }
        ~Drawn() {
            if (::getpid() == owner)
                delete dir;
        }
        Drawn(const Drawn&) = delete;
        Drawn& operator=(const Drawn&) = delete;
        pid_t owner;
        TempDir* dir;
    };
    static const Drawn drawn;
    return drawn.dir->path();
}

}  // namespace test_support
