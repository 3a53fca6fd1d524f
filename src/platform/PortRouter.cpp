#include "platform/PortRouter.h"

namespace vantrel {

PortRouter::PortRouter()
{
    for (int i = 0; i < kSlotCount; ++i) m_slots[static_cast<size_t>(i)] = DefaultSlotTarget(i);
}

std::string PortRouter::SlotName(int index) { return "COM" + std::to_string(index + 1); }

std::string PortRouter::DefaultSlotTarget(int index)
{
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(index + 1);
#else
    return "/dev/ttyS" + std::to_string(index);
#endif
}

bool PortRouter::IsSimTarget(const std::string& target)
{
    return target == "sim" || target.rfind("sim:", 0) == 0;
}

void PortRouter::SetSlotTarget(int index, const std::string& target)
{
    if (index >= 0 && index < kSlotCount) m_slots[static_cast<size_t>(index)] = target;
}

const std::string& PortRouter::SlotTarget(int index) const
{
    static const std::string kNone;
    if (index < 0 || index >= kSlotCount) return kNone;
    return m_slots[static_cast<size_t>(index)];
}

std::string PortRouter::Resolve(const std::string& portName) const
{
    for (int i = 0; i < kSlotCount; ++i) {
        if (portName == SlotName(i)) return m_slots[static_cast<size_t>(i)];
    }
    return portName;
}

std::unique_ptr<SerialDevice> PortRouter::CreateDevice(const std::string& portName, std::string& deviceName)
{
    deviceName = Resolve(portName);
    // A name like "COM0" (an unset port index) is no slot and no device path.
    if (deviceName.empty() || (deviceName.rfind("COM", 0) == 0 && deviceName == portName)) return nullptr;
    const Maker& maker = IsSimTarget(deviceName) ? m_simMaker : m_deviceMaker;
    return maker ? maker(deviceName) : nullptr;
}

}  // namespace vantrel
