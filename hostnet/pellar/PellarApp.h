#pragma once
// The library's application object (made when the library is loaded; no state) and the
// library's own string resources.

class CPellarApp {
public:
    int InitInstance();
};

namespace pellar {

// Copies the library's string resource 'id' into the buffer (always terminated); its length,
// 0 when the library has no such string.
int LoadModuleString(unsigned id, char* buffer, int bufferSize);

} // namespace pellar
