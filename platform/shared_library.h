#pragma once

#include <cstring>
#include <filesystem>
#include <string>

namespace platform {

// A shared library loaded at run time. Symbols are looked up by name on
// every call; nothing is cached, so a library that lacks a function simply
// answers null for it.
class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary() { Close(); }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads `path` (closing any library held before). False, with the
    // loader's reason in LastError(), when it cannot be loaded.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return m_handle != nullptr; }

    // The address of `name`, or null when the library lacks it (or none is
    // open).
    void* Symbol(const char* name) const;

    // The symbol as a function pointer of type Fn.
    template <typename Fn>
    Fn Function(const char* name) const {
        void* address = Symbol(name);
        Fn function = nullptr;
        static_assert(sizeof(function) == sizeof(address));
        std::memcpy(&function, &address, sizeof(function));
        return function;
    }

    const std::string& LastError() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

}  // namespace platform
