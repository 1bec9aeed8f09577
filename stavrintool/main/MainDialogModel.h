#pragma once
// The rules of the main dialog without any window: the five lists as the dialog shows them,
// the three edits, the selections, and an operation per button. Every edit changes the store
// at once; nothing reaches the file before Save or Save as. The window copies the edits and
// selections in, calls the operation and shows the lists again.
//
// Every operation checks its indexes and does nothing on a missing selection; nothing it
// accepts can make a later save fail (texts within the file's limits, ports as numbers).

#include <functional>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/CString.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/main/TemplateEditor.h"

class TemplateStore;
struct GroupRecord;

class MainDialogModel {
public:
    // Neither is owned; the editor may come later (SetEditor) and may be null (Add and Edit do
    // nothing then).
    MainDialogModel(TemplateStore& store, platform::PromptService& prompts, const platform::Clock& clock,
                    TemplateEditor* editor = nullptr);
    void SetEditor(TemplateEditor* editor) { m_editor = editor; }

    // Group 0 selected and shown, no template selected.
    void Init();

    // The lists: groups, the selected group's ports, accounts and devices (names of its bound
    // templates; ids without a template left out), all templates in store order.
    std::vector<CString> Groups() const;
    std::vector<CString> Ports() const;
    std::vector<CString> Accounts() const;
    std::vector<CString> Devices() const;
    std::vector<CString> Templates() const;

    // The edits 1006, 1012, 1018.
    CString groupText, portText, accountText;
    // Those of the edits whose text GBK cannot hold (a port is refused as no number anyway).
    stavrin::ForeignTexts foreign;
    // Selections, -1 for none.
    int groupSel = -1, portSel = -1, accountSel = -1, deviceSel = -1, templateSel = -1;

    void SelectGroup(int index);
    // Also copies the entry into its edit.
    void SelectPort(int index);
    void SelectAccount(int index);

    void AddGroup();
    void DeleteGroup();
    void AddPort();
    void DeletePort();
    void AddAccount();
    void DeleteAccount();
    void DeleteDevice();
    // Double click on a device: its template selected and edited.
    void OpenDevice();

    void AddTemplate();
    void EditTemplate();
    void DeleteTemplate();
    void MoveTemplateUp();
    void MoveTemplateDown();
    void CopyTemplate();
    void BindTemplate();

    // The default file name of an export (the template's name); empty without a selection.
    CString ExportFileName() const;
    void ExportTemplate(const CString& path);
    void ImportTemplate(const CString& path);

    // The first save over a file that was there at start but could not be read asks first and
    // keeps that file beside the new one ("Terminals.dat.bak").
    void Save();
    // Writes the store to path; the store's own path stays.
    void SaveAs(const CString& path);
    // Asks before leaving; true when the dialog may end (nothing is saved).
    bool Close();

    // The help file: program directory + string 115, opened by 'open' (the desktop's viewer;
    // false when it could not). A missing file or viewer is said in a box.
    CString HelpPath() const;
    void Help(const std::function<bool(const CString&)>& open);

private:
    GroupRecord* Group() const;
    TerminalRecord* Template() const;
    // Positions in the group's terminal ids of the lines of the device list.
    std::vector<int> DeviceEntries() const;
    bool Refuse(unsigned stringId);
    // Refused with a box naming the edit (string fieldName) when its text would not fit the
    // template file.
    bool Fits(const CString& field, unsigned fieldName);
    void Tell(unsigned stringId);
    void SaveOverUnreadFile();

    TemplateStore& m_store;
    platform::PromptService& m_prompts;
    const platform::Clock& m_clock;
    TemplateEditor* m_editor;
    bool m_unreadFileKept = false;
};

// A port as the file holds it: a decimal 1 to 65535, nothing else.
bool ParsePortText(const CString& text, int& port);
