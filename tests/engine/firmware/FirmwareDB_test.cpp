#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <thread>
#include <unistd.h>

#include "engine/firmware/FirmwareDB.h"
#include "engine/firmware/FirmwareSchema.h"
#include "engine/log/Logger.h"
#include "engine/log/SuperLogger.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace firmwaredb_test {

const char* kOpenFailed = "数据库连接失败，确认数据库Tellvane.mdb是否在当前路径下!";

// The process-wide log, private to this process (tests/support/PrivateLog.h), at Debug level.
const testsupport::TempDir& LogDirectory() {
    static bool started = [] {
        StartSuperLogger();
        SetLogLevel(LOG_LEVEL_DEBUG);
        return true;
    }();
    (void)started;
    return testsupport::PrivateLogEnvironment::Directory();
}

// What the log received from its creation on.
class LogTail {
public:
    LogTail() : m_start(Read().size()) {}
    std::string Text() const { return Read().substr(m_start); }
    bool Has(const char* tag, const std::string& text) const {
        return Text().find(std::string(tag) + text + "\r\n") != std::string::npos;
    }

private:
    static std::string Read() {
        WriteLogText(LOG_LEVEL_ERROR, "", true);
        return testsupport::ReadFileBytes(LogDirectory() / "log1.txt");
    }
    size_t m_start;
};

void Exec(const std::filesystem::path& file, const char* sql) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    SqliteConnection db(raw);
    char* error = nullptr;
    int rc = sqlite3_exec(db.get(), sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << " in " << sql;
    sqlite3_free(error);
}

// Shadows the product's class inside this namespace, so the suite is named FirmwareDB.
class FirmwareDB : public ::testing::Test {
protected:
    void SetUp() override {
        LogDirectory();
        platform::SetProgramDirectory(m_dir.str().c_str());
    }
    void TearDown() override {
        ::FirmwareDB::DeleteInstance();
        platform::SetProgramDirectory("");
    }
    std::filesystem::path File() const { return m_dir / "Tellvane.mdb"; }
    ::FirmwareDB& Db() {
        CString why;
        EXPECT_TRUE(CreateFirmwareDatabase(File().c_str(), why)) << why.GetString();
        ::FirmwareDB* db = ::FirmwareDB::GetInstance();
        EXPECT_TRUE(db->IsOpen());
        return *db;
    }
    static Firmware Make(const char* name, const char* path, const char* remark) {
        Firmware f;
        f.VersionName = name;
        f.Path = path;
        f.Remark = remark;
        return f;
    }
    static UpgradeFirmwareRule Rule(const char* oldVersion, int firmwareId) {
        UpgradeFirmwareRule r;
        r.Old_Version = oldVersion;
        r.firmware.ID = firmwareId;
        return r;
    }

    testsupport::TempDir m_dir{"firmwaredb"};
    platform::RecordingPromptService m_prompts;
    platform::ScopedPromptService m_scoped{m_prompts};
};

bool Same(const Firmware& a, const Firmware& b) {
    return a.ID == b.ID && a.VersionName == b.VersionName && a.Path == b.Path && a.Remark == b.Remark;
}

TEST_F(FirmwareDB, MissingOrForeignFileIsReportedOnceAndEveryCallFailsQuietly) {
    struct Case {
        const char* what;
        const char* bytes; // written as the file; null: no file
        const char* sql;   // run on a new SQLite file instead
    } cases[] = {
        {"missing file", nullptr, nullptr},
        {"not an SQLite file", "Standard database file from another engine\x01\x02", nullptr},
        {"other tables", nullptr, "CREATE TABLE Stock (Item TEXT)"},
        {"Remark column missing", nullptr,
         "CREATE TABLE Firmware (ID INTEGER PRIMARY KEY, VersionName TEXT, Path TEXT);"
         "CREATE TABLE UpgradeRule (Old_Version TEXT, Firmware_Id INTEGER)"},
        {"ID not numbered by the database", nullptr,
         "CREATE TABLE Firmware (ID TEXT, VersionName TEXT, Path TEXT, Remark TEXT);"
         "CREATE TABLE UpgradeRule (Old_Version TEXT, Firmware_Id INTEGER)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir("firmwaredb-case");
        auto file = dir / "Tellvane.mdb";
        if (c.bytes)
            testsupport::WriteFileBytes(file, c.bytes);
        if (c.sql)
            Exec(file, c.sql);
        std::string before = std::filesystem::exists(file) ? testsupport::ReadFileBytes(file) : "";
        platform::SetProgramDirectory(dir.str().c_str());
        size_t shown = m_prompts.Count();
        LogTail log;

        ::FirmwareDB* db = ::FirmwareDB::GetInstance();
        EXPECT_EQ(::FirmwareDB::GetInstance(), db);
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->GetAllFirmware().empty());
        EXPECT_TRUE(db->GetUpgradeRules().empty());
        Firmware f = Make("V1", "/fw/v1.bin", "");
        f.ID = 77;
        EXPECT_FALSE(db->AddFirmware(f));
        EXPECT_EQ(f.ID, 77);
        EXPECT_FALSE(db->UpdateFirmware(f));
        EXPECT_FALSE(db->DeleteFirmware(1));
        EXPECT_FALSE(db->AddUpgradeRule(Rule("V0", 1)));
        EXPECT_FALSE(db->DeleteUpgradeRule(Rule("V0", 1)));

        ASSERT_EQ(m_prompts.Count(), shown + 1);
        auto box = m_prompts.Boxes().back();
        EXPECT_EQ(box.text, kOpenFailed);
        EXPECT_EQ(box.caption, "错误");
        EXPECT_EQ(box.type, platform::kMbOk | platform::kMbIconError);
        std::string text = log.Text();
        EXPECT_NE(text.find("Source   =   FirmwareDB::GetInstance"), std::string::npos) << text;
        EXPECT_NE(text.find("Source   =   FirmwareDB::AddUpgradeRule"), std::string::npos) << text;
        // The program neither creates nor touches the file.
        EXPECT_EQ(std::filesystem::exists(file), c.bytes || c.sql);
        if (std::filesystem::exists(file)) {
            EXPECT_EQ(testsupport::ReadFileBytes(file), before);
        }
        ::FirmwareDB::DeleteInstance();
    }
}

// The failure box may be answered on another thread (the UI thread), which may itself reach
// for the database while the box is up.
TEST_F(FirmwareDB, FailureBoxDoesNotHoldOffOtherCallers) {
    struct UiThreadPrompt : platform::PromptService {
        std::future<::FirmwareDB*> other;
        bool otherReturned = false;
        int MessageBox(const CString&, const CString&, unsigned) override {
            other = std::async(std::launch::async, [] { return ::FirmwareDB::GetInstance(); });
            otherReturned = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
            return platform::kIdOk;
        }
    } prompt;
    platform::SetPromptService(&prompt);
    ::FirmwareDB* db = ::FirmwareDB::GetInstance(); // no file: the box is shown
    platform::SetPromptService(&m_prompts);
    EXPECT_TRUE(prompt.otherReturned);
    ASSERT_TRUE(prompt.other.valid());
    EXPECT_EQ(prompt.other.get(), db);
}

TEST_F(FirmwareDB, AddListUpdateDeleteRoundTrip) {
    ::FirmwareDB& db = Db();
    Firmware a = Make("V2.0", "/srv/fw/v2.bin", "line A"), b = Make("V3.1", "/srv/fw/v3.bin", "");
    ASSERT_TRUE(db.AddFirmware(a));
    ASSERT_TRUE(db.AddFirmware(b));
    EXPECT_GT(a.ID, 0);
    EXPECT_GT(b.ID, a.ID);
    auto all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(Same(all[0], a));
    EXPECT_TRUE(Same(all[1], b));

    b.VersionName = "V3.2";
    b.Path = "/srv/fw/v3.2.bin";
    b.Remark = "fixed";
    ASSERT_TRUE(db.UpdateFirmware(b));
    all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(Same(all[0], a));
    EXPECT_TRUE(Same(all[1], b));

    ASSERT_TRUE(db.AddUpgradeRule(Rule("V1.", a.ID)));
    ASSERT_TRUE(db.AddUpgradeRule(Rule("V2.", b.ID)));
    ASSERT_TRUE(db.AddUpgradeRule(Rule("V1.9", b.ID)));
    auto rules = db.GetUpgradeRules();
    ASSERT_EQ(rules.size(), 3u);
    std::map<std::string, int> byOld;
    for (const auto& r : rules) {
        byOld[r.Old_Version.str()] = r.firmware.ID;
        EXPECT_TRUE(Same(r.firmware, r.firmware.ID == a.ID ? a : b)) << r.Old_Version.GetString();
    }
    EXPECT_EQ(byOld, (std::map<std::string, int>{{"V1.", a.ID}, {"V2.", b.ID}, {"V1.9", b.ID}}));

    ASSERT_TRUE(db.DeleteUpgradeRule(Rule("V1.9", b.ID)));
    ASSERT_EQ(db.GetUpgradeRules().size(), 2u);

    // The rule of a deleted firmware row is no longer listed.
    ASSERT_TRUE(db.DeleteFirmware(a.ID));
    all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(Same(all[0], b));
    rules = db.GetUpgradeRules();
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].Old_Version, "V2.");
    EXPECT_EQ(m_prompts.Count(), 0u);

    // The data stay in the file for the next start.
    ::FirmwareDB::DeleteInstance();
    ::FirmwareDB* again = ::FirmwareDB::GetInstance();
    ASSERT_EQ(again->GetAllFirmware().size(), 1u);
    EXPECT_TRUE(Same(again->GetAllFirmware()[0], b));
}

TEST_F(FirmwareDB, IdenticalRowsGiveTheNewRowsLargerId) {
    ::FirmwareDB& db = Db();
    Firmware first = Make("V5", "/fw/v5.bin", "same"), other = Make("other", "/fw/o.bin", "");
    Firmware older = Make("V5", "/fw/v5.bin", "same");
    ASSERT_TRUE(db.AddFirmware(first));
    ASSERT_TRUE(db.AddFirmware(other));
    ASSERT_TRUE(db.AddFirmware(older));
    EXPECT_GT(older.ID, other.ID);

    LogTail log;
    Firmware again = Make("V5", "/fw/v5.bin", "same");
    ASSERT_TRUE(db.AddFirmware(again));
    EXPECT_GT(again.ID, older.ID);
    auto all = db.GetAllFirmware();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().ID, again.ID);
    EXPECT_TRUE(log.Has("Debug:", "第1条Firmware")) << log.Text();
    EXPECT_TRUE(log.Has("Warning:", "AddFirmware(Firmware& info)，Firmware数量 > 1")) << log.Text();
    EXPECT_TRUE(log.Has("Info:", "这条Firmware的Id:" + std::to_string(again.ID) + "较大，应该是最近创建的"))
        << log.Text();
}

TEST_F(FirmwareDB, NullFieldsReadAsEmptyTextsWithTheirLogLines) {
    Db();
    Exec(File(), "INSERT INTO Firmware (ID, VersionName, Path, Remark) VALUES (1, NULL, NULL, NULL);"
                 "INSERT INTO UpgradeRule (Old_Version, Firmware_Id) VALUES (NULL, 1)");
    ::FirmwareDB& db = *::FirmwareDB::GetInstance();

    LogTail firmwareLog;
    auto all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), 1u);
    Firmware empty = Make("", "", "");
    empty.ID = 1;
    EXPECT_TRUE(Same(all[0], empty));
    LogTail ruleLog;
    auto rules = db.GetUpgradeRules();
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_TRUE(rules[0].Old_Version.IsEmpty() && rules[0].firmware.VersionName.IsEmpty() &&
                rules[0].firmware.Path.IsEmpty() && rules[0].firmware.Remark.IsEmpty());

    struct Line {
        const LogTail& log;
        const char* tag;
        const char* text;
    } lines[] = {
        {firmwareLog, "Error! ", "rs.lau_lName_Status == adFldNull,it is impossible."},
        {firmwareLog, "Error! ", "rs.lau_lPath_Status == adFldNull,it is impossible."},
        {firmwareLog, "Debug:", "rs.lau_lRemark_Status == adFldNull."},
        {ruleLog, "Info:", "rs.lau_lCurrent_Version_Status == adFldNull"},
        {ruleLog, "Info:", "rs.lau_lVersion_Name_Status == adFldNull"},
        {ruleLog, "Info:", "rs.lau_lPath_Status == adFldNull"},
        {ruleLog, "Info:", "rs.lau_lRemark_Status == adFldNull"},
    };
    for (const Line& line : lines)
        EXPECT_TRUE(line.log.Has(line.tag, line.text)) << line.tag << line.text << "\n" << line.log.Text();
}

TEST_F(FirmwareDB, HostileValuesRoundTripVerbatimAndDeleteOnlyTheirOwnRow) {
    ::FirmwareDB& db = Db();
    const char* values[] = {
        "a\" OR \"1\"=\"1", // would match every row if pasted into the statement
        "VersionName",      // a double-quoted column name is the column itself
        "Firmware_Id",      "Old_Version",
        "固件版本\x81\x40", // GBK, with a trail byte that is a plain '@'
        "O'Brien",          "%s%n%i",      "",
    };
    std::vector<Firmware> rows;
    for (const char* v : values) {
        Firmware f = Make(v, v, v);
        ASSERT_TRUE(db.AddFirmware(f)) << v;
        rows.push_back(f);
    }
    // Each insert found its own row, so every ID is distinct.
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_GT(rows[i].ID, rows[i - 1].ID) << values[i];
    auto all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(Same(all[i], rows[i])) << values[i];

    for (const char* v : values)
        ASSERT_TRUE(db.AddUpgradeRule(Rule(v, rows[0].ID))) << v;
    for (size_t k = 0; k < std::size(values); ++k) {
        ASSERT_TRUE(db.DeleteUpgradeRule(Rule(values[k], rows[0].ID)));
        auto rules = db.GetUpgradeRules();
        ASSERT_EQ(rules.size(), std::size(values) - k - 1) << "deleting " << values[k];
        for (size_t j = 0; j < rules.size(); ++j)
            EXPECT_EQ(rules[j].Old_Version, values[k + 1 + j]);
    }

    Firmware changed = rows[1];
    changed.Remark = values[0];
    ASSERT_TRUE(db.UpdateFirmware(changed));
    ASSERT_TRUE(db.DeleteFirmware(rows[0].ID));
    all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), rows.size() - 1);
    EXPECT_TRUE(Same(all[0], changed));
    for (size_t i = 2; i < rows.size(); ++i)
        EXPECT_TRUE(Same(all[i - 1], rows[i])) << values[i];
}

TEST_F(FirmwareDB, OverLongTextsAreRefusedAndLongStoredTextsReadWhole) {
    ::FirmwareDB& db = Db();
    std::string fits(1, 'x');
    for (int i = 0; i < 127; ++i)
        fits += "版"; // 2 bytes each in GBK
    ASSERT_EQ(fits.size(), 255u);
    std::string tooLong = fits + "y";

    Firmware kept = Make(fits.c_str(), fits.c_str(), fits.c_str());
    ASSERT_TRUE(db.AddFirmware(kept));
    ASSERT_TRUE(db.AddUpgradeRule(Rule(fits.c_str(), kept.ID)));
    ASSERT_EQ(db.GetAllFirmware().size(), 1u);
    EXPECT_TRUE(Same(db.GetAllFirmware()[0], kept));
    EXPECT_EQ(db.GetUpgradeRules().at(0).Old_Version, fits.c_str());

    for (int field = 0; field < 3; ++field) {
        SCOPED_TRACE(field);
        Firmware f = Make("V", "/p", "r");
        CString* text[] = {&f.VersionName, &f.Path, &f.Remark};
        *text[field] = tooLong.c_str();
        f.ID = 9;
        LogTail log;
        EXPECT_FALSE(db.AddFirmware(f));
        EXPECT_EQ(f.ID, 9);
        EXPECT_NE(log.Text().find("is 256 bytes long; at most 255 bytes are stored"), std::string::npos)
            << log.Text();
        f.ID = kept.ID;
        EXPECT_FALSE(db.UpdateFirmware(f));
    }
    EXPECT_FALSE(db.AddUpgradeRule(Rule(tooLong.c_str(), kept.ID)));
    ASSERT_EQ(db.GetAllFirmware().size(), 1u);
    EXPECT_TRUE(Same(db.GetAllFirmware()[0], kept));
    EXPECT_EQ(db.GetUpgradeRules().size(), 1u);

    // A file made elsewhere without the length limit: what it holds is read whole.
    ::FirmwareDB::DeleteInstance();
    std::filesystem::remove(File());
    Exec(File(), "CREATE TABLE Firmware (ID INTEGER PRIMARY KEY, VersionName TEXT, Path TEXT, Remark TEXT);"
                 "CREATE TABLE UpgradeRule (Old_Version TEXT, Firmware_Id INTEGER);"
                 "INSERT INTO Firmware VALUES (4, 'V', '/p', printf('%.1000c', 'r'));"
                 "INSERT INTO UpgradeRule VALUES (printf('%.600c', 'o'), 4)");
    ::FirmwareDB* other = ::FirmwareDB::GetInstance();
    ASSERT_TRUE(other->IsOpen());
    EXPECT_EQ(other->GetAllFirmware().at(0).Remark, std::string(1000, 'r').c_str());
    EXPECT_EQ(other->GetUpgradeRules().at(0).Old_Version, std::string(600, 'o').c_str());
}

TEST_F(FirmwareDB, DialogAndJobThreadsShareTheConnection) {
    ::FirmwareDB& db = Db();
    constexpr int kThreads = 4, kRows = 25;
    std::vector<std::vector<Firmware>> added(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRows; ++i) {
                CString name;
                name.Format("T%d-%d", t, i);
                Firmware f = Make(name, "/fw/" + name, "");
                if (db.AddFirmware(f))
                    added[t].push_back(f);
                db.AddUpgradeRule(Rule(name, f.ID));
                db.GetUpgradeRules();
                db.GetAllFirmware();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::map<int, CString> byId;
    for (const auto& list : added) {
        EXPECT_EQ(list.size(), size_t(kRows));
        for (const auto& f : list)
            byId[f.ID] = f.VersionName;
    }
    auto all = db.GetAllFirmware();
    ASSERT_EQ(all.size(), size_t(kThreads * kRows));
    for (const auto& f : all)
        EXPECT_EQ(byId[f.ID], f.VersionName) << "ID " << f.ID << " went to another row";
    auto rules = db.GetUpgradeRules();
    ASSERT_EQ(rules.size(), size_t(kThreads * kRows));
    for (const auto& r : rules)
        EXPECT_EQ(r.Old_Version, r.firmware.VersionName);
}

TEST_F(FirmwareDB, SortingThenRemovingEqualCandidatesLeavesNoDuplicate) {
    std::vector<VersionPair> candidates = {
        {"V2", "/b.bin"}, {"V2", "/a.bin"}, {"V1", "/z.bin"},
        {"V2", "/b.bin"}, {"V2", "/a.bin"}, {"V10", "/a.bin"},
    };
    std::sort(candidates.begin(), candidates.end(), VersionPairLess());
    candidates.erase(std::unique(candidates.begin(), candidates.end(), VersionPairEqual()), candidates.end());
    std::vector<VersionPair> expected = {
        {"V1", "/z.bin"}, {"V10", "/a.bin"}, {"V2", "/a.bin"}, {"V2", "/b.bin"}};
    EXPECT_EQ(candidates, expected);
    EXPECT_FALSE(VersionPairLess()({"V2", "/a"}, {"V2", "/a"}));
    EXPECT_TRUE(VersionPairLess()({"\x81\x40", ""}, {"\xB0\xA1", ""})); // byte order, not signed char order
    EXPECT_TRUE(VersionPairLess()({"Z", ""}, {"\x81\x40", ""}));
}

TEST_F(FirmwareDB, ErrorReportLayout) {
    EXPECT_EQ(FormatDbError({SQLITE_TOOBIG, "", ""}),
              "Error\n\tCode   =   00000012\n\tCode   meaning   =   string or blob too big\n\tSource   =   \n"
              "\tDescription   =   \n");
    LogTail log;
    ReportDbError({SQLITE_CONSTRAINT, "FirmwareDB::AddFirmware", "CHECK constraint failed"});
    EXPECT_TRUE(log.Has(
        "Error! ", "Error\n\tCode   =   00000013\n\tCode   meaning   =   constraint failed\n\tSource   =   "
                   "FirmwareDB::AddFirmware\n\tDescription   =   CHECK constraint failed\n"))
        << log.Text();
}

TEST_F(FirmwareDB, CreationCommandWritesAnEmptyDatabaseAndNeverReplacesOne) {
    // Tests live in <build>/tests, the program directory is <build>/bin.
    auto tool = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" /
                "create-firmware-db";
    ASSERT_TRUE(std::filesystem::exists(tool)) << tool;
    std::string command = "'" + tool.string() + "' '" + File().string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ::FirmwareDB* db = ::FirmwareDB::GetInstance();
    ASSERT_TRUE(db->IsOpen());
    EXPECT_TRUE(db->GetAllFirmware().empty());
    Firmware f = Make("V1", "/fw/v1.bin", "");
    ASSERT_TRUE(db->AddFirmware(f));
    ::FirmwareDB::DeleteInstance();

    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    ASSERT_EQ(::FirmwareDB::GetInstance()->GetAllFirmware().size(), 1u);
    EXPECT_EQ(m_prompts.Count(), 0u);
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

} // namespace firmwaredb_test
