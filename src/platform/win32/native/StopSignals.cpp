#include "platform/StopRequest.h"

#include <windows.h>

namespace vantrel {
namespace {

// Runs on a thread of its own. The first event asks for the stop; a second
// one falls through to the default handler, which ends the program.
BOOL WINAPI OnConsoleStop(DWORD)
{
    if (StopRequested()) return FALSE;
    RequestStop();
    return TRUE;
}

} // namespace

ScopedStopSignals::ScopedStopSignals()
{
    ClearStopRequest();
    SetConsoleCtrlHandler(OnConsoleStop, TRUE);
}

ScopedStopSignals::~ScopedStopSignals()
{
    SetConsoleCtrlHandler(OnConsoleStop, FALSE);
    ClearStopRequest();
}

} // namespace vantrel
