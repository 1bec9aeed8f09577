#include "hostnet/dunmore/DunmoreApp.h"

int CDunmoreApp::InitInstance() { return 1; }

CDunmoreApp theApp;

namespace {
[[maybe_unused]] const int initialised = theApp.InitInstance();
}
