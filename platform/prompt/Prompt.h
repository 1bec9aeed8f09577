#pragma once
// Every message box of the engine goes through one prompt service: the windowed program puts
// its own in place, tests put a recorder, and without a window system the default writes the
// text to stderr and gives the safe answer (OK for a plain notice, No or Cancel for a question).

#include <deque>
#include <mutex>
#include <vector>

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

namespace platform {

// Box types and answers with the platform's values.
constexpr unsigned kMbOk = 0x0, kMbOkCancel = 0x1, kMbYesNoCancel = 0x3, kMbYesNo = 0x4, kMbRetryCancel = 0x5;
constexpr unsigned kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30,
                   kMbIconInformation = 0x40;
constexpr int kIdOk = 1, kIdCancel = 2, kIdRetry = 4, kIdYes = 6, kIdNo = 7;

class PromptService {
public:
    virtual ~PromptService() = default;
    // Shows the box and returns the answer; may be called from any thread.
    virtual int MessageBox(const CString& text, const CString& caption, unsigned type) = 0;
    // Lets the user pick one of the items; its index, or -1 when none was chosen. Nobody to
    // ask chooses none.
    virtual int ChooseItem(const CString& text, const CString& caption, const CStringArray& items);
};

// The answer a box gets when nobody can be asked.
int SafeAnswer(unsigned type);

// The service in use; SetPromptService(nullptr) restores the default.
PromptService& Prompts();
void SetPromptService(PromptService* service);

// The console default also hands every box to this sink (the program puts its log here), so a
// box that nobody sees is still on record; none until set.
using PromptLogSink = void (*)(const CString& text, const CString& caption, unsigned type);
void SetConsolePromptLog(PromptLogSink sink);

inline int ShowMessageBox(const CString& text, const CString& caption, unsigned type = kMbOk) {
    return Prompts().MessageBox(text, caption, type);
}

// Records every box and answers from a queue (the safe answer when the queue is empty).
class RecordingPromptService : public PromptService {
public:
    struct Shown {
        CString text, caption;
        unsigned type;
    };
    int MessageBox(const CString& text, const CString& caption, unsigned type) override;
    // Recorded as a box of type kChooseItem whose text is the text, then the items, one a line.
    int ChooseItem(const CString& text, const CString& caption, const CStringArray& items) override;
    // Answers the boxes in order; the choices come from their own queue (-1 when empty).
    void QueueAnswer(int answer);
    void QueueChoice(int index);
    static constexpr unsigned kChooseItem = 0xFFFF;
    std::vector<Shown> Boxes() const;
    size_t Count() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Shown> m_shown;
    std::deque<int> m_answers;
    std::deque<int> m_choices;
};

// Puts a service in place for one scope (tests).
class ScopedPromptService {
public:
    explicit ScopedPromptService(PromptService& service) { SetPromptService(&service); }
    ~ScopedPromptService() { SetPromptService(nullptr); }
    ScopedPromptService(const ScopedPromptService&) = delete;
    ScopedPromptService& operator=(const ScopedPromptService&) = delete;
};

} // namespace platform
