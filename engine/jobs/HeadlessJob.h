#pragma once
// A test job run to its end without windows: the view's start-up steps (TestStart), a job of
// the mode over the link-up ports with a recording view, the end states set as the view sets
// them, and a line per switch port with its number, model, summary and result text.

#include <atomic>
#include <cstdio>

#include "engine/jobs/TestStart.h"

struct HeadlessOptions {
    int mode = 0;
    TestStartOptions start;
    bool answerYes = false; // Yes to every question; otherwise the safe answer
    int choice = -1;        // the item every chooser gets; -1 chooses none
};

// The end when the job finished and a tested port failed.
constexpr int kHeadlessPortFailed = 3;
// Why mode 3 is refused: its operator works in the modem's pages and the test dialog.
constexpr const char* kHeadlessNoWireless =
    "corvay-headless: the wireless test (mode 3) needs the operator's windows; run it in corvay\n";

// Runs the job and returns 0 when it finished and every tested port passed, 3 when it
// finished with a failed port, 1 when it was stopped (also during the start, which then runs no
// job), 2 when it was aborted or the test could not start (the reason on 'errors'). 'stop' may
// be set from another thread (a signal). Lines are UTF-8, one per switch port but the trunk:
//   port <n>\t<model>\t<summary>\t<result, its line breaks as " | ">\t<pass|fail|untested>
// the last being the verdict of the port's row in the view (untested: no ping or wireless
// verdict, or not tested); in the upgrade job a made upgrade's outcome. The wireless test
// (mode 3) is refused at once: 2, no port lines, the reason on 'errors'.
int RunHeadlessJob(const HeadlessOptions& options, std::FILE* out, std::FILE* errors,
                   const std::atomic<bool>* stop = nullptr);
