#include "platform/PortProbe.h"

#include "platform/Runtime.h"

namespace vantrel {

PortProbeResult ProbeSerialPort(const std::string& portName)
{
    std::string deviceName;
    std::unique_ptr<SerialDevice> device = CurrentDevices().CreateDevice(portName, deviceName);
    if (!device) return PortProbeResult::Missing;
    const OpenResult result = device->Probe(deviceName);
    if (result.Ok()) return PortProbeResult::Opens;
    return result.error == OpenError::NoSuchDevice ? PortProbeResult::Missing : PortProbeResult::Busy;
}

} // namespace vantrel
