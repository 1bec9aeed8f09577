#pragma once
// Owner of one dlopen handle: a library loaded by name or path, its symbols looked up, and
// the reason of the last failure kept for the message the caller shows.

#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary() { Close(); }

    // Loads with every symbol resolved now, so a broken library fails here, not at a call.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_handle != nullptr; }

    // Null when missing (Error() says why).
    void* Symbol(const char* name);
    template <typename F> F Function(const char* name) { return reinterpret_cast<F>(Symbol(name)); }

    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

} // namespace platform
