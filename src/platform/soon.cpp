#include "platform/soon.h"

#include <atomic>

namespace km {

namespace {
// Long enough for any local disk, short enough not to be felt.
std::atomic<long long> g_quickWaitMs {30};
} // namespace

std::chrono::milliseconds QuickWait() { return std::chrono::milliseconds(g_quickWaitMs.load()); }

void SetQuickWait(std::chrono::milliseconds wait) { g_quickWaitMs = wait.count(); }

} // namespace km
