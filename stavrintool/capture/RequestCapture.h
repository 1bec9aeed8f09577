#pragma once
// The capture rules shared by the proxy and the capture dialogs, without any window.

#include <string>
#include <utility>
#include <vector>

#include "platform/text/CString.h"

namespace capture {

// The action of a URL: its path and query ("/" when it has no path); no scheme, host or
// fragment.
CString ActionFromUrl(const std::string& url);

// The headers a template keeps: Content-Type, Referer and Origin, matched without regard to
// case, as "Name: value\r\n" in arrival order. No cookie or credential.
CString KeptHeaders(const std::vector<std::pair<std::string, std::string>>& headers);

// Puts "<username>" and "<userpassword>" in place of the first occurrence of each credential
// that forms a whole value (after "=", up to "&" or the end), user name first. False, text
// unchanged, when either is empty or not found.
bool ReplaceCredentials(CString& text, const CString& user, const CString& password);

// True when a multipart body has a part named 'control' (name="control").
bool BodyNamesControl(const std::string& body, const CString& control);

} // namespace capture
