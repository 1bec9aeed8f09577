#include "platform/prompt/Prompt.h"

#include <atomic>
#include <cstdio>

#include "platform/text/Gbk.h"

namespace platform {
namespace {

std::atomic<PromptLogSink> g_consoleLog{nullptr};

class ConsolePromptService : public PromptService {
public:
    int MessageBox(const CString& text, const CString& caption, unsigned type) override {
        if (PromptLogSink sink = g_consoleLog.load())
            sink(text, caption, type);
        std::lock_guard lock(m_mutex);
        std::fprintf(stderr, "[%s] %s\n", GbkToUtf8(caption).c_str(), GbkToUtf8(text).c_str());
        return SafeAnswer(type);
    }
    int ChooseItem(const CString& text, const CString& caption, const CStringArray& items) override {
        CString all = text;
        for (const CString& item : items)
            all += "\n  " + item;
        MessageBox(all, caption, kMbOk);
        return -1;
    }

private:
    std::mutex m_mutex;
};

ConsolePromptService g_console;
std::atomic<PromptService*> g_service{nullptr};

} // namespace

int SafeAnswer(unsigned type) {
    switch (type & 0xF) {
    case kMbOkCancel:
    case kMbYesNoCancel:
    case kMbRetryCancel:
        return kIdCancel;
    case kMbYesNo:
        return kIdNo;
    default:
        return kIdOk;
    }
}

PromptService& Prompts() {
    PromptService* service = g_service.load();
    return service ? *service : g_console;
}

void SetPromptService(PromptService* service) {
    g_service.store(service);
}

void SetConsolePromptLog(PromptLogSink sink) {
    g_consoleLog.store(sink);
}

int PromptService::ChooseItem(const CString&, const CString&, const CStringArray&) {
    return -1;
}

int RecordingPromptService::ChooseItem(const CString& text, const CString& caption,
                                       const CStringArray& items) {
    CString all = text;
    for (const CString& item : items)
        all += "\n" + item;
    std::lock_guard lock(m_mutex);
    m_shown.push_back({all, caption, kChooseItem});
    if (m_choices.empty())
        return -1;
    int index = m_choices.front();
    m_choices.pop_front();
    return index;
}

void RecordingPromptService::QueueChoice(int index) {
    std::lock_guard lock(m_mutex);
    m_choices.push_back(index);
}

int RecordingPromptService::MessageBox(const CString& text, const CString& caption, unsigned type) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back({text, caption, type});
    if (m_answers.empty())
        return SafeAnswer(type);
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void RecordingPromptService::QueueAnswer(int answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<RecordingPromptService::Shown> RecordingPromptService::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

size_t RecordingPromptService::Count() const {
    std::lock_guard lock(m_mutex);
    return m_shown.size();
}

} // namespace platform
