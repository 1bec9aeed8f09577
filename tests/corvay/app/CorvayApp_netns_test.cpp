// The start-up's card checks over the real card list of a private namespace that has no wired
// card: the inventory finds nothing (the start goes on), then the card count ends it.

#include <gtest/gtest.h>

#include <filesystem>

#include "corvay/app/CorvayApp.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/prompt/Prompt.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class CorvayAppCards : public testsupport::NetnsTest {};

// The program's own seams but for the lock's directory and the window.
class BenchSeams : public StartupSeams {
public:
    explicit BenchSeams(const CString& locks) : m_locks(locks) {}
    CString LockDirectory() override { return m_locks; }
    bool CreateMainWindow() override { return windowMade = true; }
    bool windowMade = false;

private:
    CString m_locks;
};

TEST_F(CorvayAppCards, ANamespaceWithoutWiredCardsEndsTheStartWithTheCardCountText) {
    testsupport::NetNamespace& ns = AddNamespace();
    testsupport::TempDir dir("corvay-start");
    testsupport::TempDir locks("corvay-locks");
    platform::SetProgramDirectory((dir.str() + "/").c_str());
    fs::create_directory(dir / "registry");
    platform::SetRegistryRoot((dir / "registry").c_str());
    testsupport::WriteFileBytes(dir / "Config.ini", "[System]\r\nLanguage=cn\r\n");
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    fs::copy_file(fs::path(binary) / "bin" / "Localize_cn.so", dir / "Localize_cn.so");

    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped(prompts);
    BenchSeams seams(locks.str().c_str());
    bool started = true;
    testsupport::RunInside(ns, [&] {
        PcNICInfo::DeleteInstance();
        CCorvayApp app(&seams);
        started = app.InitInstance();
        PcNICInfo::DeleteInstance();
    });
    EXPECT_FALSE(started);
    EXPECT_FALSE(seams.windowMade);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(std::string(prompts.Boxes()[0].text), "系统至少需要2快有线网卡，请检查网卡是否正常。");
    Configer::DeleteInstance();
    platform::SetProgramDirectory("");
    platform::SetRegistryRoot("");
}

} // namespace
