#pragma once
// A fresh Tellvane.mdb from the schema in a program directory of the test's own, opened as the
// process's firmware database; deleted with the directory when the object goes.

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "engine/firmware/FirmwareDB.h"
#include "engine/firmware/FirmwareSchema.h"
#include "platform/files/ProgramDirectory.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class FirmwareDatabase {
public:
    FirmwareDatabase() {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        CString why;
        EXPECT_TRUE(CreateFirmwareDatabase((dir / kFirmwareDatabaseName).c_str(), why)) << why.GetString();
        EXPECT_TRUE(FirmwareDB::GetInstance()->IsOpen());
    }
    ~FirmwareDatabase() {
        FirmwareDB::DeleteInstance();
        platform::SetProgramDirectory("");
    }
    FirmwareDatabase(const FirmwareDatabase&) = delete;
    FirmwareDatabase& operator=(const FirmwareDatabase&) = delete;

    static FirmwareDB& Db() { return *FirmwareDB::GetInstance(); }
    static Firmware Add(const char* name, const char* path, const char* remark = "") {
        Firmware f;
        f.VersionName = name;
        f.Path = path;
        f.Remark = remark;
        EXPECT_TRUE(Db().AddFirmware(f));
        return f;
    }
    static UpgradeFirmwareRule Rule(const char* oldVersion, const Firmware& firmware) {
        UpgradeFirmwareRule rule;
        rule.Old_Version = oldVersion;
        rule.firmware = firmware;
        return rule;
    }
    // The (old version, firmware ID) pairs in the database, sorted.
    static std::vector<std::pair<std::string, int>> RulePairs() {
        std::vector<std::pair<std::string, int>> pairs;
        for (const UpgradeFirmwareRule& rule : Db().GetUpgradeRules())
            pairs.emplace_back(rule.Old_Version.GetString(), rule.firmware.ID);
        std::sort(pairs.begin(), pairs.end());
        return pairs;
    }

    TempDir dir{"corvay-firmware-dlg"};
};

} // namespace testsupport
