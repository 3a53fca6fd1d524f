#include "platform/StopRequest.h"

#include <csignal>

namespace vantrel {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];
struct sigaction g_previous[kStopSignalCount];

extern "C" void OnStopSignal(int)
{
    RequestStop();
}

} // namespace

ScopedStopSignals::ScopedStopSignals()
{
    ClearStopRequest();
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait at the terminal ends at once. The handler is
    // reset by the first signal, so a second one ends the program.
    action.sa_flags = SA_RESETHAND;
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i], &action, &g_previous[i]);
}

ScopedStopSignals::~ScopedStopSignals()
{
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i], &g_previous[i], nullptr);
    ClearStopRequest();
}

} // namespace vantrel
