#pragma once
// The firmware database: the firmware files the program may load into modems and the rules
// that say which firmware replaces which old version. One connection to Tellvane.mdb in the
// program directory, shared by the dialogs and the job threads.

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/firmware/Sqlite.h"
#include "platform/text/CString.h"

struct Firmware {
    int32_t ID = 0;
    CString VersionName;
    CString Path;
    CString Remark;
};

struct UpgradeFirmwareRule {
    CString Old_Version;
    Firmware firmware; // the row that replaces a version containing Old_Version
};

// A candidate upgrade: (version name, firmware path).
using VersionPair = std::pair<CString, CString>;

// Sort and duplicate test of candidates agree: both look at the name, then the path, byte-wise,
// so sorting then removing adjacent equals leaves no duplicate.
struct VersionPairLess {
    bool operator()(const VersionPair& a, const VersionPair& b) const;
};
struct VersionPairEqual {
    bool operator()(const VersionPair& a, const VersionPair& b) const;
};

// A failed database operation, as it is logged.
struct DbError {
    long code = 0;       // SQLite result code
    CString source;      // the operation; may be empty
    CString description; // may be empty
};
// "Error\n\tCode   =   ..." with the code, its meaning, the source and the description.
CString FormatDbError(const DbError& error);
// Logs the report at Error level.
void ReportDbError(const DbError& error);

class FirmwareDB {
public:
    // The first call opens the database; when that fails the user is told once and every
    // operation of the object fails with a logged error.
    static FirmwareDB* GetInstance();
    // Deletes the instance when there is one (the main frame at exit; tests between cases).
    static void DeleteInstance();

    ~FirmwareDB();
    FirmwareDB(const FirmwareDB&) = delete;
    FirmwareDB& operator=(const FirmwareDB&) = delete;

    bool IsOpen() const;

    // Every operation logs its failure and returns false (a list: what it read so far).
    std::vector<Firmware> GetAllFirmware();
    // Sets the record's ID to the new row's; a text over kFirmwareTextMax bytes is refused.
    bool AddFirmware(Firmware& info);
    bool UpdateFirmware(const Firmware& info);
    bool DeleteFirmware(int id);
    // Every rule joined with its firmware row; a rule without its row is not listed.
    std::vector<UpgradeFirmwareRule> GetUpgradeRules();
    bool AddUpgradeRule(const UpgradeFirmwareRule& rule);
    bool DeleteUpgradeRule(const UpgradeFirmwareRule& rule);

private:
    explicit FirmwareDB(const CString& path);

    // Prepares 'sql' and binds the texts, then the integers, in order (all under m_mutex).
    SqliteStatement Prepare(const char* source, const char* sql, std::initializer_list<const CString*> texts,
                            std::initializer_list<int> numbers = {});
    bool Execute(const char* source, const char* sql, std::initializer_list<const CString*> texts,
                 std::initializer_list<int> numbers = {});
    void ReportLastError(const char* source);

    mutable std::mutex m_mutex; // one connection, used from the UI thread and job threads
    SqliteConnection m_db;
};
