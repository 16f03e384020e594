#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {

bool SharedLibrary::Open(const std::filesystem::path& path) {
    Close();
    m_error.clear();
    if (path.empty()) {
        m_error = "no library path";
        return false;
    }
    // RTLD_LOCAL keeps the library's symbols out of the global scope, so two
    // engines with the same function names never bind to each other.
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* reason = dlerror();
        m_error = reason != nullptr ? reason : "cannot load library";
        return false;
    }
    return true;
}

void SharedLibrary::Close() {
    if (m_handle != nullptr) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* SharedLibrary::Symbol(const char* name) const {
    if (m_handle == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(m_handle, name);
}

}  // namespace platform
