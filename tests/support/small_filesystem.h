#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace test_support {

// A file system of `bytes` of its own (tmpfs), mounted at a fresh folder for
// the calling thread and the threads it starts from then on: the mount lives
// in a mount namespace of that thread's own, so nothing outside the test sees
// it and nothing of it outlives the object. Writes past its size fail with
// ENOSPC, as on a full disk.
//
// Mounting needs the right to (CAP_SYS_ADMIN, as root has it); without it
// Mounted() is false and the folder is an ordinary one.
class ScopedSmallFilesystem {
public:
    explicit ScopedSmallFilesystem(std::uint64_t bytes);
    ~ScopedSmallFilesystem();
    ScopedSmallFilesystem(const ScopedSmallFilesystem&) = delete;
    ScopedSmallFilesystem& operator=(const ScopedSmallFilesystem&) = delete;

    bool Mounted() const { return m_mounted; }
    // Why it is not mounted (empty when it is).
    const std::string& Failure() const { return m_failure; }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    int m_ownNamespace = -1;  // the thread's namespace before, to go back to
    bool m_mounted = false;
    std::string m_failure;
};

}  // namespace test_support
