#include "hostnet/dunmore/DunmoreApp.h"

int CDunmoreApp::InitInstance() {
    return 1;
}

namespace {
// One per library, made when the library is loaded; internal, so the application objects of
// the other host libraries never bind to this one.
CDunmoreApp theApp;
[[maybe_unused]] const int initialised = theApp.InitInstance();
} // namespace
