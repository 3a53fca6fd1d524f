#include "sim/SimBench.h"

#include "platform/Files.h"
#include "sim/SimProfiles.h"
#include "sim/SimSerialDevice.h"
#include "sim/SimStateFile.h"

#include <cstdio>

namespace vantrel {
namespace {

bool FileExists(const std::string& path)
{
    std::FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

std::string KnownProfiles()
{
    std::string list;
    for (const auto& name : SimProfileNames())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

} // namespace

bool SimBench::SetFaults(const std::string& text, std::string& error)
{
    SimFaultPlan plan;
    if (!ParseSimFaults(text, plan, error)) return false;
    m_faults = plan;
    return true;
}

std::string SimBench::ProfileOf(const std::string& target)
{
    const auto colon = target.find(':');
    if (colon == std::string::npos || colon + 1 == target.size()) return kSimDefaultProfile;
    return target.substr(colon + 1);
}

std::shared_ptr<SimLine> SimBench::LineFor(const std::string& target, std::string& error)
{
    // With a state file there is one radio, whatever the target says.
    const std::string key = m_statePath.empty() ? ProfileOf(target) : std::string("state");
    if (const auto it = m_lines.find(key); it != m_lines.end()) return it->second;

    SimRadioConfig config;
    if (!m_statePath.empty() && FileExists(m_statePath)) {
        if (!LoadSimState(m_statePath, config.profile, config.state, error)) return nullptr;
    } else if (!MakeSimProfile(ProfileOf(target), config)) {
        error = "no simulated radio \"" + ProfileOf(target) + "\" (known: " + KnownProfiles() + ")";
        return nullptr;
    }
    auto radio = std::make_unique<SimRadio>(std::move(config));
    radio->SetFaults(m_faults);
    auto line = std::make_shared<SimLine>(m_clock, std::move(radio));
    line->SetAdapter(m_adapter);
    m_operator.Watch(line);
    m_lines.emplace(key, line);
    return line;
}

namespace {

// Stands in for a simulated radio that could not be made: every open fails with the reason.
class UnavailableSimDevice final : public SerialDevice {
public:
    explicit UnavailableSimDevice(std::string reason) : m_reason(std::move(reason)) {}
    OpenResult Open(const std::string&) override { return OpenResult{OpenError::NoSuchDevice, m_reason}; }
    bool IsOpen() const override { return false; }
    void Close() override {}
    bool SetQueueSizes(uint32_t, uint32_t) override { return false; }
    bool Purge(unsigned) override { return false; }
    bool SetReadLimits(const ReadLimits&) override { return false; }
    bool GetLineSettings(LineSettings&) override { return false; }
    bool SetLineSettings(const LineSettings&) override { return false; }
    bool GetStatus(LineStatus&) override { return false; }
    int Read(uint8_t*, uint32_t) override { return -1; }
    int Write(const uint8_t*, uint32_t) override { return -1; }
    void WaitForActivity(uint32_t) override {}

private:
    std::string m_reason;
};

} // namespace

PortRouter::Maker SimBench::Maker()
{
    return [this](const std::string& target) -> std::unique_ptr<SerialDevice> {
        std::string error;
        auto line = LineFor(target, error);
        if (!line) return std::make_unique<UnavailableSimDevice>(error);
        return std::make_unique<SimSerialDevice>(line);
    };
}

bool SimBench::SaveState(std::string& error)
{
    if (m_statePath.empty()) return true;
    const auto it = m_lines.find("state");
    if (it == m_lines.end()) return true; // never used: the file stays as it was
    SimLine& line = *it->second;
    line.Sync();
    return SaveSimState(m_statePath, line.Radio().Profile(), line.Radio().State(), error);
}

} // namespace vantrel
