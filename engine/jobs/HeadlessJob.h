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

// Runs the job; its end code, or 2 when the test could not start (the reason on 'errors').
// 'stop' may be set from another thread (a signal) to stop the job. Lines are UTF-8:
//   port <n>\t<model>\t<summary>\t<result, its line breaks as " | ">
int RunHeadlessJob(const HeadlessOptions& options, std::FILE* out, std::FILE* errors,
                   const std::atomic<bool>* stop = nullptr);
