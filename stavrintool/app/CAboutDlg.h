#pragma once
// CAboutDlg: the tool's about box (its name and version, OK).

#include "platform/ui/Dialog.h"

class CAboutDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 100;
    explicit CAboutDlg(platform::ui::Window* parent = nullptr) : Dialog(IDD, parent) {}

protected:
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        SetIcon("program.xpm");
        return true;
    }
};
