#include "engine/firmware/FirmwareSchema.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/firmware/Sqlite.h"

const char* const kFirmwareSchema = R"sql(
CREATE TABLE Firmware (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    VersionName TEXT CHECK (length(CAST(VersionName AS BLOB)) <= 255),
    Path TEXT CHECK (length(CAST(Path AS BLOB)) <= 255),
    Remark TEXT CHECK (length(CAST(Remark AS BLOB)) <= 255)
);
CREATE TABLE UpgradeRule (
    Old_Version TEXT CHECK (length(CAST(Old_Version AS BLOB)) <= 255),
    Firmware_Id INTEGER
);
)sql";

namespace {

struct TableColumns {
    const char* table;
    std::vector<const char*> columns;
};

const TableColumns kTables[] = {
    {"Firmware", {"ID", "VersionName", "Path", "Remark"}},
    {"UpgradeRule", {"Old_Version", "Firmware_Id"}},
};

CString Text(const unsigned char* text) {
    return CString(reinterpret_cast<const char*>(text));
}

} // namespace

bool CheckFirmwareSchema(sqlite3* db, CString& why) {
    SqliteStatement stmt;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, type, pk FROM pragma_table_info(?)", -1, &raw, nullptr) !=
        SQLITE_OK) {
        why = sqlite3_errmsg(db);
        return false;
    }
    stmt.reset(raw);
    for (const TableColumns& table : kTables) {
        sqlite3_reset(stmt.get());
        sqlite3_bind_text(stmt.get(), 1, table.table, -1, SQLITE_STATIC);
        std::vector<CString> names;
        bool idAssigned = false;
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            CString name = Text(sqlite3_column_text(stmt.get(), 0));
            names.push_back(name);
            // Only an INTEGER PRIMARY KEY is numbered by the database on insert.
            if (name.CompareNoCase("ID") == 0 &&
                Text(sqlite3_column_text(stmt.get(), 1)).CompareNoCase("INTEGER") == 0 &&
                sqlite3_column_int(stmt.get(), 2) == 1)
                idAssigned = true;
        }
        if (rc != SQLITE_DONE) {
            why = sqlite3_errmsg(db);
            return false;
        }
        if (names.empty()) {
            why.Format("no table %s", table.table);
            return false;
        }
        for (const char* column : table.columns) {
            bool found = false;
            for (const CString& name : names)
                found = found || name.CompareNoCase(column) == 0;
            if (!found) {
                why.Format("table %s has no column %s", table.table, column);
                return false;
            }
        }
        if (std::strcmp(table.table, "Firmware") == 0 && !idAssigned) {
            why = "Firmware.ID is not an INTEGER PRIMARY KEY";
            return false;
        }
    }
    return true;
}

bool CreateFirmwareDatabase(const CString& path, CString& why) {
    struct stat st;
    if (stat(path, &st) == 0) {
        why.Format("%s already exists; it is left as it is", path.GetString());
        return false;
    }
    // Built under a temporary name and linked into place, so a failure leaves nothing behind
    // and a file that appeared meanwhile is never replaced.
    CString temp = path + ".new-XXXXXX";
    int fd = mkstemp(temp.str().data());
    if (fd < 0) {
        why.Format("cannot create %s: %s", temp.GetString(), std::strerror(errno));
        return false;
    }
    close(fd);
    bool ok = false;
    {
        sqlite3* raw = nullptr;
        int rc = sqlite3_open_v2(temp, &raw, SQLITE_OPEN_READWRITE, nullptr);
        SqliteConnection db(raw);
        char* error = nullptr;
        if (rc != SQLITE_OK)
            why = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        else if (sqlite3_exec(db.get(), kFirmwareSchema, nullptr, nullptr, &error) != SQLITE_OK)
            why = error ? error : sqlite3_errmsg(db.get());
        else
            ok = true;
        sqlite3_free(error);
    }
    if (ok && link(temp, path) != 0) {
        why.Format("cannot create %s: %s", path.GetString(), std::strerror(errno));
        ok = false;
    }
    unlink(temp);
    return ok;
}
