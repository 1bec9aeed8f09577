#pragma once
// One port of the bench's managed switch. The console thread updates the record while test
// jobs and the view read it, so every field is atomic.

#include "platform/text/CString.h"

#include <atomic>

class SwitchPort {
public:
    enum { Enable_Unknown = 0, Enable_Enabled = 1, Enable_Disabled = 2 };
    enum { Link_Up = 1, Link_Down = 2 };

    explicit SwitchPort(int port = 0, int enableState = Enable_Unknown, int linkState = Link_Down,
                        int vlanId = -1)
        : m_port(port), m_enableState(enableState), m_linkState(linkState), m_vlanId(vlanId) {}
    SwitchPort(const SwitchPort& other)
        : SwitchPort(other.GetPortNo(), other.GetEnableState(), other.GetLinkState(), other.GetVlanId()) {}
    SwitchPort& operator=(const SwitchPort& other) {
        m_port = other.GetPortNo();
        m_enableState = other.GetEnableState();
        m_linkState = other.GetLinkState();
        m_vlanId = other.GetVlanId();
        return *this;
    }

    int GetPortNo() const { return m_port.load(); }
    int GetEnableState() const { return m_enableState.load(); }
    int GetLinkState() const { return m_linkState.load(); }
    int GetVlanId() const { return m_vlanId.load(); }
    void SetPortNo(int port) { m_port = port; }
    void SetEnableState(int state) { m_enableState = state; }
    void SetLinkState(int state) { m_linkState = state; }
    void SetVlanId(int vlanId) { m_vlanId = vlanId; }

    // One line for the debug log.
    CString ToString() const;

private:
    std::atomic<int> m_port;
    std::atomic<int> m_enableState;
    std::atomic<int> m_linkState;
    std::atomic<int> m_vlanId;
};
