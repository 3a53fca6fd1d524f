#pragma once

#include "platform/Clock.h"
#include "platform/SerialDevice.h"

namespace vantrel {

// The process-wide clock and device factory that everything below the front
// ends uses. A front end (or a test) installs them with a ScopedRuntime; until
// then the real clock and a factory that opens nothing are in place.
Clock& CurrentClock();
DeviceFactory& CurrentDevices();

class ScopedRuntime {
public:
    ScopedRuntime(Clock& clock, DeviceFactory& devices);
    ~ScopedRuntime();
    ScopedRuntime(const ScopedRuntime&) = delete;
    ScopedRuntime& operator=(const ScopedRuntime&) = delete;

private:
    Clock* m_prevClock;
    DeviceFactory* m_prevDevices;
};

}  // namespace vantrel
