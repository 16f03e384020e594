#include "platform/runtime_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {

bool EnsurePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty()) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    // Checked through a descriptor, so that what is checked is what gets
    // narrowed; O_NOFOLLOW refuses a link planted in place of the folder.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 077) != 0) {
        ok = ::fchmod(fd, 0700) == 0;
    }
    ::close(fd);
    return ok;
}

std::optional<std::filesystem::path> RuntimeFolder() {
    std::filesystem::path folder;
    const char* runtime = ::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = std::filesystem::path(runtime) / "kestrune";
    } else {
        folder = "/tmp/kestrune-" + std::to_string(::geteuid());
    }
    if (!EnsurePrivateFolder(folder)) {
        return std::nullopt;
    }
    return folder;
}

}  // namespace platform
