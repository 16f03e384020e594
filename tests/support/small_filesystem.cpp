#include "tests/support/small_filesystem.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace test_support {

namespace {

std::string Said(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

}  // namespace

ScopedSmallFilesystem::ScopedSmallFilesystem(std::uint64_t bytes) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrune-small-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        m_failure = Said("mkdtemp");
        return;
    }
    m_path = pattern;
    m_ownNamespace = ::open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
    if (m_ownNamespace < 0) {
        m_failure = Said("open the mount namespace");
        return;
    }
    // A namespace of this thread's own; its mounts are kept from the rest of
    // the system (and the system's from it) before anything is mounted.
    if (::unshare(CLONE_NEWNS) != 0) {
        m_failure = Said("unshare");
        return;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        m_failure = Said("make the mounts private");
        return;
    }
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (::mount("kestrune-small", m_path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                options.c_str()) != 0) {
        m_failure = Said("mount");
        return;
    }
    m_mounted = true;
}

ScopedSmallFilesystem::~ScopedSmallFilesystem() {
    if (m_mounted) {
        ::umount2(m_path.c_str(), MNT_DETACH);
    }
    if (m_ownNamespace >= 0) {
        // Back to the namespace the thread had (a no-op when unshare failed);
        // that moves the thread to the root folder, so its working folder is
        // put back after.
        const int workingFolder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::setns(m_ownNamespace, CLONE_NEWNS);
        if (workingFolder >= 0) {
            (void)::fchdir(workingFolder);
            ::close(workingFolder);
        }
        ::close(m_ownNamespace);
    }
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

}  // namespace test_support
