// The capture dialogs' rules without windows: the panels' arming and navigation, the log-in's
// parameterisation, the upgrade dialog's file-control find and the editor's capture outcomes.

#include <gtest/gtest.h>

#include <vector>

#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CaptureModels.h"
#include "tests/stavrintool/ModelFixture.h"

using capture::PanelCapture;

namespace {

CapturedRequest Post(const char* action, const char* body) {
    return CapturedRequest{action, "Content-Type: application/x-www-form-urlencoded\r\n", body, true};
}

} // namespace

TEST(RequestCapturePanel, ArmsForPlainPagesRefusesHttpsAndTakesOneCapture) {
    PanelCapture panel;
    EXPECT_EQ(panel.OnNavigating("http://192.168.1.1/login.cgi"), PanelCapture::Navigating::kIgnore);
    panel.SetArmed(true);
    EXPECT_EQ(panel.OnNavigating("http://192.168.1.1/login.cgi"), PanelCapture::Navigating::kArm);
    EXPECT_EQ(panel.OnNavigating("HTTPS://192.168.1.1/login.cgi"), PanelCapture::Navigating::kRefused);
    EXPECT_EQ(panel.OnNavigating("res://120/"), PanelCapture::Navigating::kIgnore);

    ASSERT_TRUE(panel.OnCaptured(Post("/login.cgi", "u=a")));
    EXPECT_TRUE(panel.IsCaptured());
    EXPECT_FALSE(panel.IsArmed());
    // A second submission is not taken until armed again; the first stays.
    EXPECT_FALSE(panel.OnCaptured(Post("/other.cgi", "x=1")));
    EXPECT_EQ(panel.Request().action, "/login.cgi");
    EXPECT_EQ(panel.OnNavigating("http://192.168.1.1/"), PanelCapture::Navigating::kIgnore);
}

TEST(RequestCapturePanel, ReportsOnlyNewAddressesOfTheModem) {
    PanelCapture panel;
    EXPECT_FALSE(panel.OnLoaded("res://120/"));
    EXPECT_FALSE(panel.OnLoaded("about:blank"));
    EXPECT_TRUE(panel.OnLoaded("http://192.168.1.1/"));
    EXPECT_EQ(panel.address, "http://192.168.1.1/");
    EXPECT_FALSE(panel.OnLoaded("http://192.168.1.1/"));
    EXPECT_TRUE(panel.OnLoaded("http://192.168.1.1/main.html"));
}

TEST(RequestCapturePanel, UploadBodyMustCarryAPartOfTheControlsName) {
    const char* named = "--b\r\nContent-Disposition: form-data; name=\"fw\"; filename=\"a.bin\"\r\n\r\nX\r\n--b--\r\n";
    const char* other = "--b\r\nContent-Disposition: form-data; name=\"file\"; filename=\"fw\"\r\n\r\nX\r\n--b--\r\n";
    for (auto [body, names] : std::vector<std::pair<const char*, bool>>{{named, true}, {other, false}}) {
        PanelCapture panel;
        panel.SetFileControl("fw");
        panel.SetArmed(true);
        ASSERT_TRUE(panel.OnCaptured(Post("/upgrade.cgi", body)));
        EXPECT_EQ(panel.BodyNamesControl(), names) << body;
    }
    PanelCapture unnamed;
    unnamed.SetArmed(true);
    unnamed.OnCaptured(Post("/upgrade.cgi", named));
    EXPECT_FALSE(unnamed.BodyNamesControl());
}

class RequestCaptureDialogs : public testsupport::ToolModelTest {
protected:
    // The boxes shown since the last look were exactly one of that text.
    bool Said(unsigned id) {
        const std::vector<std::string> boxes = TakeBoxes();
        return boxes.size() == 1 && boxes[0] == stavrin::ToolString(id).str();
    }
};

TEST_F(RequestCaptureDialogs, BrowserCaptionNamesTheKind) {
    capture::FuncBrowserModel model;
    EXPECT_EQ(capture::DefaultModemUrl(), "http://192.168.1.1/");
    model.SetFunctionKind(2);
    EXPECT_EQ(model.Caption(), stavrin::ToolString(stavrin::kIdsCaptureCaption) + "reboot");
    model.SetFunctionKind(7);
    EXPECT_EQ(model.Caption(), stavrin::ToolString(stavrin::kIdsCaptureCaption));
}

TEST_F(RequestCaptureDialogs, LoginIsParameterisedInTheActionElseThePostData) {
    struct Case {
        CapturedRequest captured;
        const char *action, *post;
        bool found;
    } cases[] = {
        // Both fields carry the preset: the user name is replaced first.
        {Post("/login.cgi", "user=tolva&pass=tolva&x=1"), "/login.cgi", "user=<username>&pass=<userpassword>&x=1", true},
        // In the query: the post data stays as captured.
        {CapturedRequest{"/login.cgi?u=tolva&p=tolva", "", "keep=tolva", false}, "/login.cgi?u=<username>&p=<userpassword>",
         "keep=tolva", true},
        // Neither: the captured data kept, string 139.
        {Post("/login.cgi", "user=admin&pass=x"), "/login.cgi", "user=admin&pass=x", false},
    };
    for (const Case& c : cases) {
        capture::LoginFuncModel model(prompts);
        model.SetRequest(c.captured);
        model.Init();
        EXPECT_EQ(model.action, c.action);
        EXPECT_EQ(model.postData, c.post);
        EXPECT_EQ(model.headers, c.captured.headers);
        EXPECT_EQ(Said(stavrin::kIdsNoCredentials), !c.found) << c.action;
    }
}

TEST_F(RequestCaptureDialogs, LoginMethodFollowsTheCaptureAndTheButtons) {
    capture::LoginFuncModel get(prompts);
    get.SetRequest(CapturedRequest{"/login.cgi?u=tolva&p=tolva", "", "", false});
    get.Init();
    EXPECT_TRUE(TakeBoxes().empty());
    EXPECT_EQ(get.capturedMethod, "GET");
    EXPECT_FALSE(get.methodEnabled);
    EXPECT_FALSE(get.Result().isPost);

    capture::LoginFuncModel post(prompts);
    post.SetRequest(Post("/login.cgi", "u=tolva&p=tolva"));
    post.Init();
    EXPECT_TRUE(post.methodEnabled);
    EXPECT_TRUE(post.Result().isPost);
    // Edited by hand, then parameterised again with other credentials.
    post.method = 1;
    post.user = "admin";
    post.password = "secret";
    post.capturedPost = "u=admin&p=secret";
    EXPECT_TRUE(post.Parameterise());
    const CapturedRequest result = post.Result();
    EXPECT_EQ(result.postData, "u=<username>&p=<userpassword>");
    EXPECT_FALSE(result.isPost);
    // An empty password finds nothing and changes nothing.
    post.password = "";
    EXPECT_FALSE(post.Parameterise());
    EXPECT_EQ(post.postData, "u=admin&p=secret");
    EXPECT_TRUE(Said(stavrin::kIdsNoCredentials));
}

TEST(RequestCaptureUpgrade, FileControlFindArmsOnlyWithAName) {
    capture::UpgradeBrowserModel model;
    EXPECT_FALSE(model.OnFileControl("", ""));
    EXPECT_FALSE(model.captureShown);
    EXPECT_TRUE(model.OnFileControl("fw", "/upgrade.html"));
    EXPECT_TRUE(model.captureShown);
    EXPECT_EQ(model.captureChecked, 1);

    struct Case {
        const char *result, *name, *page;
        bool found;
    } cases[] = {
        {"", "", "", false},
        {"1\nfw\nhttp://192.168.1.1/admin/upgrade.html?x=1#top", "fw", "/admin/upgrade.html?x=1", true},
        {"1\n\nhttp://192.168.1.1/up.html", "", "/up.html", true},
    };
    for (const Case& c : cases) {
        const capture::FileControlFind find = capture::ParseFileControlFind(c.result);
        EXPECT_EQ(find.found, c.found) << c.result;
        EXPECT_EQ(find.name, c.name);
        EXPECT_EQ(find.page, c.page);
    }
}
