// The result dialog's texts of one port.

#include <gtest/gtest.h>

#include "corvay/dialogs/ResultDlg.h"
#include "engine/log/StringTable.h"

namespace {

TEST(ResultDlg, TextsOfThePortAtTheMomentTheDialogIsBuilt) {
    DslamConfig dslam;
    struct Case {
        int dsl, up, down;
        const char* link;
        const char* upText;
        const char* downText;
    } cases[] = {
        {1, 1024, 8192, "Link Up", "1024", "8192"},
        {2, 0, 0, "Link Down", "", ""},
        {0, 0, 512, "未知", "", "512"},
        {7, 0, 0, "未知", "", ""},
    };
    for (const Case& c : cases) {
        TestInfo info(5);
        info.Update([&](TestInfo::Data& d) {
            d.Modem.DslStatus = c.dsl;
            d.Modem.UpRate = c.up;
            d.Modem.DownRate = c.down;
            d.Modem.FirmwareVersion = "V2.1.0";
        });
        ResultTexts t = ResultTexts::From(info, dslam);
        EXPECT_EQ(std::string(t.port), "5");
        EXPECT_EQ(std::string(t.firmware), "V2.1.0");
        EXPECT_EQ(std::string(t.upRate), c.upText) << c.dsl;
        EXPECT_EQ(std::string(t.downRate), c.downText) << c.dsl;
        EXPECT_EQ(std::string(t.link), c.link) << c.dsl;
        EXPECT_EQ(std::string(t.result), std::string(info.GetResultText(dslam)));
        // Later changes of the record do not reach texts already taken.
        info.Update([](TestInfo::Data& d) { d.Modem.FirmwareVersion = "V9"; });
        EXPECT_EQ(std::string(t.firmware), "V2.1.0");
    }
}

} // namespace
