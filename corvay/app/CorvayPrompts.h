#pragma once
// The program's prompt service: the window layer's boxes, each also in the log (what a line's
// operator answered is found there afterwards), and the choice of one upgrade among several
// asked by a job thread, answered in CChoseVersionDlg on the UI thread while the job waits for
// the index.
//
// How the program binds to it: after Application::Start,
//     CorvayPrompts prompts;  platform::SetPromptService(&prompts);

#include "platform/ui/WindowPrompts.h"

class CorvayPrompts : public platform::ui::WindowPrompts {
public:
    int MessageBox(const CString& text, const CString& caption, unsigned type) override;
    // text: the modem's current version; items: the candidates, each "name" or "name\tpath"
    // (one row each). The chosen row's index, or -1 when the user cancels or nobody can be asked.
    int ChooseItem(const CString& text, const CString& caption, const CStringArray& items) override;
};
