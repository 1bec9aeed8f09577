#pragma once
// TemplateDiagDlg: the template test dialog, modeless beside the main dialog for its whole life.

#include "platform/ui/Dialog.h"

class TemplateDiagDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 135;
    explicit TemplateDiagDlg(platform::ui::Window* parent = nullptr) : Dialog(IDD, parent) {}
};
