// The tool's start-up without windows: the language it picks and the pack it loads, the
// template file it reads, and one instance at a time (a second process says so and ends).

#include <gtest/gtest.h>

#include <map>
#include <sys/wait.h>
#include <unistd.h>

#include "corvay/app/CorvayApp.h"
#include "platform/files/InstanceLock.h"
#include "platform/prompt/Prompt.h"
#include "stavrintool/app/CStavrinApp.h"
#include "stavrintool/app/ToolConfig.h"
#include "templates/TemplateStore.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/support/TempDir.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// The machine as a test sets it: the locale's variables, a lock directory of its own, the
// settings of the test's directory, and a main dialog that only counts its runs.
class TestSeams : public StavrinSeams {
public:
    TestSeams(const fs::path& dir, std::map<std::string, std::string> env)
        : m_dir(dir), m_env(std::move(env)), m_config((dir.string() + "/").c_str()) {
        m_config.Load();
    }
    CString LockDirectory() override { return (m_dir / "lock").string().c_str(); }
    unsigned LocaleId() override {
        return platform::ui::SystemDefaultLocaleId([this](const char* name) -> const char* {
            auto found = m_env.find(name);
            return found == m_env.end() ? nullptr : found->second.c_str();
        });
    }
    const ToolConfig& Config() override { return m_config; }
    void RunMainDialog() override {
        ++dialogRuns;
        if (whileRunning)
            whileRunning();
    }
    int dialogRuns = 0;
    std::function<void()> whileRunning;

private:
    fs::path m_dir;
    std::map<std::string, std::string> m_env;
    ToolConfig m_config;
};

// A program directory with the tool's packs, the fixture's Terminals.dat and a Config.ini.
class StavrinAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "lock");
        for (const char* pack : {"StavrinToolLocalize_cn.so", "StavrinToolLocalize_en.so"}) {
            ASSERT_TRUE(fs::exists(BuildProgramDir() / pack)) << pack;
            fs::create_symlink(BuildProgramDir() / pack, dir / pack);
        }
        WriteFileBytes(dir / "Terminals.dat", TerminalsFile(ToolFixture()));
    }
    void WriteLanguage(const std::string& line) {
        WriteFileBytes(dir / "Config.ini", "[System]\r\n" + line + "\r\n");
    }

    TempDir dir{"stavrin-app"};
    ProgramDirScope programDir{dir.path()};
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService usePrompts{prompts};
};

TEST_F(StavrinAppTest, StavrinAppPicksTheLanguageAndItsPack) {
    struct Case {
        const char* line; // in [System]
        const char* lang; // LANG
        const char* language;
        const char* quit; // string 116 of the pack; "" for none loaded
    } cases[] = {
        {"Language=auto", "zh_CN.UTF-8", "cn", "退出？"},
        {"Language=AUTO", "zh_CN.UTF-8", "cn", "退出？"},
        {"Language=auto", "en_US.UTF-8", "en", "Quit?"},
        {"Language=AUTO", "en_US.UTF-8", "en", "Quit?"},
        {"Language=en", "zh_CN.UTF-8", "en", "Quit?"},
        {"Language=cn", "en_US.UTF-8", "cn", "退出？"},
        {"Language=", "zh_CN.UTF-8", "", ""},
        {"", "en_US.UTF-8", "", ""},
        {"Language=de", "en_US.UTF-8", "de", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " " + c.lang);
        WriteLanguage(c.line);
        TestSeams seams(dir.path(), {{"LANG", c.lang}});
        const size_t boxesBefore = prompts.Count();
        {
            CStavrinApp app(&seams);
            EXPECT_FALSE(app.InitInstance());
            EXPECT_EQ(app.Language(), c.language);
            EXPECT_EQ(stavrin::ToolString(stavrin::kIdsQuit), c.quit);
            if (*c.quit) {
                EXPECT_EQ(app.GetStage(), CStavrinApp::kDialogClosed);
                EXPECT_EQ(seams.dialogRuns, 1);
                EXPECT_EQ(prompts.Count(), boxesBefore);
            } else {
                EXPECT_EQ(app.GetStage(), CStavrinApp::kNoPack);
                EXPECT_EQ(seams.dialogRuns, 0);
                ASSERT_EQ(prompts.Count(), boxesBefore + 1);
                EXPECT_EQ(prompts.Boxes().back().text, "Load resource file failed.");
            }
        }
        // The pack goes with the application.
        EXPECT_EQ(stavrin::ToolString(stavrin::kIdsQuit), "");
    }
    // The template file beside the program was read.
    EXPECT_TRUE(TemplateStore::Instance().IsLoaded());
    EXPECT_EQ(TemplateStore::Instance().Terminals().size(), 3u);
}

// A first tool runs in a process of its own; a second start says so and ends before any
// window, the first runs on and ends normally; Corvay's lock is another one.
TEST_F(StavrinAppTest, StavrinAppSecondInstanceSaysSoAndEnds) {
    WriteLanguage("Language=cn");
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        TestSeams seams(dir.path(), {});
        seams.whileRunning = [&] {
            char byte = 1;
            (void)!write(ready[1], &byte, 1);
            (void)!read(go[0], &byte, 1);
        };
        CStavrinApp app(&seams);
        app.InitInstance();
        _exit(app.GetStage() == CStavrinApp::kDialogClosed && seams.dialogRuns == 1 ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the first tool did not reach its dialog";

    TestSeams seams(dir.path(), {});
    CStavrinApp second(&seams);
    EXPECT_FALSE(second.InitInstance());
    EXPECT_EQ(second.GetStage(), CStavrinApp::kAlreadyRunning);
    EXPECT_EQ(seams.dialogRuns, 0);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, "程序已经在运行！");
    EXPECT_EQ(prompts.Boxes()[0].caption, "StavrinTool");

    // Corvay beside the tool takes its own lock.
    platform::InstanceLock corvay((dir / "lock").string().c_str());
    EXPECT_EQ(corvay.Acquire(CCorvayApp::kMutexName), platform::InstanceLock::kCreated);

    EXPECT_EQ(write(go[1], &byte, 1), 1);
    int status = -1;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Once the first has ended, the tool starts again.
    CStavrinApp third(&seams);
    third.InitInstance();
    EXPECT_EQ(third.GetStage(), CStavrinApp::kDialogClosed);
}

} // namespace
