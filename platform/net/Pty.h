#pragma once
// A pseudo-terminal pair: the master end for a simulated device, the slave end's path for the
// program that believes it talks to a serial line. The slave is held open in raw mode, so the
// line discipline neither echoes nor translates and the master never sees a hang-up while the
// other side closes and reopens the line.

#include "platform/files/UniqueFd.h"

#include <string>

namespace platform {

class PtyPair {
public:
    // False with 'error' set when no pair can be made.
    bool Open(std::string* error = nullptr);
    void Close();

    int Master() const { return m_master.Get(); }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    UniqueFd m_master;
    UniqueFd m_slave;
    std::string m_slavePath;
};

} // namespace platform
