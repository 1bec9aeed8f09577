#pragma once
// What the tool's headless model tests share: the fixture's Terminals.dat loaded into a store of
// their own in a program directory of their own, the cn pack's texts, boxes recorded, and a
// manual clock at a known local noon.

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "templates/TemplateStore.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// 2026-12-10 12:00:00 local time.
inline platform::Clock::Wall::time_point LocalNoon() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 10;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    return platform::Clock::Wall::from_time_t(std::mktime(&local));
}

class ToolModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UseToolPack(pack, "cn"));
        WriteFileBytes(file, TerminalsFile(ToolFixture()));
        ASSERT_TRUE(store.Load());
        ASSERT_EQ(store.GetPath(), file.string().c_str());
    }
    void TearDown() override { stavrin::SetToolStringSource({}); }

    // The texts of the boxes shown so far, then forgotten.
    std::vector<std::string> TakeBoxes() {
        const auto boxes = prompts.Boxes();
        std::vector<std::string> texts;
        for (size_t i = seen; i < boxes.size(); ++i)
            texts.push_back(boxes[i].text.str());
        seen = boxes.size();
        return texts;
    }

    // The two records written as device template files give the same bytes.
    bool SameRecord(const TerminalRecord& a, const TerminalRecord& b) {
        const std::string pathA = dir / "a.tpl", pathB = dir / "b.tpl";
        return store.ExportTerminal(pathA.c_str(), a) && store.ExportTerminal(pathB.c_str(), b) &&
               ReadFileBytes(pathA) == ReadFileBytes(pathB);
    }

    platform::ui::LanguagePack pack;
    TempDir dir{"stavrin-model"};
    std::filesystem::path file = dir / "Terminals.dat";
    ProgramDirScope programDir{dir.path()};
    TemplateStore store;
    platform::RecordingPromptService prompts;
    platform::ManualClock clock{LocalNoon()};
    size_t seen = 0;
};

} // namespace testsupport
