#include "platform/host/HostState.h"

namespace platform::host {

std::string TextSetting::Get() const {
    std::lock_guard lock(m_mutex);
    return m_value;
}

void TextSetting::Set(std::string value) {
    std::lock_guard lock(m_mutex);
    m_value = std::move(value);
}

TextSetting& RegistryRoot() {
    static TextSetting setting;
    return setting;
}

TextSetting& ProgramDirectory() {
    static TextSetting setting;
    return setting;
}

TextSetting& RunDirectory() {
    static TextSetting setting;
    return setting;
}

TextSetting& WmiHostRoot() {
    static TextSetting setting;
    return setting;
}

std::atomic<wmi::Provider*>& WmiProvider() {
    static std::atomic<wmi::Provider*> provider{nullptr};
    return provider;
}

} // namespace platform::host
