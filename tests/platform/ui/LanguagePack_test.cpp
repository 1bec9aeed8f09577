// The language packs as built: both languages hold the same ids with the same printf
// conversions, the same dialogs with the same control numbers; the Chinese texts are the
// program's own bytes, and the program's built-in table is the Chinese pack's.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include "engine/log/StringTable.h"
#include "engine/records/TestRecords.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/ui/LanguagePack.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/support/TempDir.h"

namespace {

using platform::ui::LanguagePack;

std::string PackDir() {
    const char* dir = std::getenv("CORVAY_BINARY_DIR");
    return std::string(dir ? dir : "..") + "/bin/";
}

// The printf conversions of a format, in order ("%%" is none).
std::vector<std::string> Conversions(const std::string& format) {
    static const std::regex conversion(
        "%[-+ #0]*[0-9*]*(\\.[0-9*]+)?(hh|h|ll|l|L|j|z|t|I64)?[diouxXeEfgGcsSpn%]");
    std::vector<std::string> found;
    for (std::sregex_iterator it(format.begin(), format.end(), conversion), end; it != end; ++it) {
        std::string c = it->str();
        if (c != "%%")
            found.push_back(c.substr(c.size() - 1));
    }
    return found;
}

// Control numbers of every dialog in an XRC document: dialog name -> numbers.
std::map<std::string, std::set<std::string>> ControlIds(const std::string& xrc) {
    std::map<std::string, std::set<std::string>> dialogs;
    static const std::regex object("<object class=\"(\\w+)\"( name=\"([-0-9]+)\")?");
    std::string current;
    for (std::sregex_iterator it(xrc.begin(), xrc.end(), object), end; it != end; ++it) {
        if ((*it)[1] == "wxDialog" || (*it)[1] == "wxPanel" || (*it)[1] == "wxFrame") {
            current = (*it)[3];
            dialogs[current];
        } else if ((*it)[3].matched) {
            dialogs[current].insert((*it)[3]);
        }
    }
    return dialogs;
}

struct Packs {
    LanguagePack cn, en;
    Packs() {
        EXPECT_TRUE(cn.LoadFile(PackDir() + "Localize_cn.so")) << cn.Error();
        EXPECT_TRUE(en.LoadFile(PackDir() + "Localize_en.so")) << en.Error();
    }
};

TEST(LanguagePack, BothPacksHoldTheSameIdsWithTheSameConversions) {
    Packs packs;
    ASSERT_TRUE(packs.cn.IsLoaded() && packs.en.IsLoaded());
    ASSERT_EQ(packs.cn.StringIds(), packs.en.StringIds());
    for (unsigned id : packs.cn.StringIds()) {
        CString cn, en;
        ASSERT_TRUE(packs.cn.LoadString(id, cn));
        ASSERT_TRUE(packs.en.LoadString(id, en));
        EXPECT_FALSE(en.IsEmpty()) << id;
        // A "%s" where the caller passes an int would crash the program.
        EXPECT_EQ(Conversions(cn.GetString()), Conversions(en.GetString())) << "string " << id;
    }
}

TEST(LanguagePack, BothPacksHoldTheSameDialogsWithTheSameControls) {
    Packs packs;
    ASSERT_EQ(packs.cn.ResourceNames(".xrc"), packs.en.ResourceNames(".xrc"));
    ASSERT_FALSE(packs.cn.ResourceNames(".xrc").empty());
    for (const std::string& name : packs.cn.ResourceNames(".xrc")) {
        auto cn = ControlIds(*packs.cn.Resource(name));
        EXPECT_FALSE(cn.empty()) << name;
        EXPECT_EQ(cn, ControlIds(*packs.en.Resource(name))) << name;
    }
    EXPECT_NE(packs.cn.Resource("program.xpm"), nullptr);
}

TEST(LanguagePack, ChineseTextsAreTheProgramsOwnAndTheBuiltInTableIsThePacks) {
    Packs packs;
    // A sample across the program: engine boxes, view, dialogs, menus' prompts (GBK literals).
    const std::pair<unsigned, const char*> expected[] = {
        {1, "与交换机通讯超时，请检查交换机是否连接正常，并重新启动软件。"},
        {4, "全部"},
        {9, "关闭"},
        {13, "串口%d被其他应用占用，请关闭其他使用串口的软件后重启本软件。"},
        {27, "读配置文件Config.xml出错，请检查配置文件是否正确。"},
        {29, "Ping测试结果：\r\n上行发送%d个大包，包丢失率：%d%%；\r\n上行发送%d个小包，包丢失率：%d%%;\r\n"
             "下行发送%d个大包，包丢失率：%d%%；\r\n下行发送%d个小包，包丢失率：%d%%"},
        {32, "正在测试，不能退出。"},
        {47, "还有%d秒"},
        {48, "Link Up"},
        {49, "Link Down"},
        {50, "未知"},
        {59, "请稍等..."},
        {100, "OLE 初始化失败。请确保 OLE 库是正确的版本。"},
        {127, "确认要删除此记录吗？注意，不会删除磁盘上的版本文件。"},
        {130, "系统至少需要2快有线网卡，请检查网卡是否正常。"},
        {156, "数据库连接失败，确认数据库Tellvane.mdb是否在当前路径下!"},
        {32782, "无法打开网卡%s，可能是WinPcap不支持此网卡，建议更换网卡后重试。"},
        {32819, "启动Ping测试，Ping时间就是标准测试Ping包时间\nPing测试"},
        {57344, "Corvay"},
        {57345, "就绪"},
        {57665, "退出应用程序；提示保存文档\n退出"},
    };
    SetStringSource(nullptr);
    for (const auto& [id, text] : expected) {
        CString packed;
        ASSERT_TRUE(packs.cn.LoadString(id, packed)) << id;
        EXPECT_EQ(std::string(packed), std::string(text)) << "string " << id;
    }
    // Every text of the pack is the built-in one, byte for byte.
    for (unsigned id : packs.cn.StringIds()) {
        CString packed;
        packs.cn.LoadString(id, packed);
        EXPECT_EQ(std::string(LoadStringId(id)), std::string(packed)) << "string " << id;
    }
    // With the English pack as the source, the program reads English.
    SetStringSource(packs.en.StringLookup());
    EXPECT_EQ(std::string(LoadStringId(50)), "Unknown");
    SetStringSource(nullptr);
}

// The bitmap a pack's XRC document names ("memory:<name>"), as the pack holds it.
std::string NamedBitmap(const LanguagePack& pack, const std::string& xrc) {
    static const std::regex bitmap("<bitmap>memory:([^<]+)</bitmap>");
    std::smatch found;
    const std::string* document = pack.Resource(xrc);
    if (!document || !std::regex_search(*document, found, bitmap))
        return "";
    const std::string* image = pack.Resource(found[1]);
    return image ? *image : "";
}

TEST(LanguagePack, TheEnglishPackReadsAsEnglish) {
    Packs packs;
    // Its own splash title, not the Chinese one.
    const std::string cnSplash = NamedBitmap(packs.cn, "SplashDlg.xrc"), enSplash = NamedBitmap(packs.en, "SplashDlg.xrc");
    EXPECT_FALSE(cnSplash.empty());
    EXPECT_FALSE(enSplash.empty());
    EXPECT_NE(enSplash, cnSplash);
    // The progress text, blanks after its punctuation as English has them.
    PingStatistics ping;
    ping.Percent = 10;
    ping.Remaining = 5;
    SetStringSource(packs.en.StringLookup());
    EXPECT_EQ(std::string(ping.GetProgressText()), "Ping test progress: 10%, Time left: 5 s");
    SetStringSource(nullptr);
    EXPECT_EQ(std::string(ping.GetProgressText()), "Ping测试进度：10%,测试剩余时间：5秒");
    // A key shown in brackets after an English word is the Chinese menus' way; in English the
    // key is a letter of the word, or none.
    static const std::regex bracketed("<label>[^<]*\\((&amp;)?[A-Z]\\)</label>");
    for (const std::string& name : packs.en.ResourceNames(".xrc")) {
        const std::string& xrc = *packs.en.Resource(name);
        std::smatch found;
        EXPECT_FALSE(std::regex_search(xrc, found, bracketed)) << name << ": " << found.str();
    }
}

// Left to right as the platform has them: Yes before No, Cancel last; labels of the pack.
TEST(LanguagePack, MessageBoxButtonsInThePlatformsOrderWithThePacksLabels) {
    Packs packs;
    struct Case {
        unsigned type;
        std::vector<int> answers;
        std::vector<std::string> cn, en;
    } cases[] = {
        {platform::kMbOk, {platform::kIdOk}, {"确定"}, {"OK"}},
        {platform::kMbOkCancel, {platform::kIdOk, platform::kIdCancel}, {"确定", "取消"}, {"OK", "Cancel"}},
        {platform::kMbYesNo | platform::kMbIconQuestion, {platform::kIdYes, platform::kIdNo}, {"是", "否"},
         {"&Yes", "&No"}},
        {platform::kMbYesNoCancel, {platform::kIdYes, platform::kIdNo, platform::kIdCancel}, {"是", "否", "取消"},
         {"&Yes", "&No", "Cancel"}},
        {platform::kMbRetryCancel, {platform::kIdRetry, platform::kIdCancel}, {"重试", "取消"}, {"&Retry", "Cancel"}},
    };
    for (const Case& c : cases) {
        std::vector<int> answers;
        std::vector<std::string> cn, en;
        for (const platform::ui::BoxButton& b : platform::ui::MessageBoxButtons(c.type)) {
            answers.push_back(b.answer);
            CString text;
            cn.push_back(packs.cn.LoadString(b.labelId, text) ? text.GetString() : "<missing>");
            en.push_back(packs.en.LoadString(b.labelId, text) ? text.GetString() : "<missing>");
            EXPECT_EQ(en.back(), b.english);
        }
        EXPECT_EQ(answers, c.answers) << c.type;
        EXPECT_EQ(cn, c.cn) << c.type;
        EXPECT_EQ(en, c.en) << c.type;
    }
}

TEST(LanguagePack, AMissingOrForeignPackFailsCleanly) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "Localize_xx.so", "not a library");
    std::filesystem::copy_file(PackDir() + "Localize_cn.so", dir / "Localize_cn.so");
    platform::SetProgramDirectory((dir.str() + "/").c_str());
    struct Case {
        const char* language;
        bool loads;
        const char* error;
    } cases[] = {
        {"cn", true, ""},
        {"de", false, "not found"},
        {"xx", false, "Localize_xx.so"},
    };
    for (const Case& c : cases) {
        LanguagePack pack;
        EXPECT_EQ(pack.Load("Localize_", c.language), c.loads) << c.language;
        EXPECT_EQ(pack.IsLoaded(), c.loads);
        EXPECT_NE(pack.Error().find(c.error), std::string::npos) << pack.Error();
        // Loaded by full path from the program directory, never from the system's search path.
        EXPECT_EQ(pack.Path(), dir.str() + "/Localize_" + c.language + ".so");
        CString text;
        EXPECT_EQ(pack.LoadString(50, text), c.loads);
    }
    // A language that would reach out of the program directory is refused.
    std::filesystem::create_directories(dir / "sub");
    std::filesystem::copy_file(PackDir() + "Localize_cn.so", dir / "sub" / "Localize_cn.so");
    for (const char* language : {"../sub/cn", "x/../cn", "", "a\\b"}) {
        LanguagePack pack;
        EXPECT_FALSE(pack.Load("Localize_", language)) << language;
        EXPECT_NE(pack.Error().find("names no language pack"), std::string::npos) << pack.Error();
    }
    // A library that is no pack.
    LanguagePack foreign;
    EXPECT_FALSE(foreign.LoadFile(PackDir() + "libdunmore.so"));
    EXPECT_NE(foreign.Error().find("no language pack"), std::string::npos) << foreign.Error();
    platform::SetProgramDirectory("");
}

} // namespace
