#pragma once

namespace vantrel {

// A request from outside the operation (Ctrl+C, a terminate signal) to stop it
// at its next safe point: before the next request to the radio or the next
// bootcode block, never inside one. The operation then ends as a failure does,
// closing its ports. Setting it is safe from a signal handler.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

// While alive, the system's stop requests (Ctrl+C, a terminate signal or a
// hang-up; on Windows Ctrl+C, Ctrl+Break or closing the console) ask the
// running command to stop at its next safe point; a second one ends the
// program at once, as the operator then expects. One at a time.
class ScopedStopSignals {
public:
    ScopedStopSignals();
    ~ScopedStopSignals();
    ScopedStopSignals(const ScopedStopSignals&) = delete;
    ScopedStopSignals& operator=(const ScopedStopSignals&) = delete;
};

} // namespace vantrel
