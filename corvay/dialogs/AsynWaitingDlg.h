#pragma once
// AsynWaitingDlg: the one process-wide modeless "Please wait..." box (resource 163, static
// 1036), shown and hidden around long operations from any thread; the box itself lives on the
// UI thread.

#include <functional>
#include <memory>

#include "platform/text/CString.h"
#include "platform/ui/Dialog.h"

// What the single-instance rules need of the box.
class WaitingBox {
public:
    virtual ~WaitingBox() = default;
    virtual bool Create(platform::ui::Window* parent) = 0;
    virtual bool HasWindow() const = 0;
    virtual void Present(const CString& text) = 0; // text, centre on the parent, show, repaint
    virtual void Conceal() = 0;
};

// The single instance and its rules: made when none exists or its window is gone (a windowless
// one deleted first), reused while hidden.
class AsynWaitingControl {
public:
    using Factory = std::function<std::unique_ptr<WaitingBox>(platform::ui::Window* parent)>;
    explicit AsynWaitingControl(Factory factory) : m_factory(std::move(factory)) {}

    void Show(platform::ui::Window* parent, const CString& text);
    void Hide();
    WaitingBox* Instance() const { return m_instance.get(); }
    void Reset() { m_instance.reset(); }

private:
    Factory m_factory;
    std::unique_ptr<WaitingBox> m_instance;
};

class AsynWaitingDlg : public platform::ui::Dialog, public WaitingBox {
public:
    static constexpr int IDD = 163;
    static constexpr int kText = 1036;

    explicit AsynWaitingDlg(platform::ui::Window* parent);

    // Process-wide, from any thread (carried to the UI thread).
    static void Show(platform::ui::Window* parent, const CString& text);
    static void Hide();
    // The instance (UI thread), null when none; Destroy deletes it (the program's end).
    static AsynWaitingDlg* Instance();
    static void Destroy();

    bool Create(platform::ui::Window* parent) override;
    bool HasWindow() const override { return Dialog::HasWindow(); }
    void Present(const CString& text) override;
    void Conceal() override;
    const CString& Text() const { return m_text; }

protected:
    bool OnInitDialog() override;

private:
    CString m_text = "Please wait...";
};
