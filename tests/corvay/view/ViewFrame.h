#pragma once
// The main window as the program lays it out (menu and tool bar 128, the four panes, the keys),
// with the view's list in its client area, shown as the main window. Runs on the UI thread.

#include "corvay/view/CorvayViewBinding.h"
#include "engine/log/StringTable.h"
#include "platform/ui/Frame.h"

inline bool OpenViewFrame(platform::ui::Frame& frame, CorvayViewBinding& binding) {
    bool ok = frame.Create("Corvay", 128, 1024, 700) && frame.CreateToolBar(128) &&
              frame.CreateStatusBar({LoadStringId(57345), "CAP", "NUM", "SCRL"}) &&
              frame.LoadAccelerators("Accelerators128.acc") && binding.Create();
    platform::ui::SetMainWindow(&frame);
    frame.ShowWindow(true);
    return ok;
}
