#pragma once
// The browser panel of the function capture (resource 136): armed, it takes the next request
// the page sends and lets it go on to the modem (a captured "reboot" reboots it).

#include "stavrintool/capture/CapturePanel.h"

class IeFuncPanel : public CapturePanel {
public:
    static constexpr int IDD = 136;
    IeFuncPanel() : CapturePanel(IDD, CaptureProxy::Mode::Forward) {}

    void SetArmed(bool armed) { Arm(armed); }
};
