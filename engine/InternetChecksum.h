#pragma once
// The engine's name for the Internet checksum (platform/net/InternetChecksum.h).

#include "platform/net/InternetChecksum.h"

using platform::InternetChecksum;
