#pragma once

namespace vantrel {

// A request from outside the operation (Ctrl+C, a terminate signal) to stop it
// at its next safe point: before the next request to the radio or the next
// bootcode block, never inside one. The operation then ends as a failure does,
// closing its ports. Setting it is safe from a signal handler.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

} // namespace vantrel
