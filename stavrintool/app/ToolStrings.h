#pragma once
// The tool's numbered texts. Its ids are its own (they collide with Corvay's), so it keeps a
// look-up of its own: the language pack once loaded, else the few texts the start-up shows
// before any pack is there.

#include <functional>
#include <set>

#include "platform/prompt/Prompt.h"
#include "platform/text/CString.h"

namespace stavrin {

// The texts of the tool's boxes and windows.
enum StringId : unsigned {
    kIdsAbout = 101,
    // The template editor and the function editor.
    kIdsAddTemplate = 102,
    kIdsEditTemplate = 103,
    kIdsHeadColumn = 104,
    kIdsTailColumn = 105,
    kIdsRuleColumn = 106,
    kIdsSetValueColumn = 107,
    kIdsCodeColumn = 108,
    kIdsPropertyNameColumn = 109,
    kIdsPropertyValueColumn = 110,
    kIdsParameterNameColumn = 111,
    kIdsKeywordColumn = 112,
    kIdsArrayColumn = 113,
    kIdsUrlColumn = 114,
    kIdsCaptureFailed = 135,
    kIdsHelpFile = 115,
    kIdsQuit = 116,
    kIdsSaved = 117,
    kIdsSaveFailed = 118,
    kIdsBadTemplateFile = 119,
    kIdsInitFailed = 128,
    kIdsAlreadyRunning = 129,
    kIdsGroupFormat = 140,
    kIdsAccountFormat = 141,
    kIdsExported = 142,
    kIdsPortFormat = 143,
    kIdsTooLong = 144,
    kIdsHelpMissing = 145,
    kIdsHelpNoViewer = 146,
    kIdsAppTitle = 57344,
};

// The version locator's boxes.
enum LocatorStringId : unsigned {
    kIdsLocateNoLocator = 120,
    kIdsLocateNoSelection = 121,
    kIdsLocateNoPersistence = 122,
    kIdsLocateNotInSource = 123,
    kIdsLocateNotInTable = 124,
    kIdsLocateCheckFailed = 125,
    kIdsLocateSourceRetry = 126,
    kIdsLocateSourceFailed = 127,
};

// The template test dialog's boxes.
enum DiagStringId : unsigned {
    kIdsFunctionRan = 130,
    kIdsFunctionFailed = 131,
    kIdsChooseUploadFile = 132,
    kIdsUploaded = 133,
    kIdsUploadFailed = 134,
};

// The capture dialogs' boxes and caption.
enum CaptureStringId : unsigned {
    kIdsCaptureCaption = 136,
    kIdsRequestCaptured = 137,
    kIdsFileControlFound = 138,
    kIdsNoCredentials = 139,
    kIdsHttpsNotCaptured = 147,
};

// The template file that could not be read at start, and text the file cannot hold.
enum FileStringId : unsigned {
    kIdsTemplateFileUnread = 160,
    kIdsUnreadHeader = 161,
    kIdsUnreadDamaged = 162,
    kIdsUnreadUnreadable = 163,
    kIdsReplaceUnreadFile = 164,
    kIdsNotGbk = 165,
    // The names of the boxes the refusals name (the others have a column heading of their own).
    kIdsFieldDeviceName = 166,
    kIdsFieldPage = 167,
    kIdsFieldFunctionName = 168,
    kIdsFieldStepUrl = 169,
    kIdsFieldHeaders = 170,
    kIdsFieldPostData = 171,
    kIdsFieldUploadPage = 172,
    kIdsFieldUploadAction = 173,
    kIdsFieldUploadControl = 174,
    kIdsFieldDownloadUrl = 175,
    kIdsFieldGroup = 176,
    kIdsFieldAccount = 177,
};

// The text of an id (GBK); empty when nothing has it.
CString ToolString(unsigned id);
// The pack's look-up (LanguagePack::StringLookup); empty to remove it.
void SetToolStringSource(std::function<bool(unsigned, CString&)> source);

// The application's title: the caption of every box of the tool.
CString ToolAppTitle();
// A box with the application's title as caption.
int ShowToolMessage(platform::PromptService& prompts, const CString& text, unsigned type = platform::kMbOk);

// True when the text fits a string of the template file; else string 144 is shown.
bool FitsTemplateFile(platform::PromptService& prompts, const CString& text);

// The boxes whose text holds a character GBK, the template file's code page, lacks (it reads as
// '?'). A window marks each such field of its model as it reads its boxes; the model refuses to
// store a marked one.
class ForeignTexts {
public:
    void Clear() { m_fields.clear(); }
    void Mark(const CString& field) { m_fields.insert(&field); }
    bool Has(const CString& field) const { return m_fields.count(&field) != 0; }

private:
    std::set<const CString*> m_fields;
};

// The box's text, as FitsTemplateFile; a marked one is refused first, with string 165 naming
// the box by the text of the id fieldName.
bool FitsTemplateFile(platform::PromptService& prompts, const ForeignTexts& foreign, const CString& field,
                      unsigned fieldName);

// The error icon for a box that reports a failure (save, run, upload), else 'otherwise'.
unsigned ToolBoxIcon(unsigned stringId, unsigned otherwise);

} // namespace stavrin
