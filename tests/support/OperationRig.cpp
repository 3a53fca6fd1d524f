#include "support/OperationRig.h"

#include "link/RadioCommands.h"
#include "platform/Files.h"
#include "sim/SimFaults.h"

#include <gtest/gtest.h>
#include <set>

namespace vantrel {

void RequestLog::Bytes(bool sent, const uint8_t* bytes, uint32_t count)
{
    if (!sent) return;
    for (uint32_t i = 0; i < count; ++i) {
        m_message.push_back(bytes[i]);
        if (!m_parser.Feed(bytes[i])) continue;
        const uint32_t header = m_parser.HeaderLength();
        const uint32_t body = m_parser.BodyLength();
        Request request{m_parser.Opcode(), {}};
        if (body > 1) request.payload.assign(m_message.begin() + header, m_message.begin() + header + body - 1);
        m_requests.push_back(std::move(request));
        m_message.clear();
        m_parser.Reset();
    }
}

void RequestLog::Event(const std::string&)
{
    m_parser.Reset();
    m_message.clear();
}

std::vector<RequestLog::Access> RequestLog::Writes() const
{
    std::vector<Access> out;
    for (const Request& r : m_requests) {
        if (r.opcode != kOpWriteMemory || r.payload.size() < 3) continue;
        const uint32_t address = (uint32_t{r.payload[0]} << 16) | (uint32_t{r.payload[1]} << 8) | r.payload[2];
        out.push_back({address, static_cast<uint32_t>(r.payload.size() - 3)});
    }
    return out;
}

std::vector<RequestLog::Access> RequestLog::Reads() const
{
    std::vector<Access> out;
    for (const Request& r : m_requests) {
        if (r.opcode != kOpReadMemory || r.payload.size() != 4) continue;
        const uint32_t address = (uint32_t{r.payload[1]} << 16) | (uint32_t{r.payload[2]} << 8) | r.payload[3];
        out.push_back({address, r.payload[0]});
    }
    return out;
}

size_t RequestLog::Count(uint8_t opcode) const
{
    size_t n = 0;
    for (const Request& r : m_requests)
        n += r.opcode == opcode ? 1 : 0;
    return n;
}

size_t RequestLog::FirstIndexOf(uint8_t opcode) const
{
    for (size_t i = 0; i < m_requests.size(); ++i) {
        if (m_requests[i].opcode == opcode) return i;
    }
    return m_requests.size();
}

std::vector<uint32_t> TouchedAddresses(const std::vector<RequestLog::Access>& accesses)
{
    std::set<uint32_t> seen;
    for (const auto& a : accesses) {
        for (uint32_t i = 0; i < a.count; ++i)
            seen.insert(a.address + i);
    }
    return {seen.begin(), seen.end()};
}

std::vector<uint32_t> AddressRun(uint32_t first, uint32_t end)
{
    std::vector<uint32_t> out;
    for (uint32_t a = first; a < end; ++a)
        out.push_back(a);
    return out;
}

OperationRig::OperationRig(const std::string& profile, const std::string& faults)
    : m_target(profile == kSimDefaultProfile ? "sim" : "sim:" + profile)
{
    std::string error;
    EXPECT_TRUE(bench.SetFaults(faults, error)) << error;
    router.SetSimMaker(bench.Maker());
    router.SetSlotTarget(0, m_target);
    SetCurrentTrace(&requests);
    SetUserDataFolder(dataFolder.Path());
}

OperationRig::~OperationRig()
{
    SetCurrentTrace(nullptr);
    SetUserDataFolder("");
}

SimRadio& OperationRig::Radio()
{
    std::string error;
    auto line = bench.LineFor(m_target, error);
    EXPECT_TRUE(line) << error;
    return line->Radio();
}

void OperationRig::SetFaults(const std::string& faults)
{
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults(faults, plan, error)) << error;
    Radio().SetFaults(plan);
}

} // namespace vantrel
