#include "hostnet/ostrel/Ostrel.h"

#include "hostnet/dunmore/Function.h"

extern "C" int AsynPing(char* address, int timeoutMs) {
    try {
        CFunction function;
        return function.AsynPing(CString(address), timeoutMs);
    } catch (...) {
        return 0;
    }
}
