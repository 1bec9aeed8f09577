#include "engine/firmware/FirmwareDB.h"

#include <memory>

#include "engine/Common.h"
#include "engine/firmware/FirmwareSchema.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "platform/files/ProgramDirectory.h"

namespace {

std::mutex g_instanceMutex;
std::unique_ptr<FirmwareDB> g_instance;

// A writer holding the file (another process) is waited for this long before a statement fails.
constexpr int kBusyTimeoutMs = 5000;

// What is logged when a text column of a row cannot be read: a NULL, or another failure.
struct ColumnLog {
    int nullLevel;
    const char* nullText;
    const char* otherFormat;
};

const ColumnLog kFirmwareName{LOG_LEVEL_ERROR, "rs.lau_lName_Status == adFldNull,it is impossible.",
                              "rs.lau_lName_Status = %d"};
const ColumnLog kFirmwarePath{LOG_LEVEL_ERROR, "rs.lau_lPath_Status == adFldNull,it is impossible.",
                              "rs.lau_lPath_Status = %d"};
const ColumnLog kFirmwareRemark{LOG_LEVEL_DEBUG, "rs.lau_lRemark_Status == adFldNull.",
                                "rs.lau_lRemark_Status = %d"};
const ColumnLog kRuleOldVersion{LOG_LEVEL_INFO, "rs.lau_lCurrent_Version_Status == adFldNull",
                                "rs.lau_lCurrent_Version_Status = %d"};
const ColumnLog kRuleName{LOG_LEVEL_INFO, "rs.lau_lVersion_Name_Status == adFldNull",
                          "rs.lau_lVersion_Name_Status = %d"};
const ColumnLog kRulePath{LOG_LEVEL_INFO, "rs.lau_lPath_Status == adFldNull", "rs.lau_lPath_Status = %d"};
const ColumnLog kRuleRemark{LOG_LEVEL_INFO, "rs.lau_lRemark_Status == adFldNull",
                            "rs.lau_lRemark_Status = %d"};

// The whole text of a column; a NULL or an unreadable value gives an empty text and a log line.
CString ReadText(sqlite3_stmt* stmt, int column, const ColumnLog& log) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) {
        WriteLogText(log.nullLevel, log.nullText, false);
        return CString();
    }
    const unsigned char* text = sqlite3_column_text(stmt, column);
    if (!text) { // out of memory while converting the value
        LogError(log.otherFormat, sqlite3_errcode(sqlite3_db_handle(stmt)));
        return CString();
    }
    return CString(reinterpret_cast<const char*>(text), sqlite3_column_bytes(stmt, column));
}

struct NamedText {
    const char* column;
    const CString& value;
};

// Refuses what the column cannot hold instead of storing a shortened text.
bool FitsColumns(const char* source, std::initializer_list<NamedText> texts) {
    for (const NamedText& text : texts) {
        if (text.value.GetLength() > kFirmwareTextMax) {
            DbError error{SQLITE_TOOBIG, source, CString()};
            error.description.Format("%s is %d bytes long; at most %d bytes are stored, nothing was written",
                                     text.column, text.value.GetLength(), kFirmwareTextMax);
            ReportDbError(error);
            return false;
        }
    }
    return true;
}

} // namespace

bool VersionPairLess::operator()(const VersionPair& a, const VersionPair& b) const {
    int byName = a.first.Compare(b.first);
    return byName != 0 ? byName < 0 : a.second.Compare(b.second) < 0;
}

bool VersionPairEqual::operator()(const VersionPair& a, const VersionPair& b) const {
    return a.first == b.first && a.second == b.second;
}

CString FormatDbError(const DbError& error) {
    CString text;
    text.Format(
        "Error\n\tCode   =   %08lx\n\tCode   meaning   =   %s\n\tSource   =   %s\n\tDescription   =   %s\n",
        static_cast<unsigned long>(error.code), sqlite3_errstr(static_cast<int>(error.code)),
        error.source.GetString(), error.description.GetString());
    return text;
}

void ReportDbError(const DbError& error) {
    LogErrorString(FormatDbError(error));
}

FirmwareDB* FirmwareDB::GetInstance() {
    FirmwareDB* db;
    bool created = false;
    {
        std::lock_guard lock(g_instanceMutex);
        if (!g_instance) {
            g_instance.reset(
                new FirmwareDB(platform::JoinPath(GetProgramDirectory(), kFirmwareDatabaseName)));
            created = true;
        }
        db = g_instance.get();
    }
    // Outside the lock: the box may wait on the UI thread, which may itself want the instance.
    if (created && !db->IsOpen())
        ShowErrorMessage(LoadStringId(156));
    return db;
}

void FirmwareDB::DeleteInstance() {
    std::unique_ptr<FirmwareDB> gone;
    std::lock_guard lock(g_instanceMutex);
    gone = std::move(g_instance);
}

FirmwareDB::FirmwareDB(const CString& path) {
    // Never created here: a missing file must be reported, not replaced by an empty one.
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path, &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteConnection db(raw);
    DbError error{rc, "FirmwareDB::GetInstance", CString()};
    if (rc != SQLITE_OK) {
        error.description.Format("%s: %s", path.GetString(), raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    } else {
        sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
        CString why;
        if (CheckFirmwareSchema(db.get(), why)) {
            m_db = std::move(db);
            return;
        }
        error.code =
            sqlite3_errcode(db.get()) != SQLITE_OK ? sqlite3_extended_errcode(db.get()) : SQLITE_NOTADB;
        error.description.Format("%s: %s", path.GetString(), why.GetString());
    }
    ReportDbError(error); // the user is told by GetInstance
}

FirmwareDB::~FirmwareDB() = default;

bool FirmwareDB::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_db != nullptr;
}

void FirmwareDB::ReportLastError(const char* source) {
    if (!m_db) {
        ReportDbError({SQLITE_CANTOPEN, source, "the firmware database is not open"});
        return;
    }
    ReportDbError({sqlite3_extended_errcode(m_db.get()), source, sqlite3_errmsg(m_db.get())});
}

SqliteStatement FirmwareDB::Prepare(const char* source, const char* sql,
                                    std::initializer_list<const CString*> texts,
                                    std::initializer_list<int> numbers) {
    sqlite3_stmt* raw = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db.get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
        ReportLastError(source);
        return nullptr;
    }
    SqliteStatement stmt(raw);
    // Values travel only as parameters: a quote or a column name inside one stays text.
    int index = 1;
    for (const CString* text : texts)
        sqlite3_bind_text(stmt.get(), index++, text->GetString(), text->GetLength(), SQLITE_TRANSIENT);
    for (int number : numbers)
        sqlite3_bind_int(stmt.get(), index++, number);
    return stmt;
}

bool FirmwareDB::Execute(const char* source, const char* sql, std::initializer_list<const CString*> texts,
                         std::initializer_list<int> numbers) {
    SqliteStatement stmt = Prepare(source, sql, texts, numbers);
    if (!stmt)
        return false;
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
        ReportLastError(source);
        return false;
    }
    return true;
}

std::vector<Firmware> FirmwareDB::GetAllFirmware() {
    static const char* source = "FirmwareDB::GetAllFirmware";
    std::vector<Firmware> list;
    std::lock_guard lock(m_mutex);
    // The columns are named so that a file whose table lists them in another order still reads.
    SqliteStatement stmt = Prepare(source, "select ID,VersionName,Path,Remark from Firmware", {});
    if (!stmt)
        return list;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        Firmware info;
        info.ID = sqlite3_column_int(stmt.get(), 0);
        info.VersionName = ReadText(stmt.get(), 1, kFirmwareName);
        info.Path = ReadText(stmt.get(), 2, kFirmwarePath);
        info.Remark = ReadText(stmt.get(), 3, kFirmwareRemark);
        list.push_back(info);
    }
    if (rc != SQLITE_DONE)
        ReportLastError(source);
    return list;
}

bool FirmwareDB::AddFirmware(Firmware& info) {
    static const char* source = "FirmwareDB::AddFirmware";
    if (!FitsColumns(source,
                     {{"VersionName", info.VersionName}, {"Path", info.Path}, {"Remark", info.Remark}}))
        return false;
    std::lock_guard lock(m_mutex);
    if (!Execute(source, "INSERT INTO Firmware (VersionName,Path,Remark) VALUES (?,?,?)",
                 {&info.VersionName, &info.Path, &info.Remark}))
        return false;
    SqliteStatement stmt = Prepare(
        source,
        "select Id,VersionName,Path,Remark from Firmware where VersionName = ? AND Path = ? AND  Remark = ?",
        {&info.VersionName, &info.Path, &info.Remark});
    if (!stmt)
        return false;
    // Identical rows may exist already; the newest has the largest ID.
    bool first = true;
    int32_t id = info.ID;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        int32_t rowId = sqlite3_column_int(stmt.get(), 0);
        if (first) {
            LogDebug("第1条Firmware");
            id = rowId;
            first = false;
            continue;
        }
        LogWarning("AddFirmware(Firmware& info)，Firmware数量 > 1");
        if (rowId > id) {
            LogInfo("这条Firmware的Id:%i较大，应该是最近创建的", rowId);
            id = rowId;
        }
    }
    if (rc != SQLITE_DONE) {
        ReportLastError(source);
        return false;
    }
    info.ID = id;
    return !first;
}

bool FirmwareDB::UpdateFirmware(const Firmware& info) {
    static const char* source = "FirmwareDB::UpdateFirmware";
    if (!FitsColumns(source,
                     {{"VersionName", info.VersionName}, {"Path", info.Path}, {"Remark", info.Remark}}))
        return false;
    std::lock_guard lock(m_mutex);
    return Execute(source, "Update Firmware SET VersionName = ?,Path= ?,Remark = ? WHERE Id = ?",
                   {&info.VersionName, &info.Path, &info.Remark}, {info.ID});
}

bool FirmwareDB::DeleteFirmware(int id) {
    std::lock_guard lock(m_mutex);
    return Execute("FirmwareDB::DeleteFirmware", "delete from Firmware where ID = ?", {}, {id});
}

std::vector<UpgradeFirmwareRule> FirmwareDB::GetUpgradeRules() {
    static const char* source = "FirmwareDB::GetUpgradeRules";
    std::vector<UpgradeFirmwareRule> list;
    std::lock_guard lock(m_mutex);
    SqliteStatement stmt =
        Prepare(source,
                "SELECT UpgradeRule.Old_Version,Firmware.ID,Firmware.VersionName, Firmware.Path, "
                "Firmware.Remark FROM Firmware INNER JOIN UpgradeRule ON "
                "Firmware.ID=UpgradeRule.Firmware_Id",
                {});
    if (!stmt)
        return list;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        UpgradeFirmwareRule rule;
        rule.Old_Version = ReadText(stmt.get(), 0, kRuleOldVersion);
        rule.firmware.ID = sqlite3_column_int(stmt.get(), 1);
        rule.firmware.VersionName = ReadText(stmt.get(), 2, kRuleName);
        rule.firmware.Path = ReadText(stmt.get(), 3, kRulePath);
        rule.firmware.Remark = ReadText(stmt.get(), 4, kRuleRemark);
        list.push_back(rule);
    }
    if (rc != SQLITE_DONE)
        ReportLastError(source);
    return list;
}

bool FirmwareDB::AddUpgradeRule(const UpgradeFirmwareRule& rule) {
    static const char* source = "FirmwareDB::AddUpgradeRule";
    if (!FitsColumns(source, {{"Old_Version", rule.Old_Version}}))
        return false;
    std::lock_guard lock(m_mutex);
    return Execute(source, "insert into UpgradeRule(Old_Version,Firmware_Id) values(?,?)",
                   {&rule.Old_Version}, {rule.firmware.ID});
}

bool FirmwareDB::DeleteUpgradeRule(const UpgradeFirmwareRule& rule) {
    std::lock_guard lock(m_mutex);
    return Execute("FirmwareDB::DeleteUpgradeRule",
                   "delete from UpgradeRule where Old_Version = ? And Firmware_Id = ?", {&rule.Old_Version},
                   {rule.firmware.ID});
}
