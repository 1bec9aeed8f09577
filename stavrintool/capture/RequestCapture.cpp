#include "stavrintool/capture/RequestCapture.h"

#include "platform/http/HttpMessageReader.h"

#include <algorithm>
#include <cctype>

namespace capture {

namespace {

// Replaces the first "=value" whose value is exactly 'value' (it ends at "&" or the end).
bool ReplaceWholeValue(std::string& text, const std::string& value, const std::string& placeholder) {
    std::string needle = "=" + value;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        size_t end = at + needle.size();
        if (end == text.size() || text[end] == '&') {
            text.replace(at + 1, value.size(), placeholder);
            return true;
        }
    }
    return false;
}

// The name parameter of a part's Content-Disposition header, when it has one.
bool PartNamed(const std::string& headers, const std::string& control) {
    size_t at = 0;
    while (at < headers.size()) {
        size_t end = headers.find("\r\n", at);
        if (end == std::string::npos)
            end = headers.size();
        std::string line = headers.substr(at, end - at);
        at = end + 2;
        size_t colon = line.find(':');
        if (colon == std::string::npos ||
            platform::AsciiLower(platform::TrimBlanks(line.substr(0, colon))) != "content-disposition")
            continue;
        std::string params = line.substr(colon + 1);
        size_t from = params.find(';');
        while (from != std::string::npos) {
            size_t next = params.find(';', from + 1);
            std::string param = platform::TrimBlanks(
                params.substr(from + 1, next == std::string::npos ? next : next - from - 1));
            from = next;
            size_t eq = param.find('=');
            if (eq == std::string::npos ||
                platform::AsciiLower(platform::TrimBlanks(param.substr(0, eq))) != "name")
                continue;
            std::string value = platform::TrimBlanks(param.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (value == control)
                return true;
        }
    }
    return false;
}

} // namespace

CString ActionFromUrl(const std::string& url) {
    std::string rest = url.substr(0, url.find('#'));
    size_t scheme = rest.find("://");
    size_t slash = rest.find_first_of("/?");
    if (scheme != std::string::npos && scheme < slash) {
        size_t start = scheme + 3;
        size_t pathAt = rest.find_first_of("/?", start);
        rest = pathAt == std::string::npos ? "" : rest.substr(pathAt);
    } else if (rest.compare(0, 2, "//") == 0) {
        size_t pathAt = rest.find_first_of("/?", 2);
        rest = pathAt == std::string::npos ? "" : rest.substr(pathAt);
    }
    if (rest.empty() || rest[0] != '/')
        rest = "/" + rest;
    return CString(rest);
}

CString KeptHeaders(const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string kept;
    for (const auto& [name, value] : headers) {
        std::string key = platform::AsciiLower(name);
        if (key == "content-type" || key == "referer" || key == "origin")
            kept += name + ": " + value + "\r\n";
    }
    return CString(kept);
}

bool ReplaceCredentials(CString& text, const CString& user, const CString& password) {
    if (user.IsEmpty() || password.IsEmpty())
        return false;
    std::string result = text.str();
    if (!ReplaceWholeValue(result, user.str(), "<username>") ||
        !ReplaceWholeValue(result, password.str(), "<userpassword>"))
        return false;
    text = CString(result);
    return true;
}

bool BodyNamesControl(const std::string& body, const CString& control) {
    if (control.IsEmpty() || body.compare(0, 2, "--") != 0)
        return false;
    // The first line is the delimiter; every part starts after one.
    size_t lineEnd = body.find("\r\n");
    if (lineEnd == std::string::npos)
        return false;
    const std::string delimiter = "\r\n" + body.substr(0, lineEnd);
    size_t partAt = lineEnd + 2;
    for (;;) {
        size_t headEnd = body.find("\r\n\r\n", partAt);
        size_t nextPart = body.find(delimiter, partAt);
        if (headEnd == std::string::npos || (nextPart != std::string::npos && nextPart < headEnd))
            return false;
        if (PartNamed(body.substr(partAt, headEnd - partAt), control.str()))
            return true;
        nextPart = body.find(delimiter, headEnd);
        if (nextPart == std::string::npos)
            return false;
        partAt = nextPart + delimiter.size();
        if (body.compare(partAt, 2, "--") == 0)
            return false;
        partAt = body.find("\r\n", partAt);
        if (partAt == std::string::npos)
            return false;
        partAt += 2;
    }
}

} // namespace capture
