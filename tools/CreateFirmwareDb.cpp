// create-firmware-db [FILE]: writes an empty firmware database, by default Tellvane.mdb in the
// program directory. An existing file is never replaced.

#include <cstdio>

#include "engine/Common.h"
#include "engine/firmware/FirmwareSchema.h"
#include "platform/files/ProgramDirectory.h"

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr,
                     "usage: create-firmware-db [FILE]\n"
                     "Writes an empty firmware database (default: Tellvane.mdb beside the program).\n");
        return 2;
    }
    CString path =
        argc == 2 ? CString(argv[1]) : platform::JoinPath(GetProgramDirectory(), kFirmwareDatabaseName);
    CString why;
    if (!CreateFirmwareDatabase(path, why)) {
        std::fprintf(stderr, "create-firmware-db: %s\n", why.GetString());
        return 1;
    }
    std::printf("created %s\n", path.GetString());
    return 0;
}
