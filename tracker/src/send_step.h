// The send step after each event, shared with the detached send threads.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "tracker/persistence.h"

namespace karvo::tracking {

// What a send thread uses; each thread holds it, so it outlives the tracker if it must.
struct SendContext {
    explicit SendContext(std::shared_ptr<TrackerState> trackerState) : state(std::move(trackerState)) {}

    std::shared_ptr<TrackerState> state;
    std::mutex threadsMutex;
    std::condition_variable threadsDone;
    int runningThreads = 0;
};

// flushNow false: counts one pending record. flushNow true: up to three flushes
// while records are pending. Runs under the process-wide send mutex.
void SendWorker(SendContext& context, bool flushNow);

// Runs SendWorker here after a successful transmission, else on a detached thread.
void SendDispatch(const std::shared_ptr<SendContext>& context, bool flushNow);

// Waits up to `limitMs` for the context's send threads; true when none is left.
bool WaitForSendThreads(SendContext& context, int limitMs);

}  // namespace karvo::tracking
