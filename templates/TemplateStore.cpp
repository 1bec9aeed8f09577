#include "templates/TemplateStore.h"

#include <set>

#include "platform/files/ProgramDirectory.h"

TemplateStore::TemplateStore()
    : m_path(platform::JoinPath(platform::ProgramDirectory(), kTerminalFileName)) {}

TemplateStore::~TemplateStore() = default;

TemplateStore& TemplateStore::Instance() {
    // Lives until the process ends: test workers may still hold its records at exit.
    static TemplateStore* store = [] {
        auto* made = new TemplateStore;
        made->Load();
        return made;
    }();
    return *store;
}

void TemplateStore::Reset() {
    std::unique_lock lock(m_lock);
    m_loaded = 0;
    ClearLocked();
}

void TemplateStore::Clear() {
    std::unique_lock lock(m_lock);
    ClearLocked();
}

void TemplateStore::ClearLocked() {
    ++m_generation;
    m_groups.clear();
    m_terminals.clear();
}

GroupRecord* TemplateStore::FindGroup(const CString& key) const {
    std::shared_lock lock(m_lock);
    return FindGroupLocked(key);
}

GroupRecord* TemplateStore::FindGroupLocked(const CString& key) const {
    std::string prefix = key.str() + ':';
    for (const auto& group : m_groups)
        if (group->name.str().starts_with(prefix))
            return group.get();
    return nullptr;
}

void TemplateStore::GetGroupPorts(const CString& key, CStringArray& out) const {
    std::shared_lock lock(m_lock);
    out.RemoveAll();
    if (GroupRecord* group = FindGroupLocked(key))
        out.Copy(group->ports);
}

void TemplateStore::GetBoundTerminals(const CString& key, const CString& authKind,
                                      std::vector<TerminalRecord*>& out) const {
    std::shared_lock lock(m_lock);
    GroupRecord* group = FindGroupLocked(key);
    if (!group)
        return;
    for (const CString& id : group->terminalIds) {
        for (const auto& terminal : m_terminals) {
            if (terminal->id == id && terminal->authKind == authKind) {
                out.push_back(terminal.get());
                break;
            }
        }
    }
}

void TemplateStore::GetAddressLists(CStringArray& ips, CStringArray& masks, CStringArray& ports) const {
    std::shared_lock lock(m_lock);
    for (const auto& group : m_groups) {
        int colon = group->name.Find(':');
        // The three lists are read side by side: a group without an ip:mask name adds to none.
        if (colon <= 0)
            continue;
        ips.Add(group->name.Left(colon));
        masks.Add(group->name.Mid(colon + 1));
        CString text;
        for (const CString& port : group->ports)
            text += port + ",";
        ports.Add(text);
    }
}

void TemplateStore::BuildParameterIndex() {
    std::unique_lock lock(m_lock);
    BuildParameterIndexLocked();
}

void TemplateStore::BuildParameterIndexLocked() {
    for (const auto& terminal : m_terminals) {
        std::set<CString> all, key;
        for (const auto& parameter : terminal->parameters) {
            all.insert(parameter->page);
            if (parameter->keyFlag == "TRUE")
                key.insert(parameter->page);
        }
        terminal->allPages.RemoveAll();
        terminal->keyPages.RemoveAll();
        for (const CString& page : all)
            terminal->allPages.Add(page);
        for (const CString& page : key)
            terminal->keyPages.Add(page);
    }
}

int TemplateStore::FindTerminalById(const CString& id, TerminalRecord** record, int* index) const {
    std::shared_lock lock(m_lock);
    for (size_t i = 0; i < m_terminals.size(); ++i) {
        if (m_terminals[i]->id == id) {
            if (record)
                *record = m_terminals[i].get();
            if (index)
                *index = static_cast<int>(i);
            return 1;
        }
    }
    if (record)
        *record = nullptr;
    return 0;
}

CString TemplateStore::GetGroupMask(const CString& ip) const {
    std::shared_lock lock(m_lock);
    GroupRecord* group = FindGroupLocked(ip);
    return group ? group->name.Mid(ip.GetLength() + 1) : CString();
}
