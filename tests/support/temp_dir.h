#pragma once

#include <filesystem>

namespace test_support {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away. Permissions a test took away from the
// folder or any folder inside it are given back first, so the removal never
// leaves anything behind.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace test_support
