#pragma once

#include "link/MessageFormat.h"
#include "platform/Clock.h"
#include "sim/SimFaults.h"
#include "sim/SimLine.h"
#include "sim/SimProfiles.h"
#include "sim/SimSerialDevice.h"

#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// One simulated radio on a virtual clock, and the host port it is connected to,
// opened the way the serial port opens it (250 ms between bytes, 1000 ms in all).
struct SimRig {
    VirtualClock clock{1000};
    std::shared_ptr<SimLine> line;
    std::unique_ptr<SimSerialDevice> device;

    explicit SimRig(const std::string& profile = kSimDefaultProfile, const std::string& faults = "");

    SimRadio& Radio() { return line->Radio(); }
    bool Open(uint32_t rate = 9600);
    void SetRate(uint32_t rate);
    // Writes the request message and returns its bytes.
    std::vector<uint8_t> Send(uint8_t opcode, const std::vector<uint8_t>& payload);
    void WriteRaw(const std::vector<uint8_t>& bytes);
    // One read of up to count bytes within the port's limits.
    std::vector<uint8_t> Read(uint32_t count);
    // Sends a request, takes its echo off, and returns everything the radio
    // answered until the line fell silent.
    std::vector<uint8_t> Transact(uint8_t opcode, const std::vector<uint8_t>& payload);
    // Lets virtual time pass.
    void Pass(uint32_t ms);
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values);
// The ACK followed by the reply message, as the radio sends them.
std::vector<uint8_t> AckThen(uint8_t opcode, const std::vector<uint8_t>& payload);

} // namespace vantrel

namespace vantrel {

// A sample loader image: the mark, the flash rate, then code bytes.
std::vector<uint8_t> SampleLoader(uint32_t flashRate, size_t codeBytes = 13);

// Runs the host side of the bootstrap download on a rig whose radio is in
// bootstrap mode: waits for the break, syncs, sends the blocks and checks
// every echo, switches to the flash rate. Returns the byte that came then
// (-1 for none).
int DownloadBootcode(SimRig& rig, const std::vector<uint8_t>& bootcode, uint32_t flashRate);

} // namespace vantrel
