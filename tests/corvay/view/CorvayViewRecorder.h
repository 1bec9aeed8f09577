#pragma once
// The main view's window for headless tests: keeps the list, the title, the cursor, the
// timers and every dialog run; posted messages wait in a queue that the test delivers on its
// own thread (the test is the UI thread).

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "corvay/view/CCorvayView.h"
#include "engine/records/TestRecords.h"
#include "platform/prompt/Prompt.h"

namespace testsupport {

class CorvayViewRecorder : public CorvayViewWindow {
public:
    struct Row {
        std::string port;
        int image = -1;
        std::string info, result;
    };
    struct Posted {
        unsigned message;
        uintptr_t wParam;
        intptr_t lParam;
        uint64_t serial;
    };

    void InsertColumn(int column, const CString& heading, int width) override {
        if (static_cast<int>(headings.size()) <= column)
            headings.resize(column + 1), widths.resize(column + 1);
        headings[column] = heading.str();
        widths[column] = width;
    }
    void SetColumnWidth(int column, int width) override {
        if (static_cast<int>(widths.size()) <= column)
            widths.resize(column + 1);
        widths[column] = width;
    }
    void SetImages(const std::vector<int>& icons) override { images = icons; }
    void DeleteAllRows() override { rows.clear(); }
    void InsertRow(int row, const CString& text, int image) override {
        rows.insert(rows.begin() + row, Row{text.str(), image, "", ""});
    }
    void SetRowImage(int row, int image) override { rows.at(row).image = image; }
    void SetRowText(int row, int column, const CString& text) override {
        (column == 1 ? rows.at(row).info : rows.at(row).result) = text.str();
    }
    int GetSelectedRow() const override { return selected; }
    int GetClientWidth() const override { return clientWidth; }
    void Repaint() override {}
    bool SetTitle(const CString& title) override {
        titles.push_back(title.str());
        return true;
    }
    void SetCursorState(int state) override { cursor = state; }
    void CloseMainWindow() override { ++closes; }
    void CloseSplash() override { ++splashCloses; }
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial) override {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({message, wParam, lParam, serial});
        m_posted.notify_all();
    }
    void StartTimer(unsigned id, int) override { timers.insert(id); }
    void StopTimer(unsigned id) override { timers.erase(id); }
    bool GetScreenSaverActive(bool& active) override {
        active = screenSaver;
        return true;
    }
    void SetScreenSaverActive(bool active) override { screenSaver = active; }
    void RunWaitingDlg(const CString& text, int ms) override {
        dialogs.push_back("WaitingDlg " + text.str() + " " + std::to_string(ms));
    }
    void RunResultDlg(TestInfo& info) override {
        dialogs.push_back("ResultDlg " + std::to_string(info.GetPort()));
    }
    void RunMyIE(const CString& address) override { dialogs.push_back("MyIE " + address.str()); }
    bool RunSwitchConfigDlg() override {
        dialogs.push_back("SwitchConfigDlg");
        return switchConfigOk;
    }
    void RunDeviceDlg() override { dialogs.push_back("DeviceDlg"); }
    void PopupContextMenu() override { dialogs.push_back("menu 4"); }

    // Delivers what has been posted, in order, until the queue is empty.
    void Pump(CCorvayView& view) {
        for (;;) {
            Posted p;
            {
                std::lock_guard lock(m_mutex);
                if (m_queue.empty())
                    return;
                p = m_queue.front();
                m_queue.pop_front();
            }
            delivered.push_back(p);
            view.OnMessage(p.message, p.wParam, p.lParam, p.serial);
        }
    }
    // Delivers messages as they come until 'done' holds or the time is up; false on time-out.
    bool PumpUntil(CCorvayView& view, const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            {
                std::unique_lock lock(m_mutex);
                m_posted.wait_for(lock, std::chrono::milliseconds(20), [&] { return !m_queue.empty(); });
            }
            Pump(view);
        }
        return true;
    }
    std::vector<Posted> Queued() const {
        std::lock_guard lock(m_mutex);
        return {m_queue.begin(), m_queue.end()};
    }
    std::string Title() const { return titles.empty() ? "" : titles.back(); }

    std::vector<std::string> headings;
    std::vector<int> widths;
    std::vector<int> images;
    std::vector<Row> rows;
    std::vector<std::string> titles;
    std::vector<std::string> dialogs;
    std::vector<Posted> delivered;
    std::set<unsigned> timers;
    int selected = -1;
    int clientWidth = 800;
    int cursor = 0;
    int closes = 0;
    int splashCloses = 0;
    bool screenSaver = true;
    bool switchConfigOk = false;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<Posted> m_queue;
};

// The texts of the boxes shown so far, in order.
inline std::vector<std::string> BoxTexts(const platform::RecordingPromptService& prompts) {
    std::vector<std::string> texts;
    for (const auto& b : prompts.Boxes())
        texts.push_back(b.text.str());
    return texts;
}

} // namespace testsupport
