// The start-up checks without windows: each failing check shows its text and ends before the
// later ones run; the checks that never end the start go on; the crash-report library, the
// version values, the language and the command line.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "corvay/app/CorvayApp.h"
#include "engine/config/Configer.h"
#include "platform/clock/Clock.h"
#include "platform/files/InstanceLock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

fs::path BinaryDir() {
    const char* dir = std::getenv("CORVAY_BINARY_DIR");
    return dir ? fs::path(dir) : fs::path(".");
}

// A program directory of its own: Config.ini, the registry store, the packs when asked.
class ProgramDirectory {
public:
    explicit ProgramDirectory(bool withPacks, const std::string& language = "AUTO") {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        fs::create_directory(dir / "registry");
        platform::SetRegistryRoot((dir / "registry").c_str());
        testsupport::WriteFileBytes(dir / "Config.ini", "[System]\r\nLanguage=" + language + "\r\n");
        if (withPacks)
            for (const char* pack : {"Localize_cn.so", "Localize_en.so"})
                fs::copy_file(BinaryDir() / "bin" / pack, dir / pack);
    }
    ~ProgramDirectory() {
        Configer::DeleteInstance();
        platform::SetProgramDirectory("");
        platform::SetRegistryRoot("");
    }
    TempDir dir{"corvay-start"};
};

// Every seam answers as a sound bench would, and says that it was asked.
class RecordingSeams : public StartupSeams {
public:
    std::vector<std::string> steps;
    CString lockDirectory;
    bool versionReadable = true;
    OsVersionInfo version{6, 1, ""};
    int inventoryResult = 1;
    CStringArray inventory;
    std::vector<int> enabled;
    int cards = 2;
    bool serial = true;
    bool nicConfigured = true;
    int nicDialogAnswer = platform::kIdOk;
    bool realFindLan = false;
    platform::ManualClock clock;
    const long long startTick = clock.TickMs();
    long long WaitedMs() const { return clock.TickMs() - startTick; }

    CString LockDirectory() override { return lockDirectory; }
    unsigned LocaleId() override { return Step("locale"), 2052; }
    bool GetOsVersion(OsVersionInfo& v) override {
        Step("os");
        v = version;
        return versionReadable;
    }
    int InitWMI(int initSecurity) override { return Step("initwmi"), initSecurity == 0; }
    int NetCardInfoGet(CStringArray& texts) override {
        Step("cardinfo");
        texts.Copy(inventory);
        return inventoryResult;
    }
    int EnableNetCard(int card, int enable) override {
        enabled.push_back(enable ? card : -1 - card);
        return 1;
    }
    void ClearWMI() override { Step("clearwmi"); }
    platform::Clock& Clock() override { return clock; }
    int WiredCardCount() override { return Step("cards"), cards; }
    bool SerialControlPresent() override { return Step("serial"), serial; }
    bool NicConfigured() override { return Step("nicconfigured"), nicConfigured; }
    int RunNicConfigDlg() override { return Step("nicdlg"), nicDialogAnswer; }
    void FindLanNicIndex() override {
        Step("findlan");
        if (realFindLan)
            StartupSeams::FindLanNicIndex();
    }
    bool CreateMainWindow() override { return Step("window"), true; }

private:
    void Step(const char* name) { steps.push_back(name); }
};

// One card of the inventory (13 texts), disabled or not.
void AddCard(CStringArray& texts, bool disabled) {
    for (int item = 0; item < 13; ++item)
        texts.Add(item == 2 ? (disabled ? "true" : "FALSE") : "x");
}

const std::vector<std::string> kAllSteps = {"locale", "os",     "initwmi",       "cardinfo", "clearwmi",
                                            "cards",  "serial", "nicconfigured", "findlan",  "window"};

std::vector<std::string> StepsUpTo(const std::string& last) {
    std::vector<std::string> steps;
    for (const std::string& s : kAllSteps) {
        steps.push_back(s);
        if (s == last)
            break;
    }
    return steps;
}

struct EndCase {
    const char* name;
    bool packs;
    std::function<void(RecordingSeams&, TempDir& locks)> setup;
    const char* box; // GBK; null: no box
    std::vector<std::string> steps;
};

TEST(CorvayAppStart, EachFailingCheckShowsItsTextAndEndsBeforeTheLaterOnes) {
    std::optional<platform::InstanceLock> other; // the first instance, holding the lock
    const std::vector<EndCase> cases = {
        {"lock held elsewhere",
         true,
         [&](RecordingSeams& s, TempDir& locks) {
             s.lockDirectory = locks.str().c_str();
             other.emplace(s.lockDirectory);
             ASSERT_EQ(other->Acquire(CCorvayApp::kMutexName), platform::InstanceLock::kCreated);
         },
         "程序已经在运行！",
         {}},
        {"lock cannot be made",
         true,
         [](RecordingSeams& s, TempDir& locks) { s.lockDirectory = (locks.str() + "/missing").c_str(); },
         "初始化失败！",
         {}},
        {"no language pack",
         false,
         [](RecordingSeams&, TempDir&) {},
         "Load resource file failed.",
         {"locale"}},
        {"version unreadable", true, [](RecordingSeams& s, TempDir&) { s.versionReadable = false; },
         "不支持的操作系统，请使用Windows XP！", StepsUpTo("os")},
        {"version too new", true,
         [](RecordingSeams& s, TempDir&) {
             s.version = {6, 2, ""};
         },
         "不支持的操作系统，请使用Windows XP！", StepsUpTo("os")},
        {"one wired card", true, [](RecordingSeams& s, TempDir&) { s.cards = 1; },
         "系统至少需要2快有线网卡，请检查网卡是否正常。", StepsUpTo("cards")},
        {"no serial control", true, [](RecordingSeams& s, TempDir&) { s.serial = false; },
         "未找到MsComm控件！", StepsUpTo("serial")},
        {"card dialog cancelled",
         true,
         [](RecordingSeams& s, TempDir&) {
             s.nicConfigured = false;
             s.nicDialogAnswer = platform::kIdCancel;
         },
         nullptr,
         {"locale", "os", "initwmi", "cardinfo", "clearwmi", "cards", "serial", "nicconfigured", "nicdlg"}},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramDirectory program(c.packs);
        TempDir locks("corvay-locks");
        RecordingSeams seams;
        seams.lockDirectory = locks.str().c_str();
        c.setup(seams, locks);
        platform::RecordingPromptService prompts;
        platform::ScopedPromptService scoped(prompts);
        CCorvayApp app(&seams);
        EXPECT_FALSE(app.InitInstance());
        std::vector<platform::RecordingPromptService::Shown> boxes = prompts.Boxes();
        if (c.box) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(std::string(boxes[0].text), c.box);
            EXPECT_EQ(std::string(boxes[0].caption), "") << "start-up boxes carry no caption of their own";
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_EQ(seams.steps, c.steps);
        other.reset();
    }
    const std::string log = testsupport::LogText();
    EXPECT_NE(log.find("CCorvayApp::InitInstance()"), std::string::npos);
    EXPECT_NE(log.find("Load resource DLL failed."), std::string::npos);
    EXPECT_NE(log.find("You chose cancel."), std::string::npos);
}

TEST(CorvayAppStart, ChecksThatNeverEndTheStartGoOnToTheMainWindow) {
    struct Case {
        const char* name;
        std::function<void(RecordingSeams&)> setup;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"no inventory", [](RecordingSeams& s) { s.inventoryResult = 0; }, "获取网卡信息失败。"},
        {"inventory of a broken length",
         [](RecordingSeams& s) {
             AddCard(s.inventory, true);
             s.inventory.Add("x");
         },
         "获取网卡信息失败。"},
        {"LAN card not found", [](RecordingSeams& s) { s.realFindLan = true; }, nullptr},
        {"card dialog answered OK", [](RecordingSeams& s) { s.nicConfigured = false; }, "You chose Ok."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramDirectory program(true);
        TempDir locks("corvay-locks");
        RecordingSeams seams;
        seams.lockDirectory = locks.str().c_str();
        c.setup(seams);
        platform::RecordingPromptService prompts;
        platform::ScopedPromptService scoped(prompts);
        CCorvayApp app(&seams);
        EXPECT_TRUE(app.InitInstance());
        EXPECT_EQ(prompts.Count(), 0u);
        EXPECT_EQ(seams.steps.back(), "window");
        EXPECT_TRUE(seams.enabled.empty()) << "no card is enabled from a broken inventory";
        EXPECT_EQ(seams.WaitedMs(), 0) << "no wait without an enabled card";
        if (c.logged) {
            EXPECT_NE(testsupport::LogText().find(c.logged), std::string::npos);
        }
    }
}

TEST(CorvayAppStart, ASoundStartEnablesDisabledCardsWaitsAndSetsTheProfileAndLanguage) {
    ProgramDirectory program(true, "AUTO");
    TempDir locks("corvay-locks");
    RecordingSeams seams;
    seams.lockDirectory = locks.str().c_str();
    AddCard(seams.inventory, false);
    AddCard(seams.inventory, true);
    AddCard(seams.inventory, true);
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped(prompts);
    const char* argv[] = {"corvay", "-automation"};
    SetShowSplashFlag(true);
    {
        CCorvayApp app(&seams);
        ASSERT_TRUE(app.InitInstance(2, argv));
        EXPECT_EQ(seams.steps, kAllSteps);
        EXPECT_EQ(seams.enabled, (std::vector<int>{1, 2}));
        EXPECT_EQ(seams.WaitedMs(), CCorvayApp::kEnableWaitMs);
        EXPECT_FALSE(ShowSplashFlag());
        EXPECT_EQ(std::string(app.Language()), "cn");
        EXPECT_TRUE(app.Pack().IsLoaded());
        EXPECT_EQ(std::string(platform::ui::Application::ProfileKey()),
                  "Software\\应用程序向导生成的本地应用程序\\Corvay");
        // A second start while this one holds the lock.
        RecordingSeams second;
        second.lockDirectory = seams.lockDirectory;
        CCorvayApp again(&second);
        EXPECT_FALSE(again.InitInstance());
        ASSERT_EQ(prompts.Count(), 1u);
        EXPECT_EQ(std::string(prompts.Boxes()[0].text), "程序已经在运行！");
        app.ExitInstance();
        EXPECT_FALSE(app.Pack().IsLoaded());
        EXPECT_EQ(platform::ui::Application::Pack()->StringIds().size(), 0u);
    }
    const std::string log = testsupport::LogText();
    for (const char* line : {"In CheckOS()", "GetOSVersion()", "Exit CheckOS()"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST(CorvayAppCrashReport, KeptAndCalledOnlyWhenBothReportsAreThere) {
    struct Case {
        const char* fixture; // null: no library
        CrashReport::State state;
        const char* trace;
    };
    const Case cases[] = {
        {nullptr, CrashReport::kNone, ""},
        {"Crashnote_bootonly.so", CrashReport::kIncomplete, ""},
        {"Crashnote_both.so", CrashReport::kBound, "BootReport\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture ? c.fixture : "none");
        ProgramDirectory program(true);
        TempDir locks("corvay-locks");
        const fs::path library = program.dir / "Crashnote.so";
        if (c.fixture)
            fs::copy_file(BinaryDir() / "tests" / "fixtures" / c.fixture, library);
        const std::string trace = (program.dir / "trace").string();
        ::setenv("CRASHNOTE_TRACE", trace.c_str(), 1);
        RecordingSeams seams;
        seams.lockDirectory = locks.str().c_str();
        platform::RecordingPromptService prompts;
        platform::ScopedPromptService scoped(prompts);
        CCorvayApp app(&seams);
        EXPECT_TRUE(app.InitInstance()) << "the crash report never ends the start";
        EXPECT_EQ(CrashReport::IsBound(), c.state == CrashReport::kBound);
        EXPECT_EQ(fs::exists(trace) ? testsupport::ReadFileBytes(trace) : "", c.trace);
        void* still = ::dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_EQ(still != nullptr, c.state == CrashReport::kBound) << "an incomplete library is unloaded";
        if (still)
            ::dlclose(still);
        CrashReport::Bind(""); // lets go of the library before its directory goes
        ::unsetenv("CRASHNOTE_TRACE");
    }
}

TEST(CorvayAppCheckOS, VersionValuesAndWhichPass) {
    struct Case {
        OsVersionInfo version;
        int value;
    };
    const Case cases[] = {
        {{6, 1, "Service Pack 1"}, 8},
        {{6, 0, ""}, 5},
        {{5, 2, "Service Pack 2"}, 6},
        {{5, 1, "Service Pack 2"}, 3},
        {{5, 1, "Service Pack 1"}, 2},
        {{5, 1, "Service Pack 3"}, 4},
        {{5, 1, ""}, 4},
        {{5, 0, "Service Pack 4"}, 0},
        {{6, 2, ""}, 0},
        {{10, 0, ""}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor << " "
                                        << c.version.servicePack.GetString());
        EXPECT_EQ(OsVersionValue(c.version), c.value);
    }
    // The check passes above 1: XP with Service Pack 1 (2) passes, 5.0 and 6.2 do not.
    OsVersionInfo running;
    ASSERT_TRUE(StartupSeams().GetOsVersion(running));
    EXPECT_EQ(OsVersionValue(running), 8) << "the running system is taken as the supported one";
}

TEST(CorvayAppLanguage, AutoFollowsTheLocaleAndOtherValuesPassUnchanged) {
    struct Locale {
        const char *all, *messages, *lang;
        unsigned id;
    };
    const Locale locales[] = {
        {nullptr, nullptr, "zh_CN.UTF-8", 2052},
        {nullptr, nullptr, "zh_CN", 2052},
        {nullptr, "zh_CN.GBK", "en_US.UTF-8", 2052},
        {"en_GB.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8", 1033},
        {"", "", "zh_CN.GB18030", 2052},
        {nullptr, nullptr, "zh_TW.UTF-8", 1033},
        {nullptr, nullptr, "C", 1033},
        {nullptr, nullptr, nullptr, 1033},
    };
    for (const Locale& l : locales) {
        auto env = [&](const char* name) -> const char* {
            return std::string(name) == "LC_ALL"        ? l.all
                   : std::string(name) == "LC_MESSAGES" ? l.messages
                                                        : l.lang;
        };
        SCOPED_TRACE(testing::Message() << (l.all ? l.all : "-") << " " << (l.messages ? l.messages : "-")
                                        << " " << (l.lang ? l.lang : "-"));
        EXPECT_EQ(platform::ui::SystemDefaultLocaleId(env), l.id);
    }
    struct Case {
        const char* configured;
        unsigned locale;
        const char* language;
    };
    const Case cases[] = {{"auto", 2052, "cn"}, {"AUTO", 2052, "cn"}, {"Auto", 1033, "en"},
                          {"cn", 1033, "cn"},   {"en", 2052, "en"},   {"xx", 2052, "xx"},
                          {"", 2052, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configured);
        EXPECT_EQ(std::string(platform::ui::ResolveLanguage(c.configured, c.locale)), c.language);
    }
}

TEST(CorvayAppCommandLine, OnlyEmbeddingOrAutomationTurnTheSplashOff) {
    struct Case {
        std::vector<const char*> args;
        bool splash;
    };
    const Case cases[] = {
        {{}, true},
        {{"/Embedding"}, false},
        {{"-embedding"}, false},
        {{"/AUTOMATION"}, false},
        {{"-Automation", "x"}, false},
        {{"Embedding"}, true},
        {{"/Embed"}, true},
        {{"/dde", "file.crvt", "-nologo"}, true},
        {{"--embedding"}, true},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"corvay"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        EXPECT_EQ(ParseSplashFlag(int(argv.size()), argv.data()), c.splash);
    }
}

} // namespace
