#include "kv_analytics/send_status.h"

namespace kv_analytics {
namespace {
bool g_lastSendOk = false;
}

std::mutex& DispatchMutex() {
    static std::mutex mutex;
    return mutex;
}

bool LastSendOk() {
    std::lock_guard lock(DispatchMutex());
    return g_lastSendOk;
}

void StoreLastSendOk(bool ok) {
    std::lock_guard lock(DispatchMutex());
    g_lastSendOk = ok;
}

}  // namespace kv_analytics
