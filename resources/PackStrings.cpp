// The string table of one language pack; PACK_STRINGS names the table to compile. Compiled with
// the program's charset, so the texts are GBK as the program's own.
#include "platform/ui/LanguagePack.h"

namespace {
const CorvayPackString kStrings[] = {
#include PACK_STRINGS
};
} // namespace

extern "C" __attribute__((visibility("default"))) const CorvayPackString*
CorvayPackStrings(unsigned long* count) {
    *count = sizeof kStrings / sizeof kStrings[0];
    return kStrings;
}
