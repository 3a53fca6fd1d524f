#include "platform/Runtime.h"

namespace vantrel {
namespace {

class NoDevices final : public DeviceFactory {
public:
    std::unique_ptr<SerialDevice> CreateDevice(const std::string&, std::string&) override { return nullptr; }
};

RealClock g_realClock;
NoDevices g_noDevices;
Clock* g_clock = &g_realClock;
DeviceFactory* g_devices = &g_noDevices;

}  // namespace

Clock& CurrentClock() { return *g_clock; }
DeviceFactory& CurrentDevices() { return *g_devices; }

ScopedRuntime::ScopedRuntime(Clock& clock, DeviceFactory& devices)
    : m_prevClock(g_clock), m_prevDevices(g_devices)
{
    g_clock = &clock;
    g_devices = &devices;
}

ScopedRuntime::~ScopedRuntime()
{
    g_clock = m_prevClock;
    g_devices = m_prevDevices;
}

}  // namespace vantrel
