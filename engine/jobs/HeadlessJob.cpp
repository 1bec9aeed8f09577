#include "engine/jobs/HeadlessJob.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/config/Configer.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "engine/records/PortRow.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchPort.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/Gbk.h"

namespace {

// Answers as the operator asked on the command line, and tells every box on stderr.
class CommandLinePrompts : public platform::PromptService {
public:
    CommandLinePrompts(const HeadlessOptions& options, std::FILE* errors)
        : m_options(options), m_errors(errors) {}
    int MessageBox(const CString& text, const CString& caption, unsigned type) override {
        int answer = platform::SafeAnswer(type);
        if (m_options.answerYes &&
            ((type & 0xF) == platform::kMbYesNo || (type & 0xF) == platform::kMbYesNoCancel))
            answer = platform::kIdYes;
        Tell(caption, text, answer);
        return answer;
    }
    int ChooseItem(const CString& text, const CString& caption, const CStringArray& items) override {
        const int choice =
            m_options.choice >= 0 && m_options.choice < items.GetSize() ? m_options.choice : -1;
        CString all = text;
        for (const CString& item : items)
            all += " / " + item;
        Tell(caption, all, choice);
        return choice;
    }

private:
    void Tell(const CString& caption, const CString& text, int answer) {
        std::lock_guard lock(m_mutex);
        std::fprintf(m_errors, "[%s] %s -> %d\n", GbkToUtf8(caption).c_str(), GbkToUtf8(text).c_str(),
                     answer);
        std::fflush(m_errors);
    }
    const HeadlessOptions& m_options;
    std::FILE* m_errors;
    std::mutex m_mutex;
};

// A tested port's verdict: its row's icon, but in the upgrade job, whose row shows only the
// identification, the upgrade itself when one was made (a declined or needless one stays as the
// row shows it).
PortVerdict VerdictOf(TestInfo& info, const DslamConfig& dslam, int mode) {
    if (mode == Tester::Mode_Upgrade) {
        const int status = info.Get().Modem.Status;
        if (status == 1)
            return PortVerdict::Pass;
        if (status == 2)
            return PortVerdict::Fail;
    }
    return VerdictOfIcon(PortRowOf(info, dslam).icon);
}

std::string OneLine(const CString& text) {
    CString line = text;
    line.Replace("\r\n", " | ");
    return GbkToUtf8(line);
}

} // namespace

int RunHeadlessJob(const HeadlessOptions& options, std::FILE* out, std::FILE* errors,
                   const std::atomic<bool>* stop) {
    if (options.mode == Tester::Mode_Wifi) {
        std::fputs(kHeadlessNoWireless, errors);
        return kJobAborted;
    }
    CommandLinePrompts prompts(options, errors);
    platform::ScopedPromptService scoped(prompts);
    int code = kJobAborted;
    {
        TestStartOptions startOptions = options.start;
        if (!startOptions.stop)
            startOptions.stop = stop;
        TestStart start(startOptions);
        CString error;
        if (!start.Prepare(error)) {
            std::fprintf(errors, "corvay-headless: %s\n", GbkToUtf8(error).c_str());
            return start.Stopped() ? kJobStopped : kJobAborted;
        }
        const int portCount = start.PortCount();
        const SwitchConfig switchConfig = Configer::GetInstance()->GetSwitchConfig();
        RecordingViewSink view(portCount);
        std::vector<std::unique_ptr<PingPort>> pingPorts;
        std::vector<PingPort*> pingList;
        for (int p = 1; p <= portCount; ++p) {
            pingPorts.push_back(std::make_unique<PingPort>(p));
            pingList.push_back(pingPorts.back().get());
        }
        view.SetPingPortList(pingList);
        view.SetLinkUpPorts(start.LinkUpPorts());
        std::vector<int> tested;
        for (SwitchPort* port : start.LinkUpPorts())
            tested.push_back(port->GetPortNo());

        {
            Tester tester(&view, options.mode);
            tester.SetEnvironment(start.Environment());
            tester.Start();
            while (!view.WaitFor(WM_TEST_FINISHED, std::chrono::milliseconds(100)))
                if (stop && stop->load())
                    tester.Stop();
            for (const auto& entry : view.Entries())
                if (entry.message == WM_TEST_FINISHED)
                    code = static_cast<int>(entry.wParam);
        }

        // The end states, as the view sets them when the job has ended.
        const DslamConfig dslam = Configer::GetInstance()->GetSystemConfig().Dslam;
        bool anyFailed = false;
        for (int p = 1; p <= portCount; ++p) {
            if (p == switchConfig.TrunkPortNo)
                continue;
            TestInfo* info = view.GetTestInfo(p);
            const bool wasTested = std::find(tested.begin(), tested.end(), p) != tested.end();
            CString result = LoadStringId(108);
            PortVerdict verdict = PortVerdict::Untested;
            if (wasTested) {
                info->Update([&](TestInfo::Data& d) {
                    d.EndState = code;
                    d.TestMode = options.mode;
                });
                result = info->GetResultText(dslam);
                verdict = VerdictOf(*info, dslam, options.mode);
            }
            anyFailed = anyFailed || verdict == PortVerdict::Fail;
            const TestInfo::Data data = info->Get();
            std::fprintf(out, "port %d\t%s\t%s\t%s\t%s\n", p, OneLine(data.Modem.Model).c_str(),
                         OneLine(data.Modem.GetSummaryText()).c_str(), OneLine(result).c_str(),
                         VerdictName(verdict));
        }
        std::fflush(out);
        if (code == kJobFinished && anyFailed)
            code = kHeadlessPortFailed;
    }
    return code;
}
