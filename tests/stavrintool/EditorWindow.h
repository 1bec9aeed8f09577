#pragma once
// What the editors' window tests share: the tool started in a program directory of the test's
// own on the fixture's Terminals.dat, in either language, and the steps an operator takes
// around the editors (typing into a box, saving and leaving through the main dialog).

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/prompt/Prompt.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/stavrintool/ToolWindow.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"

namespace testsupport {

struct ToolLanguage {
    const char* name;
    const char* mainCaption; // UTF-8
    const char* addCaption;
    const char* editorCaption;
    const char* functionsCaption;
};

inline void PrintTo(const ToolLanguage& language, std::ostream* out) {
    *out << language.name;
}

inline const ToolLanguage kToolLanguages[] = {
    {"cn", u8"Tellvane Modem模板管理工具 V3.0", u8"增加设备模板", u8"修改设备模板", u8"模板函数"},
    {"en", "Tellvane Modem Template Manager V3.0", "Add device template", "Edit device template",
     "Template functions"},
};

// The packs, the fixture's template file and the language in dir.
inline void WriteToolDir(const std::filesystem::path& dir, const std::string& language) {
    for (const char* pack : {"StavrinToolLocalize_cn.so", "StavrinToolLocalize_en.so"})
        std::filesystem::create_symlink(BuildProgramDir() / pack, dir / pack);
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(ToolFixture()));
    WriteFileBytes(dir / "Config.ini", "[System]\r\nLanguage=" + language + "\r\n");
}

// One run of the tool under an X server of its own: the program directory written for the
// language, its boxes on the screen, the start-up ready to be queued (tool.Start()).
struct ToolSession {
    ToolSession(const ToolLanguage& language, const char* dirName) : dir(dirName) {
        WriteToolDir(dir.path(), language.name);
    }
    UiTestDriver ui;
    TempDir dir;
    ProgramDirScope programDir{dir.path()};
    platform::ui::WindowPrompts prompts;
    platform::ScopedPromptService usePrompts{prompts};
    ToolWindow tool{dir.path()};
};

inline bool WaitForCaption(UiTestDriver& ui, const std::string& caption) {
    return ui.WaitUntil([&] { return ui.ActiveCaption() == caption; });
}

// A click into the box, the caret to the end of what it holds, then the keys.
inline void TypeInto(UiTestDriver& ui, int id, const std::string& text) {
    constexpr int kEndKey = 312; // the toolkit's own code, passed through
    ui.Click(id);
    ui.Key(kEndKey);
    ui.Type(text);
}

// Save on the main dialog (its box answered), then Close (confirmed): the program ends.
inline void SaveAndLeave(UiTestDriver& ui, ToolWindow& tool, const std::string& mainCaption) {
    ASSERT_TRUE(ui.Click(1));
    ASSERT_TRUE(WaitForCaption(ui, "StavrinTool"));
    ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
    ASSERT_TRUE(WaitForCaption(ui, mainCaption));
    ASSERT_TRUE(ui.Click(2));
    ASSERT_TRUE(WaitForCaption(ui, "StavrinTool"));
    ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
    ASSERT_TRUE(ui.WaitUntil([&] { return tool.ended.load(); }));
}

} // namespace testsupport
