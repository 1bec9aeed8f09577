#pragma once
// The one interface through which the view and the jobs drive the switch, over the serial
// console (SwitchManager) or telnet (SwitchManager2). Operations may throw Throw_Error values
// or SwitchTimeoutError (engine/ThrowError.h).

#include <vector>

#include "engine/switch/Observer.h"
#include "engine/switch/SwitchPort.h"
#include "engine/switch/ThrowError.h"

class ISwitchManager : public SwitchSubject, public IManager {
public:
    // Queries every port; the records belong to the manager.
    virtual std::vector<SwitchPort*> GetAllPortStatus() = 0;
    // Queries one port; null for a port outside the list.
    virtual SwitchPort* GetPortStatus(int port) = 0;
    virtual void DisableAllPortsExceptTrunk() = 0;
    virtual void EnableAllPorts() = 0;
    virtual void EnablePort(int port) = 0;
    virtual void DisablePort(int port) = 0;
    // The port of the last link trap, and of the last enable or disable.
    virtual SwitchPort* GetLinkChangedPort() = 0;
    virtual SwitchPort* GetEnDisabledPort() = 0;
    virtual int IsLoggedIn() = 0;
    virtual void Reconnect() = 0;
};
