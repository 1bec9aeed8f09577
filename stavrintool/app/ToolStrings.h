#pragma once
// The tool's numbered texts. Its ids are its own (they collide with Corvay's), so it keeps a
// look-up of its own: the language pack once loaded, else the few texts the start-up shows
// before any pack is there.

#include <functional>

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

} // namespace stavrin
