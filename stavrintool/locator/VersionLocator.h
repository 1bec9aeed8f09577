#pragma once
// Finds the firmware version a technician selected on a status page in that page's source and
// derives the head and tail markers by which the engine cuts it out again. Bytes in, markers
// out: the browser side only supplies the selection and the source.

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/CString.h"
#include "templates/TemplateRecords.h"

// The failures of a locate; each has its message in the locator window.
enum LocateCode : int {
    kLocateNoSelection = -1,
    kLocateNoPersistence = -2, // only where the browser offers no way to save the document
    kLocateNotInSource = -3,
    kLocateSourceRetry = -4,
    kLocateSourceFailed = -5,
    kLocateNotInTable = -6,
    kLocateCheckFailed = -7,
};

class LocateError : public std::exception {
public:
    explicit LocateError(int code) : m_code(code) {}
    int Code() const { return m_code; }
    const char* what() const noexcept override { return "version locate failed"; }

private:
    int m_code;
};

class VersionLocator {
public:
    // The markers that cut 'version' out of 'source': from the enclosing table cell, else from
    // the enclosing script statement; empty when it lies in neither. Throws LocateError -3
    // (in the source in neither plain nor escaped form), -6 (in a table, in no cell) and -7
    // (the markers do not give back exactly the version as the source spells it).
    static std::vector<LocatorRecord> Analyse(const CString& source, const CString& version);

    // "&" "&amp;", a blank "&nbsp;", "<" "&lt;", ">" "&gt;", in that order.
    static CString Escape(const CString& text);
    // Split at CR LF (when it occurs after the first byte), else LF, else CR; each piece
    // trimmed, empty pieces dropped.
    static std::vector<CString> Lines(const CString& text);
    // True when the markers, applied as the engine applies them, give exactly 'value'.
    static bool Isolates(const CString& source, const std::vector<LocatorRecord>& locators,
                         const CString& value);
};

// Failures to get a page's source since the last success: the first two ask for a reload
// (-4), the later ones give up (-5).
class SourceFailureCounter {
public:
    // The code for one more failure; 'reload' is called when the code is -4.
    template <typename Reload> int Fail(Reload&& reload) {
        if (m_failures >= 2)
            return kLocateSourceFailed;
        reload();
        ++m_failures;
        return kLocateSourceRetry;
    }
    void Succeed() { m_failures = 0; }
    int Failures() const { return m_failures; }

private:
    int m_failures = 0;
};

// The page source from the proxy's kept answer: tabs removed. Throws LocateError: -5 for an
// empty body, and the counter's code when nothing was kept (after calling 'reload' for -4).
template <typename Reload>
CString PageSourceFromAnswer(const std::optional<std::string>& kept, SourceFailureCounter& counter,
                             Reload&& reload) {
    if (!kept)
        throw LocateError(counter.Fail(reload));
    CString source(*kept);
    source.Remove('\t');
    if (source.IsEmpty())
        throw LocateError(kLocateSourceFailed);
    counter.Succeed();
    return source;
}

// One document's selection as the browser reports it: UTF-8 text and the document's charset.
struct FrameSelection {
    std::string text;
    std::string charset;
    std::string url;
};

// True for the charset names of GBK's family.
bool IsGbCharset(const std::string& charset);
// UTF-8 text into a document's charset: GBK for the GB names, else left as UTF-8.
CString Utf8ToCharset(const std::string& utf8, const std::string& charset);
// Page bytes in a document's charset as the program's GBK text (for showing them).
CString CharsetToGbk(const CString& bytes, const std::string& charset);
// The version text of a selection: U+00A0 as a blank, trimmed, in the document's charset.
CString VersionTextOf(const FrameSelection& selection);
// The first selection, in frame order, that leaves a version text; none: -1 (thrown).
size_t ChooseSelection(const std::vector<FrameSelection>& frames, CString& versionText);
// The page path of a document URL: the scheme and host cut off, path and query kept.
CString PagePathOf(const CString& url);
