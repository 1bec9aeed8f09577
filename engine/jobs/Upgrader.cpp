// The firmware upgrade step that the standard routine and the upgrade job share, and the
// reboot wait and factory restore it leans on.

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/firmware/FirmwareDB.h"
#include "engine/jobs/BaseModemTester.h"
#include "engine/jobs/TestContext.h"
#include "engine/jobs/Tester.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "platform/prompt/Prompt.h"

namespace {

const char* const kCaption = "Corvay";

// The upgrades that apply to a version, sorted by name then path, each once.
std::vector<VersionPair> Candidates(const CString& version) {
    std::vector<VersionPair> found;
    FirmwareDB* db = FirmwareDB::GetInstance();
    if (db == nullptr)
        return found;
    for (const UpgradeFirmwareRule& rule : db->GetUpgradeRules()) {
        if (version.Find(rule.Old_Version) >= 0 && version != rule.firmware.VersionName)
            found.emplace_back(rule.firmware.VersionName, rule.firmware.Path);
    }
    std::sort(found.begin(), found.end(), VersionPairLess());
    found.erase(std::unique(found.begin(), found.end(), VersionPairEqual()), found.end());
    return found;
}

// One ping of the reboot wait that takes its whole time-out when it misses: a ping that fails at
// once (no route while the card or the address is gone) must not turn the wait into a spin.
bool RebootPing(JobEnvironment& env, const CString& address) {
    using namespace std::chrono;
    const auto sent = env.clock->Now();
    if (env.ping(address, env.timings.pingTimeoutMs))
        return true;
    const auto left =
        milliseconds(env.timings.pingTimeoutMs) - duration_cast<milliseconds>(env.clock->Now() - sent);
    if (left.count() > 0)
        env.clock->SleepFor(left);
    return false;
}

void SetStatus(TestInfo& info, int status) {
    info.Update([&](TestInfo::Data& d) { d.Modem.Status = status; });
}

} // namespace

bool UpgradeFirmwareStep(TestContext& context, TestInfo& info, bool scanned) {
    const int port = info.GetPort();
    const TestInfo::Data before = info.Get();
    const CString version = before.Modem.FirmwareVersion;
    // Without a scan of this pass the client still holds another port's modem, and a rule that
    // matches any version would flash whatever answers at the factory address.
    if (!scanned)
        return true;
    const std::vector<VersionPair> candidates = Candidates(version);
    if (candidates.empty())
        return true;

    VersionPair chosen;
    bool accepted = false;
    if (candidates.size() == 1) {
        CString text;
        text.Format(LoadStringId(145).GetString(), port, version.GetString(),
                    candidates[0].first.GetString());
        accepted = platform::ShowMessageBox(text, kCaption, platform::kMbYesNo | platform::kMbIconQuestion) ==
                   platform::kIdYes;
        if (accepted)
            chosen = candidates[0];
    } else {
        CStringArray items;
        // A row each: its version and its firmware file.
        for (const VersionPair& pair : candidates)
            items.Add(pair.first + "\t" + pair.second);
        const int index = platform::Prompts().ChooseItem(version, kCaption, items);
        accepted = index >= 0 && index < static_cast<int>(candidates.size());
        if (accepted)
            chosen = candidates[static_cast<size_t>(index)];
    }
    if (!accepted || chosen.second.IsEmpty()) {
        SetStatus(info, 3);
        return true;
    }
    if (!context.Client.RunUploadFunction("upgradefirmware", chosen.second)) {
        SetStatus(info, 2);
        return true;
    }

    SetStatus(info, 1);
    const CString oldVersion = version;
    try {
        WaitModemReboot(before.Modem.IpAddress, context);
    } catch (const ModemRebootTimeout&) {
        LogWarning("等待Modem重启超时");
    }

    CString ip;
    if (Scan(ip, context) != 0) {
        LogWarning("升级后重新获取Modem信息失败。");
        SetStatus(info, 2);
        return true;
    }
    if (context.IsStopped())
        return false;

    TerminalClient& client = context.Client;
    const CString model = client.GetTerminalName();
    info.Update([&](TestInfo::Data& d) {
        d.Modem.Model = model;
        d.Modem.Status = 2;
    });
    CStringArray names;
    client.GetParameterNames(names);
    for (const CString& name : names) {
        if (name != "Firmware_Version")
            continue;
        const CString newVersion = StripNbsp(client.GetParameterValue(name));
        Tester& tester = context.GetTester();
        if (newVersion != oldVersion && !newVersion.IsEmpty()) {
            LogInfo("升级成功：%s 升级为 %s", oldVersion.GetString(), newVersion.GetString());
            info.Update([&](TestInfo::Data& d) {
                d.Modem.Status = 1;
                d.Modem.FirmwareVersion = newVersion;
            });
            PostPortUpdated(tester, info);
            if (context.GetEnvironment().system.Modem.AutoUpgradeConfig) {
                if (RestoreFactoryConfig(context))
                    LogDebug("RestoreFactoryConfig ok");
                else
                    LogDebug("RestoreFactoryConfig failed:%s", info.Get().Modem.GetSummaryText().GetString());
            }
        } else {
            LogInfo("升级失败：%s", oldVersion.GetString());
            PostPortUpdated(tester, info);
        }
        break;
    }
    return true;
}

void WaitModemReboot(const CString& ip, TestContext& context) {
    using namespace std::chrono;
    JobEnvironment& env = context.GetEnvironment();
    const CString address = ip.IsEmpty() ? CString("192.168.1.1") : ip;
    const auto start = env.clock->Now();
    for (;;) {
        // A stop must not sit out the whole limit.
        if (context.IsStopped())
            return;
        // Whole seconds of steady time: a step of the calendar clock neither ends nor stretches it.
        const long long elapsed = duration_cast<seconds>(env.clock->Now() - start).count() * 1000;
        if (elapsed > env.timings.rebootLimitMs)
            throw ModemRebootTimeout();
        if (!RebootPing(env, address)) {
            LogDebug("Modem is rebooting.");
            continue;
        }
        int answered = 0;
        for (int i = 0; i < 6; ++i) {
            env.clock->SleepFor(milliseconds(env.timings.rebootPingPauseMs));
            if (!RebootPing(env, address)) {
                LogInfo("Ping falied。");
                break;
            }
            LogInfo("Ping %d times success。", ++answered);
        }
        if (answered > 4) {
            LogInfo("Ping %d times success。", 6);
            return;
        }
    }
}

bool RestoreFactoryConfig(TestContext& context) {
    LogInfo("Reset modem to default factory settings.");
    if (!context.Client.RunFunction("RestoreConfig", CStringArray()))
        return false;
    WaitModemReboot(context.Result.IpAddress, context);
    return true;
}
