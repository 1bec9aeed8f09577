#include "stavrintool/main/MainDialogModel.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/files/ProgramDirectory.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/main/NewTemplateId.h"
#include "templates/TemplateFile.h"
#include "templates/TemplateStore.h"

using namespace stavrin;

namespace {

bool Valid(int index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) < size;
}

bool Valid(int index, const CStringArray& items) {
    return index >= 0 && index < items.GetSize();
}

std::vector<CString> Texts(const CStringArray& items) {
    std::vector<CString> texts;
    for (int i = 0; i < items.GetSize(); ++i)
        texts.push_back(items[i]);
    return texts;
}

bool Contains(const CStringArray& items, const CString& text) {
    for (int i = 0; i < items.GetSize(); ++i)
        if (items[i] == text)
            return true;
    return false;
}

void RemoveAll(CStringArray& items, const CString& text) {
    for (int i = items.GetSize() - 1; i >= 0; --i)
        if (items[i] == text)
            items.RemoveAt(i);
}

// "Terminals.dat.bak", or the first of "Terminals.dat.bak2", ... that names nothing yet, so
// that no earlier copy is overwritten.
CString FreeBackupPath(const CString& path) {
    struct stat st {};
    CString backup = path + ".bak";
    for (int n = 2; ::lstat(backup.GetString(), &st) == 0; ++n)
        backup.Format("%s.bak%d", path.GetString(), n);
    return backup;
}

} // namespace

bool ParsePortText(const CString& text, int& port) {
    const int length = text.GetLength();
    if (length < 1 || length > 5)
        return false;
    int value = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

MainDialogModel::MainDialogModel(TemplateStore& store, platform::PromptService& prompts,
                                 const platform::Clock& clock, TemplateEditor* editor)
    : m_store(store), m_prompts(prompts), m_clock(clock), m_editor(editor) {}

void MainDialogModel::Init() {
    SelectGroup(0);
    templateSel = -1;
}

GroupRecord* MainDialogModel::Group() const {
    return Valid(groupSel, m_store.Groups().size()) ? m_store.Groups()[groupSel].get() : nullptr;
}

TerminalRecord* MainDialogModel::Template() const {
    return Valid(templateSel, m_store.Terminals().size()) ? m_store.Terminals()[templateSel].get() : nullptr;
}

void MainDialogModel::Tell(unsigned stringId) {
    ShowToolMessage(m_prompts, ToolString(stringId),
                    platform::kMbOk | ToolBoxIcon(stringId, platform::kMbIconInformation));
}

bool MainDialogModel::Refuse(unsigned stringId) {
    ShowToolMessage(m_prompts, ToolString(stringId), platform::kMbOk | platform::kMbIconWarning);
    return false;
}

bool MainDialogModel::Fits(const CString& field, unsigned fieldName) {
    return FitsTemplateFile(m_prompts, foreign, field, fieldName);
}

std::vector<CString> MainDialogModel::Groups() const {
    std::vector<CString> names;
    for (const auto& group : m_store.Groups())
        names.push_back(group->name);
    return names;
}

std::vector<CString> MainDialogModel::Ports() const {
    const GroupRecord* group = Group();
    return group ? Texts(group->ports) : std::vector<CString>();
}

std::vector<CString> MainDialogModel::Accounts() const {
    const GroupRecord* group = Group();
    return group ? Texts(group->accounts) : std::vector<CString>();
}

std::vector<int> MainDialogModel::DeviceEntries() const {
    std::vector<int> entries;
    if (const GroupRecord* group = Group())
        for (int i = 0; i < group->terminalIds.GetSize(); ++i)
            if (m_store.FindTerminalById(group->terminalIds[i]))
                entries.push_back(i);
    return entries;
}

std::vector<CString> MainDialogModel::Devices() const {
    std::vector<CString> names;
    const GroupRecord* group = Group();
    for (int entry : DeviceEntries()) {
        TerminalRecord* terminal = nullptr;
        m_store.FindTerminalById(group->terminalIds[entry], &terminal);
        names.push_back(terminal->name);
    }
    return names;
}

std::vector<CString> MainDialogModel::Templates() const {
    std::vector<CString> names;
    for (const auto& terminal : m_store.Terminals())
        names.push_back(terminal->name);
    return names;
}

void MainDialogModel::SelectGroup(int index) {
    groupSel = Valid(index, m_store.Groups().size()) ? index : -1;
    portSel = accountSel = deviceSel = -1;
}

void MainDialogModel::SelectPort(int index) {
    const GroupRecord* group = Group();
    if (!group || !Valid(index, group->ports))
        return;
    portSel = index;
    portText = group->ports[index];
}

void MainDialogModel::SelectAccount(int index) {
    const GroupRecord* group = Group();
    if (!group || !Valid(index, group->accounts))
        return;
    accountSel = index;
    accountText = group->accounts[index];
}

void MainDialogModel::AddGroup() {
    if (groupText.Find(':') < 0) {
        Refuse(kIdsGroupFormat);
        return;
    }
    if (!Fits(groupText, kIdsFieldGroup))
        return;
    auto group = std::make_unique<GroupRecord>();
    group->name = groupText;
    m_store.Groups().push_back(std::move(group));
    SelectGroup(static_cast<int>(m_store.Groups().size()) - 1);
}

void MainDialogModel::DeleteGroup() {
    if (!Group())
        return;
    m_store.Groups().erase(m_store.Groups().begin() + groupSel);
    SelectGroup(-1);
}

void MainDialogModel::AddPort() {
    GroupRecord* group = Group();
    if (!group)
        return;
    int port = 0;
    if (!ParsePortText(portText, port)) {
        Refuse(kIdsPortFormat);
        return;
    }
    CString text;
    text.Format("%d", port);
    portSel = group->ports.Add(text);
}

void MainDialogModel::DeletePort() {
    GroupRecord* group = Group();
    if (!group || !Valid(portSel, group->ports))
        return;
    group->ports.RemoveAt(portSel);
    portSel = -1;
}

void MainDialogModel::AddAccount() {
    GroupRecord* group = Group();
    if (!group)
        return;
    if (accountText.Find(':') < 0) {
        Refuse(kIdsAccountFormat);
        return;
    }
    if (!Fits(accountText, kIdsFieldAccount))
        return;
    accountSel = group->accounts.Add(accountText);
}

void MainDialogModel::DeleteAccount() {
    GroupRecord* group = Group();
    if (!group || !Valid(accountSel, group->accounts))
        return;
    group->accounts.RemoveAt(accountSel);
    accountSel = -1;
}

void MainDialogModel::DeleteDevice() {
    GroupRecord* group = Group();
    const std::vector<int> entries = DeviceEntries();
    if (!group || !Valid(deviceSel, entries.size()))
        return;
    // The line stands for its id's place in the group, which differs once an id has no template.
    group->terminalIds.RemoveAt(entries[deviceSel]);
    deviceSel = -1;
}

void MainDialogModel::OpenDevice() {
    GroupRecord* group = Group();
    const std::vector<int> entries = DeviceEntries();
    if (!group || !Valid(deviceSel, entries.size()))
        return;
    int index = -1;
    if (!m_store.FindTerminalById(group->terminalIds[entries[deviceSel]], nullptr, &index))
        return;
    templateSel = index;
    EditTemplate();
}

void MainDialogModel::AddTemplate() {
    if (!m_editor)
        return;
    TemplateEditor::Result result = m_editor->Edit(-1);
    if (result.code != platform::kIdOk || !result.record)
        return; // the record goes with the result
    m_store.Terminals().push_back(std::move(result.record));
    templateSel = static_cast<int>(m_store.Terminals().size()) - 1;
}

void MainDialogModel::EditTemplate() {
    if (!m_editor || !Template())
        return;
    // Whatever the editor answers, the lists show the record as it now is.
    m_editor->Edit(templateSel);
}

void MainDialogModel::DeleteTemplate() {
    TerminalRecord* terminal = Template();
    if (!terminal)
        return;
    const CString id = terminal->id;
    m_store.Terminals().erase(m_store.Terminals().begin() + templateSel);
    templateSel = -1;
    // A group keeping the id would bind a later import of it without a word; another template
    // holding the same id keeps its bindings.
    if (!m_store.FindTerminalById(id)) {
        for (int i = 0; i < static_cast<int>(m_store.Groups().size()); ++i) {
            GroupRecord& group = *m_store.Groups()[i];
            if (!Contains(group.terminalIds, id))
                continue;
            RemoveAll(group.terminalIds, id);
            if (i == groupSel)
                deviceSel = -1;
        }
    }
}

void MainDialogModel::MoveTemplateUp() {
    if (!Template() || templateSel == 0)
        return;
    auto& terminals = m_store.Terminals();
    std::swap(terminals[templateSel], terminals[templateSel - 1]);
    --templateSel;
}

void MainDialogModel::MoveTemplateDown() {
    auto& terminals = m_store.Terminals();
    if (!Template() || templateSel + 1 >= static_cast<int>(terminals.size()))
        return;
    std::swap(terminals[templateSel], terminals[templateSel + 1]);
    ++templateSel;
}

void MainDialogModel::CopyTemplate() {
    const TerminalRecord* source = Template();
    if (!source)
        return;
    const CString name = source->name + " `copy";
    if (!FitsTemplateFile(m_prompts, name))
        return;
    std::unique_ptr<TerminalRecord> copy = CopyTerminalRecord(*source);
    copy->id = NewTemplateId(m_store, m_clock);
    copy->name = name;
    m_store.Terminals().push_back(std::move(copy));
    templateSel = static_cast<int>(m_store.Terminals().size()) - 1;
}

void MainDialogModel::BindTemplate() {
    GroupRecord* group = Group();
    const TerminalRecord* terminal = Template();
    if (!group || !terminal || Contains(group->terminalIds, terminal->id))
        return;
    group->terminalIds.Add(terminal->id);
}

CString MainDialogModel::ExportFileName() const {
    const TerminalRecord* terminal = Template();
    return terminal ? terminal->name : CString();
}

void MainDialogModel::ExportTemplate(const CString& path) {
    const TerminalRecord* terminal = Template();
    if (!terminal || path.IsEmpty())
        return;
    // A file that could not be written is not reported as written.
    Tell(m_store.ExportTerminal(path, *terminal) ? kIdsExported : kIdsSaveFailed);
}

void MainDialogModel::ImportTemplate(const CString& path) {
    if (path.IsEmpty())
        return;
    std::unique_ptr<TerminalRecord> record = m_store.ImportTerminal(path);
    if (!record) {
        Refuse(kIdsBadTemplateFile);
        return;
    }
    int index = -1;
    if (m_store.FindTerminalById(record->id, nullptr, &index)) {
        templateSel = index;
        return;
    }
    m_store.Terminals().push_back(std::move(record));
    templateSel = static_cast<int>(m_store.Terminals().size()) - 1;
}

void MainDialogModel::Save() {
    CString unread;
    const TemplateStore::LoadFailure why = m_store.GetLoadFailure(&unread);
    if (!m_unreadFileKept && why != TemplateStore::kNone && why != TemplateStore::kMissing &&
        unread == m_store.GetPath()) {
        SaveOverUnreadFile();
        return;
    }
    Tell(m_store.Save(CString()) ? kIdsSaved : kIdsSaveFailed);
}

void MainDialogModel::SaveOverUnreadFile() {
    const CString path = m_store.GetPath();
    const CString backup = FreeBackupPath(path);
    CString question;
    question.Format(ToolString(kIdsReplaceUnreadFile).GetString(), path.GetString(), backup.GetString());
    if (ShowToolMessage(m_prompts, question, platform::kMbOkCancel | platform::kMbIconQuestion) !=
        platform::kIdOk)
        return;
    // A second name keeps the old file in place until the save's rename replaces it; where the
    // file system has no links (or it is a directory) it moves aside and comes back on failure.
    const bool linked = ::link(path.GetString(), backup.GetString()) == 0;
    if (!linked && ::rename(path.GetString(), backup.GetString()) != 0) {
        Tell(kIdsSaveFailed);
        return;
    }
    if (m_store.Save(CString())) {
        m_unreadFileKept = true;
        Tell(kIdsSaved);
        return;
    }
    if (linked)
        ::unlink(backup.GetString());
    else
        ::rename(backup.GetString(), path.GetString());
    Tell(kIdsSaveFailed);
}

void MainDialogModel::SaveAs(const CString& path) {
    if (path.IsEmpty())
        return;
    Tell(m_store.Save(path) ? kIdsSaved : kIdsSaveFailed);
}

bool MainDialogModel::Close() {
    return ShowToolMessage(m_prompts, ToolString(kIdsQuit),
                           platform::kMbOkCancel | platform::kMbIconQuestion) == platform::kIdOk;
}

CString MainDialogModel::HelpPath() const {
    return platform::JoinPath(platform::ProgramDirectory(), "\\" + ToolString(kIdsHelpFile));
}

void MainDialogModel::Help(const std::function<bool(const CString&)>& open) {
    const CString path = HelpPath();
    struct stat st {};
    unsigned problem = 0;
    if (stat(path.GetString(), &st) != 0 || !S_ISREG(st.st_mode))
        problem = kIdsHelpMissing;
    else if (!open || !open(path))
        problem = kIdsHelpNoViewer;
    if (!problem)
        return;
    CString text;
    text.Format(ToolString(problem).GetString(), path.GetString());
    ShowToolMessage(m_prompts, text, platform::kMbOk | platform::kMbIconWarning);
}
