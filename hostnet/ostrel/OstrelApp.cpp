#include "hostnet/ostrel/OstrelApp.h"

int COstrelApp::InitInstance() {
    return 1;
}

namespace {
// One per library, internal, so that the other host libraries' application objects never bind to it.
COstrelApp theApp;
[[maybe_unused]] const int initialised = theApp.InitInstance();
} // namespace
