#pragma once
// Bytes from a page (a captured body, a version text) in one of the windows' text boxes. A box
// holds the program's GBK text, so the bytes are shown as the page shows them; what comes back
// unedited is the bytes as they were, and an edited text is encoded back in the page's charset.

#include <map>
#include <string>

#include "platform/text/CString.h"

class BoxText {
public:
    BoxText() = default;
    // 'charset' is the page's ("UTF-8", a GB name, ...); empty when not known: bytes that are
    // valid UTF-8 with a character beyond ASCII are taken as UTF-8, others as GBK.
    explicit BoxText(const CString& bytes, const std::string& charset = "");

    // What the box is given.
    const CString& Shown() const { return m_shown; }
    // The bytes for what the box holds now.
    CString Read(const CString& boxText) const;
    bool IsUtf8() const { return m_utf8; }

private:
    CString m_bytes;
    CString m_shown;
    CString m_shownBack; // what a box gives back for m_shown
    bool m_utf8 = false;
};

// The BoxText of each box of one window, by control id.
class BoxTexts {
public:
    // Remembers the bytes and returns what the box is to show.
    const CString& Show(int id, const CString& bytes, const std::string& charset = "");
    // The bytes for the box's text (the text itself for a box never shown).
    CString Read(int id, const CString& boxText) const;

private:
    std::map<int, BoxText> m_boxes;
};
