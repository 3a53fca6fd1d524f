#include "platform/StopRequest.h"

#include <atomic>

namespace vantrel {
namespace {

// Set from a signal handler, or on Windows from the console's own thread.
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free, "a stop request must be safe to set from a signal handler");

} // namespace

void RequestStop()
{
    g_stop.store(1);
}

bool StopRequested()
{
    return g_stop.load() != 0;
}

void ClearStopRequest()
{
    g_stop.store(0);
}

} // namespace vantrel
