#pragma once
// The terminal templates in memory: the groups and terminals of "Terminals.dat", their look-ups,
// and the file's reader and writer. One process-wide store (Instance) serves the programs;
// tests and the template tool's test dialog may hold stores of their own.
//
// Failures are reported by a 0 result, an empty text or no record; nothing is logged or thrown.
// Loads, resets and look-ups take the store's lock, so a reload may meet job threads reading.
// Every change of the records advances the generation: a holder of a record checks it (under
// ReadLock) before it uses the record again.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"
#include "templates/TemplateFile.h"
#include "templates/TemplateRecords.h"

class TemplateStore {
public:
    using GroupList = std::vector<std::unique_ptr<GroupRecord>>;
    using TerminalList = std::vector<std::unique_ptr<TerminalRecord>>;

    // Empty and not loaded; the default path is "Terminals.dat" in the program directory.
    TemplateStore();
    ~TemplateStore();
    TemplateStore(const TemplateStore&) = delete;
    TemplateStore& operator=(const TemplateStore&) = delete;

    // The process-wide store, made and loaded from the default path on first use; never deleted.
    static TemplateStore& Instance();

    // Nonzero when the store holds a loaded file. A loaded store returns at once; otherwise the
    // file at path (the default path when empty) is read. A failed load leaves the store as it was.
    int Load(const CString& path = CString());
    // Why the last Load that looked for a file did not take it: no such file, another header,
    // a file cut short or damaged, or one that cannot be opened or read (a directory, a FIFO,
    // one beyond the size bound). kNone after a load that took its file.
    enum LoadFailure { kNone, kMissing, kHeader, kDamaged, kUnreadable };
    // path, when given, is set to the file of that load.
    LoadFailure GetLoadFailure(CString* path = nullptr) const;
    // Not loaded and empty, so that the next Load reads the file again.
    void Reset();
    // Destroys every group and terminal.
    void Clear();

    // 1 when the whole store is written to path (the store's path when empty). A store the
    // reader could not take back is refused before anything is written; the old file stays.
    int Save(const CString& path = CString()) const;
    // 1 when the terminal is written as a device template file; the same checks as Save.
    int ExportTerminal(const CString& path, const TerminalRecord& terminal) const;
    // A new record read from a device template file, owned by the caller and not added to the
    // store; none when the file is missing, has another header or is damaged.
    std::unique_ptr<TerminalRecord> ImportTerminal(const CString& path) const;

    // The first group whose name is key + ":" + anything.
    GroupRecord* FindGroup(const CString& key) const;
    // The ports of FindGroup(key), or nothing.
    void GetGroupPorts(const CString& key, CStringArray& out) const;
    // Appends, for each id bound to FindGroup(key) in the group's order, the first terminal with
    // that id and that authentication kind.
    void GetBoundTerminals(const CString& key, const CString& authKind,
                           std::vector<TerminalRecord*>& out) const;
    // Appends one entry per group with an "ip:mask" name: the ip, the mask, and the ports as
    // "80,8080," text. Groups without a usable name are left out of all three lists.
    void GetAddressLists(CStringArray& ips, CStringArray& masks, CStringArray& ports) const;
    // Fills each terminal's key pages and all pages from its parameters.
    void BuildParameterIndex();
    // 1 with the first terminal whose id is id and its position; 0 when there is none.
    int FindTerminalById(const CString& id, TerminalRecord** record = nullptr, int* index = nullptr) const;
    // The mask of FindGroup(ip), or "".
    CString GetGroupMask(const CString& ip) const;

    // The items of the file format.
    static int ReadInt(TemplateFileReader& file);
    static CString ReadString(TemplateFileReader& file);
    // One terminal entry, or none when the entry is damaged or cut short.
    static std::unique_ptr<TerminalRecord> ReadTerminalRecord(TemplateFileReader& file);
    static void WriteInt(TemplateFileWriter& file, int value);
    static void WriteString(TemplateFileWriter& file, const CString& text);
    static void WriteTerminalRecord(TemplateFileWriter& file, const TerminalRecord& terminal);

    // Advanced by every Load that reads a file, every Reset and every Clear.
    uint64_t GetGeneration() const { return m_generation.load(); }
    // Held while records found earlier are used: no reset or load runs meanwhile. Not to be
    // held across the store's own calls.
    std::shared_lock<std::shared_mutex> ReadLock() const { return std::shared_lock(m_lock); }

    const CString& GetPath() const { return m_path; }
    int IsLoaded() const { return m_loaded.load(); }
    GroupList& Groups() { return m_groups; }
    const GroupList& Groups() const { return m_groups; }
    TerminalList& Terminals() { return m_terminals; }
    const TerminalList& Terminals() const { return m_terminals; }

private:
    int Failed(const CString& path, LoadFailure why);
    GroupRecord* FindGroupLocked(const CString& key) const;
    void BuildParameterIndexLocked();
    void ClearLocked();

    CString m_path;
    mutable std::shared_mutex m_lock;
    GroupList m_groups;
    TerminalList m_terminals;
    std::atomic<int> m_loaded{0};
    std::atomic<uint64_t> m_generation{0};
    mutable std::mutex m_failureLock;
    LoadFailure m_failure = kNone;
    CString m_failedPath;
};
