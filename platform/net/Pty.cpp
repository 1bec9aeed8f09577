#include "platform/net/Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

namespace platform {

bool PtyPair::Open(std::string* error) {
    Close();
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        Close();
        return false;
    };
    m_master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_master)
        return fail("posix_openpt");
    if (::grantpt(m_master.Get()) != 0 || ::unlockpt(m_master.Get()) != 0)
        return fail("grantpt");
    char name[128];
    if (::ptsname_r(m_master.Get(), name, sizeof name) != 0)
        return fail("ptsname");
    m_slavePath = name;
    m_slave.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_slave)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(m_slave.Get(), &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    if (::tcsetattr(m_slave.Get(), TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    return true;
}

void PtyPair::Close() {
    m_slave.Reset();
    m_master.Reset();
    m_slavePath.clear();
}

} // namespace platform
