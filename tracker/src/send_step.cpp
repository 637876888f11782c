#include "send_step.h"

#include <chrono>
#include <thread>

#include "kv_analytics/sdk.h"
#include "kv_analytics/send_status.h"
#include "utils/log.h"

namespace karvo::tracking {
namespace {

std::mutex& SendMutex() {
    static std::mutex mutex;
    return mutex;
}

bool RecordsWaiting(const TrackerState& state) {
    if (state.pendingCount.load() > 0) return true;
    // Events sent with flush-now are not counted; they must still go out.
    const auto sdk = kv_analytics::Sdk::Instance();
    return sdk && sdk->queue().Size() > 0;
}

}  // namespace

void SendWorker(SendContext& context, bool flushNow) {
    std::lock_guard lock(SendMutex());
    TrackerState& state = *context.state;
    if (!flushNow) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state.pendingCount.fetch_add(1);
        return;
    }
    for (int attempt = 0; attempt < 3 && RecordsWaiting(state); ++attempt) {
        if (kv_analytics::Sdk::Instance() && kv_analytics::Sdk::Flush()) {
            state.pendingCount.store(0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void SendDispatch(const std::shared_ptr<SendContext>& context, bool flushNow) {
    if (kv_analytics::LastSendOk()) {
        SendWorker(*context, flushNow);
        return;
    }
    Utils::OutputDebugText(L"[Tracker] Sending messages asynchronously\n");
    {
        std::lock_guard lock(context->threadsMutex);
        ++context->runningThreads;
    }
    std::thread([context, flushNow] {
        SendWorker(*context, flushNow);
        std::lock_guard lock(context->threadsMutex);
        --context->runningThreads;
        context->threadsDone.notify_all();
    }).detach();
}

bool WaitForSendThreads(SendContext& context, int limitMs) {
    std::unique_lock lock(context.threadsMutex);
    return context.threadsDone.wait_for(lock, std::chrono::milliseconds(limitMs),
                                        [&] { return context.runningThreads == 0; });
}

}  // namespace karvo::tracking
