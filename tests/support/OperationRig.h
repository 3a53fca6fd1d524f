#pragma once

#include "images/ImageTestSupport.h"
#include "link/MessageFormat.h"
#include "link/Trace.h"
#include "platform/Clock.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "sim/SimBench.h"
#include "sim/SimProfiles.h"
#include "support/RecordingFeedback.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Every framed request the host sends, decoded from the port's byte trace.
class RequestLog final : public LinkTrace {
public:
    struct Request {
        uint8_t opcode = 0;
        std::vector<uint8_t> payload;
    };
    // A memory request's range: [address, address + count).
    struct Access {
        uint32_t address = 0;
        uint32_t count = 0;
        bool operator==(const Access&) const = default;
    };

    void Bytes(bool sent, const uint8_t* bytes, uint32_t count) override;
    void Event(const std::string& text) override;

    const std::vector<Request>& Requests() const { return m_requests; }
    std::vector<Access> Writes() const;
    std::vector<Access> Reads() const;
    size_t Count(uint8_t opcode) const;
    // The index of the first request with this opcode; Requests().size() for none.
    size_t FirstIndexOf(uint8_t opcode) const;
    void Clear() { m_requests.clear(); }

private:
    MessageParser m_parser;
    std::vector<uint8_t> m_message;
    std::vector<Request> m_requests;
};

// The addresses a list of accesses touches, each once, in order.
std::vector<uint32_t> TouchedAddresses(const std::vector<RequestLog::Access>& accesses);
// [first, last) as a list of addresses.
std::vector<uint32_t> AddressRun(uint32_t first, uint32_t end);

// A simulated radio on COM1 for the operations, on a virtual clock, with the
// feedback recorded, the requests logged and a fresh per-user data folder.
class OperationRig {
public:
    explicit OperationRig(const std::string& profile = kSimDefaultProfile, const std::string& faults = "");
    ~OperationRig();
    OperationRig(const OperationRig&) = delete;
    OperationRig& operator=(const OperationRig&) = delete;

    SimRadio& Radio();
    std::vector<uint8_t>& Eeprom() { return Radio().MutableState().eeprom; }
    // Faults from now on, counted by the radio's requests so far.
    void SetFaults(const std::string& faults);

    VirtualClock clock{1000};
    SimBench bench{clock};
    PortRouter router;
    RecordingFeedback feedback;
    RequestLog requests;
    test::TempFolder dataFolder;

private:
    std::string m_target;
    ScopedRuntime m_runtime{clock, router};
    ScopedFeedback m_feedback{feedback};
};

} // namespace vantrel
