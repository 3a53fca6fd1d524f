#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/SerialDevice.h"

namespace vantrel {

// Maps the four port slots COM1 … COM4 to devices and creates the device for a
// port name. A slot names a device path (/dev/ttyUSB0, a /dev/serial/by-id
// path) or "sim" / "sim:PROFILE" for the built-in simulated radio. Names that
// are not slots are taken as targets themselves.
class PortRouter final : public DeviceFactory {
public:
    using Maker = std::function<std::unique_ptr<SerialDevice>(const std::string& target)>;

    PortRouter();

    static constexpr int kSlotCount = 4;
    static std::string SlotName(int index);  // 0 → "COM1"
    static std::string DefaultSlotTarget(int index);  // 0 → "/dev/ttyS0"; on Windows "\\.\COM1"
    static bool IsSimTarget(const std::string& target);

    void SetSlotTarget(int index, const std::string& target);
    const std::string& SlotTarget(int index) const;

    // Returns the target a port name reaches ("COM2" → its slot's target).
    std::string Resolve(const std::string& portName) const;

    void SetDeviceMaker(Maker maker) { m_deviceMaker = std::move(maker); }
    void SetSimMaker(Maker maker) { m_simMaker = std::move(maker); }

    std::unique_ptr<SerialDevice> CreateDevice(const std::string& portName, std::string& deviceName) override;

private:
    std::array<std::string, kSlotCount> m_slots;
    Maker m_deviceMaker;
    Maker m_simMaker;
};

}  // namespace vantrel
