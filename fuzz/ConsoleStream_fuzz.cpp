// Any bytes from the switch console, in the pieces the line delivers them in (parts split at
// 0x1F): the console never crashes, keeps its receive buffer bounded, and its port records stay
// within their states.

#include <cstdlib>
#include <future>

#include "engine/switch/SwitchManagerImpl.h"
#include "engine/switch/SwitchManagerUIThread.h"
#include "fuzz/FuzzParts.h"

namespace {

constexpr int kMaxResponse = 8192; // the console's own bound

// Runs a call on the console's thread and waits for it.
template <class F> void OnConsoleThread(SwitchManagerUIThread& thread, F call) {
    std::promise<void> done;
    if (!thread.Post([&] {
            call();
            done.set_value();
        }))
        abort();
    done.get_future().wait();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KeepFuzzLogPrivate();
    SwitchConfig config;
    config.PortCount = 48;
    config.Login.User = "admin";
    config.Login.Password = "admin";
    SwitchConsoleOptions options;
    options.devicePath = "/dev/null"; // no line: what the console sends goes nowhere
    SwitchConsoleProcessState state;
    platform::Event viewReady(true, true);
    options.processState = &state;
    options.viewReady = &viewReady;
    options.timings = {0, 0, 0, 600000, 600000, 0, 0};
    SwitchManagerUIThread thread(config, options);
    thread.Start();
    SwitchManagerImpl* console = thread.GetConsole();
    for (const std::string& piece : FuzzParts(data, size)) {
        OnConsoleThread(thread, [&] {
            console->ReceiveBytes(piece);
            if (console->GetResponseLength() > kMaxResponse)
                abort();
        });
    }
    for (SwitchPort* port : console->GetPortList()) {
        int enable = port->GetEnableState(), link = port->GetLinkState();
        if (enable < 0 || enable > 2 || link < 1 || link > 2)
            abort();
    }
    const int status = console->GetSwitchStatus();
    if (status < SwitchManagerImpl::SwitchStatus_Unknown || status > SwitchManagerImpl::SwitchStatus_Enabled)
        abort();
    thread.Stop();
    return 0;
}
