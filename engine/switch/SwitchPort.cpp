#include "engine/switch/SwitchPort.h"

CString SwitchPort::ToString() const {
    CString text;
    text.Format("Port:%2d    ", GetPortNo());
    switch (GetEnableState()) {
    case Enable_Enabled:
        text += "Status:Enabled    ";
        break;
    case Enable_Disabled:
        text += "Status:Disabled   ";
        break;
    default:
        text += "Status:Unknown    ";
        break;
    }
    int link = GetLinkState();
    if (link == Link_Up)
        text += "LinkStatus:Up    ";
    else if (link == Link_Down)
        text += "LinkStatus:Down  ";
    text.AppendFormat("VLan Id:%d\n", GetVlanId());
    return text;
}
