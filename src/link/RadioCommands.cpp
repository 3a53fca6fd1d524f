#include "link/RadioCommands.h"

#include <cstring>
#include <functional>

#include "link/Feedback.h"
#include "link/RadioLink.h"
#include "link/Trace.h"
#include "platform/Runtime.h"

namespace vantrel {
namespace {

constexpr uint32_t kMaxAddress = 0xFFFFFF;
constexpr uint32_t kEraseSettleMs = 5000;
constexpr uint32_t kResetPauseMs = 1000;
constexpr uint32_t kBlockPauseMs = 100;
constexpr uint8_t kEraseAllFlash = 0x40;

// How one command runs its transaction.
struct CommandRule {
    uint8_t opcode;
    uint32_t attempts;
    uint32_t ackTimeoutMs;  // first answer
    uint32_t replyTimeoutMs;  // the reply after the ACK
    uint8_t reply;
    uint32_t pauseMs;  // after the attempts
    bool memory;  // an unexpected answer ends it at once, without the pause
    bool ackOnly;  // done with the ACK (then a pause of its own)
    uint32_t settleMs;  // sleep between the request and the first answer
};

constexpr CommandRule kReset{kOpReset, 1, 1000, 0, kOpAck, 0, false, true, 0};
constexpr CommandRule kReadMemory{kOpReadMemory, 5, 1000, 1000, kOpReadMemoryReply, 100, true, false, 0};
constexpr CommandRule kEraseFlash{kOpEraseFlash, 1, 30000, 6000, kOpDoneReply, 100, false, false, kEraseSettleMs};
constexpr CommandRule kWriteMemory{kOpWriteMemory, 5, 3000, 5000, kOpDoneReply, 0, true, false, 0};
constexpr CommandRule kWriteInfo{kOpWriteInfo, 1, 1000, 1000, kOpWriteInfoReply, 100, false, false, 0};
constexpr CommandRule kReadInfo{kOpReadInfo, 1, 1000, 1000, kOpReadInfoReply, 100, false, false, 0};

// Takes the expected reply's payload; false fails the command (and ends its attempts).
using ReplyHandler = std::function<bool(const uint8_t* payload, uint32_t length)>;

void Pause(uint32_t ms)
{
    if (ms != 0) CurrentClock().Sleep(ms);
}

bool IsBrokenMessage(int32_t status)
{
    return status == LinkNoResponse || status == LinkIncomplete || status == LinkChecksumError;
}

// Request, acknowledgement, reply, with the command's retries and pauses. The
// link status keeps the cause of a failure.
bool RunTransaction(const CommandRule& rule, const uint8_t* payload, uint32_t length, const ReplyHandler& handle)
{
    CRadioLink& link = TheRadioLink();
    uint8_t* area = link.PayloadArea();
    bool done = false;
    for (uint32_t attempt = 0; attempt < rule.attempts; ++attempt) {
        if (attempt != 0) {
            std::string event = "request sent again, attempt ";
            event += std::to_string(attempt + 1);
            TraceEvent(event);
        }
        link.Send(rule.opcode, payload, length);
        // Without a port every further attempt would only repeat "No serial port assigned."
        if (link.Status() == LinkNoResponse || link.Status() == LinkNoPort || link.Status() == LinkStopped)
            return false;
        // The radio refused a request that reached it broken, as with a NAK.
        if (link.Status() == LinkDisturbed) {
            if (!rule.memory) break;
            continue;
        }
        Pause(rule.settleMs);

        uint8_t opcode = 0;
        uint32_t replyLength = 0;
        if (link.Receive(opcode, area, replyLength, rule.ackTimeoutMs) != LinkOk) {
            if (!rule.memory) break;
            if (IsBrokenMessage(link.Status())) return false;
            continue;
        }
        if (opcode == kOpNak) continue;
        if (opcode != kOpAck) {
            if (rule.memory) return false;
            break;
        }
        if (rule.ackOnly) {
            Pause(kResetPauseMs);
            return true;
        }

        if (link.Receive(opcode, area, replyLength, rule.replyTimeoutMs) != LinkOk) continue;
        if (opcode == rule.reply) {
            done = handle(area, replyLength);
            if (!done && rule.memory) return false;
            break;
        }
        if (opcode == kOpNotSupported) {
            link.SetStatus(LinkNotSupported);
            break;
        }
        if (opcode == kOpNak) continue;
        if (rule.memory) return false;
        break;
    }
    Pause(rule.pauseMs);
    return done;
}

void PutAddress(uint8_t* out, uint32_t address)
{
    out[0] = static_cast<uint8_t>(address >> 16);
    out[1] = static_cast<uint8_t>(address >> 8);
    out[2] = static_cast<uint8_t>(address);
}

bool FitsAddressSpace(uint32_t address, uint32_t count)
{
    return address <= kMaxAddress && count <= kMaxAddress + 1 - address;
}

}  // namespace

bool ResetRadio()
{
    return RunTransaction(kReset, nullptr, 0, [](const uint8_t*, uint32_t) { return true; });
}

bool ReadMemory(uint32_t address, uint32_t count, uint8_t* destination)
{
    if (destination == nullptr || count == 0 || count > kMaxReadMemoryCount || !FitsAddressSpace(address, count))
        return false;
    uint8_t request[4] = {static_cast<uint8_t>(count)};
    PutAddress(request + 1, address);
    // The reply echoes the address, then the data. Only a reply with exactly the
    // count asked for is taken: fewer bytes would leave stale data in the
    // destination, more would overrun it.
    return RunTransaction(kReadMemory, request, sizeof request, [&](const uint8_t* payload, uint32_t length) {
        if (length != count + 3) return false;
        std::memcpy(destination, payload + 3, count);
        return true;
    });
}

bool EraseFlash()
{
    const uint8_t request[1] = {kEraseAllFlash};
    return RunTransaction(kEraseFlash, request, sizeof request, [](const uint8_t*, uint32_t) { return true; });
}

bool WriteMemory(uint32_t address, uint32_t count, const uint8_t* source)
{
    if (source == nullptr || count == 0) return false;
    return WriteMemoryRecord(address, count, source);
}

bool WriteMemoryRecord(uint32_t address, uint32_t count, const uint8_t* source)
{
    if ((source == nullptr && count != 0) || count > kMaxWriteMemoryCount || !FitsAddressSpace(address, count))
        return false;
    uint8_t request[3 + kMaxWriteMemoryCount];
    PutAddress(request, address);
    if (count != 0) std::memcpy(request + 3, source, count);
    return RunTransaction(kWriteMemory, request, 3 + count, [](const uint8_t*, uint32_t) { return true; });
}

bool WriteInfo(const uint8_t* payload, uint32_t length)
{
    // The item number and a value no longer than a read-info value.
    if (payload == nullptr || length == 0 || length > 1 + kMaxInfoValue) return false;
    return RunTransaction(kWriteInfo, payload, length, [](const uint8_t* reply, uint32_t replyLength) {
        if (replyLength == 1 && reply[0] == 0x00) return true;
        TheRadioLink().SetStatus(LinkRejected);
        return false;
    });
}

bool ReadInfo(uint8_t* destination, uint8_t item, uint32_t& length)
{
    length = 0;
    if (destination == nullptr) return false;
    const uint8_t request[1] = {item};
    return RunTransaction(kReadInfo, request, sizeof request, [&](const uint8_t* payload, uint32_t replyLength) {
        // Without even the item byte the reply carries nothing to return.
        if (replyLength == 0) return false;
        const uint32_t valueLength = (replyLength > kInfoBufferSize ? kInfoBufferSize : replyLength) - 1;
        std::memcpy(destination, payload + 1, valueLength);
        destination[valueLength] = 0;
        length = valueLength;
        return true;
    });
}

namespace {

// Moves count bytes in 30-byte blocks, one pass more than there are whole
// blocks, with a progress position after every pass.
bool TransferRange(uint32_t count, const std::function<bool(uint32_t offset, uint32_t n)>& block,
                   uint32_t pauseAfterPassMs)
{
    const uint32_t passes = count / kMemoryBlock + 1;
    // A count below one block would give a range of -1; the bar takes 0.
    SendProgress(WM_PROGRESS_RANGE, passes >= 2 ? passes - 2 : 0);
    for (uint32_t i = 0; i < passes; ++i) {
        const uint32_t offset = kMemoryBlock * i;
        const uint32_t left = count - offset;
        const uint32_t n = left > kMemoryBlock ? kMemoryBlock : left;
        if (n > 0 && !block(offset, n)) return false;
        Pause(pauseAfterPassMs);
        SendProgress(WM_PROGRESS_POS, i);
    }
    return true;
}

}  // namespace

bool ReadMemoryRange(uint8_t* destination, uint32_t start, uint32_t count)
{
    if (destination == nullptr) return false;
    return TransferRange(
        count, [&](uint32_t offset, uint32_t n) { return ReadMemory(start + offset, n, destination + offset); }, 0);
}

bool WriteMemoryRange(const uint8_t* source, uint32_t start, uint32_t count)
{
    if (source == nullptr) return false;
    return TransferRange(
        count, [&](uint32_t offset, uint32_t n) { return WriteMemory(start + offset, n, source + offset); },
        kBlockPauseMs);
}

bool ReadMemorySpan(uint8_t* destination, uint32_t start, uint32_t end)
{
    if (end < start) return false;
    return ReadMemory(start, end - start, destination);
}

bool WriteMemorySpan(const uint8_t* source, uint32_t start, uint32_t end)
{
    if (end >= start && WriteMemory(start, end - start, source)) return true;
    Pause(kBlockPauseMs);
    return false;
}

bool ReadModelNumber(uint8_t* destination)
{
    uint32_t length = 0;
    return ReadInfo(destination, kItemModelNumber, length);
}

bool ReadSoftwareVersion(uint8_t* destination)
{
    uint32_t length = 0;
    return ReadInfo(destination, kItemSoftwareVersion, length);
}

bool ReadCodeplugPartNumber(uint8_t* destination)
{
    uint32_t length = 0;
    return ReadInfo(destination, kItemCodeplugPartNumber, length);
}

bool IsPlatformIdentifier(const uint8_t* expected16)
{
    uint8_t value[kInfoBufferSize] = {};
    uint32_t length = 0;
    return expected16 != nullptr && ReadInfo(value, kItemPlatformIdentifier, length) && length == 16 &&
           std::memcmp(value, expected16, 16) == 0;
}

bool HasExtendedIcVersion()
{
    uint8_t value[kInfoBufferSize] = {};
    uint32_t length = 0;
    // A value too short to have a second byte says nothing about it.
    return ReadInfo(value, kItemIcVersions, length) && length >= 2 && value[1] == 0xFE;
}

bool IsBatteryOk()
{
    uint32_t length = 0;
    uint8_t value[kInfoBufferSize] = {};
    // An empty value must not read as "sufficient" from the terminating zero.
    return ReadInfo(value, kItemBattery, length) && length >= 1 && value[0] == 0x00;
}

}  // namespace vantrel
