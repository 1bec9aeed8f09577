// The single "Please wait..." box: made once, reused while hidden, replaced when its window is
// gone, and a hide without any box only warns.

#include <gtest/gtest.h>

#include "corvay/dialogs/AsynWaitingDlg.h"
#include "tests/support/PrivateLog.h"

namespace {

struct Box : WaitingBox {
    static inline int made = 0, alive = 0;
    bool window = false, shown = false, creatable = true;
    CString text;
    Box() {
        ++made;
        ++alive;
    }
    ~Box() override { --alive; }
    bool Create(platform::ui::Window*) override { return window = creatable; }
    bool HasWindow() const override { return window; }
    void Present(const CString& t) override {
        text = t;
        shown = true;
    }
    void Conceal() override { shown = false; }
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(AsynWaitingDlg, OneInstanceReusedWhileHiddenAndReplacedOnceItsWindowIsGone) {
    bool failNext = false;
    AsynWaitingControl control([&](platform::ui::Window*) {
        auto box = std::make_unique<Box>();
        box->creatable = !failNext;
        return box;
    });
    Box::made = Box::alive = 0;
    std::string before = testsupport::LogText();
    control.Hide();
    std::string log = testsupport::LogText().substr(before.size());
    EXPECT_EQ(Count(log, "pAsynWaitingDlg is null,should not hide again."), 1u);

    control.Show(nullptr, "请稍等...");
    auto* first = static_cast<Box*>(control.Instance());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->shown);
    control.Hide();
    control.Hide();
    EXPECT_FALSE(first->shown);
    control.Show(nullptr, "Please wait...");
    EXPECT_EQ(control.Instance(), first) << "a hidden instance is reused";
    EXPECT_EQ(std::string(first->text), "Please wait...");
    EXPECT_EQ(Box::made, 1);

    // Its window gone: the old instance is deleted before the new one is made.
    first->window = false;
    control.Show(nullptr, "x");
    EXPECT_EQ(Box::made, 2);
    EXPECT_EQ(Box::alive, 1);

    // A failed creation leaves no instance.
    static_cast<Box*>(control.Instance())->window = false;
    failNext = true;
    control.Show(nullptr, "y");
    EXPECT_EQ(control.Instance(), nullptr);
    EXPECT_EQ(Box::alive, 0);

    log = testsupport::LogText().substr(before.size());
    EXPECT_EQ(Count(log, "pAsynWaitingDlg is null,should not hide again."), 1u) << "only before any show";
    EXPECT_EQ(Count(log, "new AsynWaitingDlg(pParent)."), 3u);
    EXPECT_EQ(Count(log, "AsynWaitingDlg::Hide()"), 2u);
    EXPECT_EQ(Count(log, "pAsynWaitingDlg->Create(IDD,pParent) failed"), 1u);
}

} // namespace
