// The README's main command without a display, from the built tree: corvay on the simulated
// bench tests the four modems after F3, the end box is pictured, answered and corvay closed.

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

class RunScript : public testsupport::NetnsTest {};

TEST_F(RunScript, HeadlessRunTestsTheBenchAndPicturesTheEndBox) {
    const char* source = std::getenv("CORVAY_SOURCE_DIR");
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    ASSERT_TRUE(source && binary);
    if (std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import "
                    ">/dev/null") != 0)
        GTEST_SKIP() << "Xvfb, xdotool or ImageMagick missing";
    const fs::path picture = fs::path(binary) / "screenshots" / "run.png";
    fs::remove(picture);
    const fs::path output = fs::path(binary) / "run.out";
    const std::string command = "env -u DISPLAY timeout 300 '" + std::string(source) +
                                "/scripts/run' --no-build --headless --build '" + binary + "' >'" +
                                output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string printed = ReadAll(output);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_TRUE(fs::is_regular_file(picture));
    EXPECT_GT(fs::file_size(picture), 0u);
    // The last line is the picture's path.
    EXPECT_NE(printed.find(picture.string() + "\n"), std::string::npos) << printed;
    std::string log;
    for (const auto& entry : fs::directory_iterator(fs::path(binary) / "run"))
        if (entry.path().extension() == ".txt" && entry.path().filename().string().rfind("log", 0) == 0)
            log += ReadAll(entry.path());
    EXPECT_NE(log.find("测试完成，详情请看表格。"), std::string::npos);
    EXPECT_NE(log.find("Super logger has exited."), std::string::npos) << "corvay was not closed in order";
}

} // namespace
