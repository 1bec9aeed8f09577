#pragma once
// The program directory (where the executable lives, and Config.ini, logs and data beside it)
// and joining the original's "\Name" style file names onto it.

#include "platform/text/CString.h"

namespace platform {

// Directory of /proc/self/exe with a trailing '/', unless a test has set another one.
CString ProgramDirectory();
// Points ProgramDirectory() elsewhere (tests); an empty text restores the real one.
void SetProgramDirectory(const CString& directory);

// Joins a directory and a file name written either way ("\Config.ini", "Config.ini", "a\b").
CString JoinPath(const CString& directory, const CString& name);

} // namespace platform
