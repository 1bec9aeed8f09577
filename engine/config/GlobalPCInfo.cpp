#include "engine/config/GlobalPCInfo.h"

PCInfo& GlobalPCInfo() {
    static PCInfo info;
    return info;
}
