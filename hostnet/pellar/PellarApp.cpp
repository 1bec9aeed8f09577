#include "hostnet/pellar/PellarApp.h"

#include <cstring>

int CPellarApp::InitInstance() {
    return 1;
}

namespace {
// One per library, internal, so that the other host libraries' application objects never bind to it.
CPellarApp theApp;
[[maybe_unused]] const int initialised = theApp.InitInstance();

struct StringResource {
    unsigned id;
    const char* text;
};
// The test mail account the host-settings checks expect.
constexpr StringResource kStrings[] = {
    {2008, "Brakmoor"}, {2009, "smtp.example.com"}, {2010, "25"}, {2011, "pop3.example.com"}, {2012, "110"},
    {2013, "N/A"},
};
} // namespace

namespace pellar {

int LoadModuleString(unsigned id, char* buffer, int bufferSize) {
    if (!buffer || bufferSize <= 0)
        return 0;
    buffer[0] = '\0';
    for (const auto& entry : kStrings)
        if (entry.id == id) {
            std::strncpy(buffer, entry.text, static_cast<size_t>(bufferSize) - 1);
            buffer[bufferSize - 1] = '\0';
            return static_cast<int>(std::strlen(buffer));
        }
    return 0;
}

} // namespace pellar
