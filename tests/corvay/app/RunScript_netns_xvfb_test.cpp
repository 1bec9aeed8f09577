// Whole corvay processes on the simulated bench under Xvfb, from the built tree: the README's
// main command without a display (F3, the end box pictured and answered, corvay closed), a
// second start beside a running one (the first then ended by SIGTERM), and the upgrade chooser of F11.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/NetNamespace.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class WholeProgram : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        const char* source = std::getenv("CORVAY_SOURCE_DIR");
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        ASSERT_TRUE(source && binary);
        m_source = source;
        m_binary = binary;
        if (std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v "
                        "import >/dev/null") != 0)
            GTEST_SKIP() << "Xvfb, xdotool or ImageMagick missing";
        fs::create_directories(m_binary / "screenshots");
    }

    // Runs the words without a display and with a lock directory of its own (another corvay on
    // this machine is not these ones' first); its exit status, what it printed in 'printed'.
    int Run(const std::string& words, const std::string& name, std::string& printed) {
        const fs::path output = m_binary / (name + ".out");
        const std::string command = "env -u DISPLAY timeout 480 unshare --mount --propagation private sh -c "
                                    "'mount -t tmpfs corvay-lock /run/lock && exec \"$0\" \"$@\"' " +
                                    words + " >'" + output.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        printed = ReadAll(output);
        return status;
    }

    // A fixture script of tests/corvay/app/fixtures run by corvay-bench in the PC's namespace with
    // the bench's directory <build>/<name>, the build tree and 'scriptArgs'; the picture it is to
    // take, <build>/screenshots/<picture>.png, removed first. Its exit status, as Run.
    int RunFixture(const std::string& name, const std::string& benchArgs, const std::string& script,
                   const std::string& scriptArgs, const std::string& picture, std::string& printed) {
        const fs::path dir = m_binary / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        m_picture = m_binary / "screenshots" / (picture + ".png");
        fs::remove(m_picture);
        return Run("'" + (m_binary / "bin" / "corvay-bench").string() + "' " + benchArgs + " --dir '" +
                       dir.string() + "' -- '" +
                       (m_source / "tests" / "corvay" / "app" / "fixtures" / script).string() + "' {dir} '" +
                       m_binary.string() + "' " + scriptArgs,
                   name, printed);
    }

    fs::path m_source, m_binary, m_picture;
};

using RunScript = WholeProgram;
using CorvayAppInstances = WholeProgram;
using CorvayAppUpgrade = WholeProgram;

TEST_F(RunScript, HeadlessRunTestsTheBenchAndPicturesTheEndBox) {
    const fs::path picture = m_binary / "screenshots" / "run.png";
    fs::remove(picture);
    std::string printed;
    ASSERT_EQ(Run("'" + (m_source / "scripts" / "run").string() + "' --no-build --headless --build '" +
                      m_binary.string() + "'",
                  "run", printed),
              0)
        << printed;
    EXPECT_TRUE(fs::is_regular_file(picture));
    EXPECT_GT(fs::file_size(picture), 0u);
    // The last line is the picture's path.
    EXPECT_NE(printed.find(picture.string() + "\n"), std::string::npos) << printed;
    std::string log;
    for (const auto& entry : fs::directory_iterator(m_binary / "run"))
        if (entry.path().extension() == ".txt" && entry.path().filename().string().rfind("log", 0) == 0)
            log += ReadAll(entry.path());
    EXPECT_NE(log.find("测试完成，详情请看表格。"), std::string::npos);
    EXPECT_NE(log.find("Super logger has exited."), std::string::npos) << "corvay was not closed in order";
}

TEST_F(CorvayAppInstances, ASecondStartSaysSoAndEndsWhileTheFirstRunsOnUntilSigtermClosesIt) {
    std::string printed;
    // The script waits for the second one's box "程序已经在运行！" in the log.
    ASSERT_EQ(
        RunFixture("instances", "--modems 2", "two-corvays.sh", "", "CorvayApp_second_instance", printed), 0)
        << printed;
    EXPECT_NE(printed.find("first runs on"), std::string::npos) << printed;
    EXPECT_NE(printed.find("first closed at SIGTERM"), std::string::npos) << printed;
    EXPECT_TRUE(fs::is_regular_file(m_picture));
}

// Two rules match the modem's version: F11 opens the chooser through the program's own prompt
// service, and the second version chosen there is the one the modem comes back with.
TEST_F(CorvayAppUpgrade, TwoMatchingRulesOpenTheChooserAndTheChosenVersionIsFlashed) {
    std::string printed;
    ASSERT_EQ(
        RunFixture("upgrade-chooser",
                   "--modems 1 --rule V1.0=V2.0 --rule V1.0=V3.0 --upgrade --reboot 1000 --wait-connect 3000",
                   "upgrade-chooser.sh", "V3.0", "CorvayApp_upgrade_chooser_second", printed),
        0)
        << printed;
    EXPECT_NE(printed.find("upgraded to V3.0"), std::string::npos) << printed;
    EXPECT_TRUE(fs::is_regular_file(m_picture));
}

} // namespace
