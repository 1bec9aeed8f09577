#include "engine/log/Logger.h"
#include "engine/log/SuperLogger.h"
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzParts.h"

#include <sys/mman.h>
#include <unistd.h>

void KeepFuzzLogPrivate() {
    static const bool done = [] {
        SuperLoggerOptions options;
        options.directory = (std::string(FuzzSaveDirectory()) + "/").c_str();
        options.sharedMemoryName = "corvay-fuzz-log-" + std::to_string(::getpid());
        ConfigureSuperLogger(options);
        static const std::string name = "/" + options.sharedMemoryName;
        atexit([] { ::shm_unlink(name.c_str()); });
        // Only errors: the drivers run millions of inputs.
        SetLogLevel(LOG_LEVEL_ERROR);
        return true;
    }();
    (void)done;
}
