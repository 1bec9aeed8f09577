#include "platform/files/DynamicLibrary.h"

#include <dlfcn.h>

namespace platform {

bool DynamicLibrary::Open(const std::string& path) {
    Close();
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = ::dlerror();
        m_error = why ? why : "cannot load " + path;
        return false;
    }
    m_error.clear();
    return true;
}

void DynamicLibrary::Close() {
    if (m_handle)
        ::dlclose(m_handle);
    m_handle = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) {
    if (!m_handle) {
        m_error = "no library loaded";
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(m_handle, name);
    if (!symbol) {
        const char* why = ::dlerror();
        m_error = why ? why : std::string("no symbol ") + name;
    }
    return symbol;
}

} // namespace platform
