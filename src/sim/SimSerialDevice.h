#pragma once

#include "platform/SerialDevice.h"
#include "sim/SimLine.h"

#include <memory>
#include <string>

namespace vantrel {

// The port the simulated radio is connected to. Several devices may be made
// for one line (one per CSerialPort), but only one of them can have it open.
class SimSerialDevice final : public SerialDevice {
public:
    explicit SimSerialDevice(std::shared_ptr<SimLine> line) : m_line(std::move(line)) {}
    ~SimSerialDevice() override;

    OpenResult Open(const std::string& name) override;
    bool IsOpen() const override { return m_open; }
    void Close() override;

    bool SetQueueSizes(uint32_t rxBytes, uint32_t txBytes) override;
    bool Purge(unsigned flags) override;
    bool SetReadLimits(const ReadLimits& limits) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool GetStatus(LineStatus& status) override;

    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    void WaitForActivity(uint32_t maxMs) override;
    PortFacts Facts() const override;
    std::vector<std::string> TakeNotes() override;

    SimLine& Line() { return *m_line; }

private:
    std::shared_ptr<SimLine> m_line;
    bool m_open = false;
    ReadLimits m_limits;
    std::vector<std::string> m_notes;
};

} // namespace vantrel
