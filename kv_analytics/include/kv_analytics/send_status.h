// Whether the most recent batch transmission succeeded (the collector answered 200).
// The flag starts false; the batch sender stores into it after every transmission.
// Both sides touch it only under DispatchMutex().
#pragma once

#include <mutex>

namespace kv_analytics {

std::mutex& DispatchMutex();

// Each takes DispatchMutex() for the access.
bool LastSendOk();
void StoreLastSendOk(bool ok);

}  // namespace kv_analytics
