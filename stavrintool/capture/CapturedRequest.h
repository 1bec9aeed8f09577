#pragma once
// One request captured in the tool's browser, as a template function replays it.

#include "platform/text/CString.h"

struct CapturedRequest {
    CString action;   // path and query as sent: never a host or a fragment
    CString headers;  // Content-Type, Referer and Origin only, "Name: value\r\n" in arrival order
    CString postData; // the body whole, zero bytes included
    bool isPost = false;
};
