#pragma once

#include <cstdint>
#include <functional>

namespace vantrel {

// Radio commands over the attached link. Each returns true on success; the
// cause of a failure stays in the link status (TheRadioLink().TakeStatus()).

constexpr uint8_t kOpReset = 0x10;
constexpr uint8_t kOpReadMemory = 0x11;
constexpr uint8_t kOpEraseFlash = 0x15;
constexpr uint8_t kOpWriteMemory = 0x17;
constexpr uint8_t kOpWriteInfo = 0x18;
constexpr uint8_t kOpReadInfo = 0x23;
constexpr uint8_t kOpAck = 0x05;
constexpr uint8_t kOpNak = 0x06;
constexpr uint8_t kOpReadMemoryReply = 0x80;
constexpr uint8_t kOpDoneReply = 0x84;
constexpr uint8_t kOpNotSupported = 0x86;
constexpr uint8_t kOpWriteInfoReply = 0x87;
constexpr uint8_t kOpReadInfoReply = 0x8B;

constexpr uint32_t kMaxReadMemoryCount = 37;
constexpr uint32_t kMaxWriteMemoryCount = 45;
constexpr uint32_t kMaxInfoValue = 39;
constexpr uint32_t kInfoBufferSize = 40;  // value plus terminating zero
constexpr uint32_t kMemoryBlock = 30;

// Read-info items.
enum InfoItem : uint8_t {
    kItemModelNumber = 0,
    kItemSerialNumber = 1,
    kItemEsn = 2,
    kItemSoftwareVersion = 3,
    kItemCodeplugVersion = 4,
    kItemBattery = 9,
    kItemLastProgrammed = 10,
    kItemCodeplugPartNumber = 11,
    kItemFirmwarePartNumber = 12,
    kItemIcVersions = 14,
    kItemPlatformIdentifier = 15,
    kItemRegionalId = 16,
};
constexpr uint8_t kWriteItemRegionalId = 4;

bool ResetRadio();
bool ReadMemory(uint32_t address, uint32_t count, uint8_t* destination);
bool EraseFlash();
bool WriteMemory(uint32_t address, uint32_t count, const uint8_t* source);
// The flashing's form of the write: 0 to 45 data bytes. A firmware record
// without data is still sent, as the address alone (source may then be null).
bool WriteMemoryRecord(uint32_t address, uint32_t count, const uint8_t* source);
bool WriteInfo(const uint8_t* payload, uint32_t length);
// destination holds at least kInfoBufferSize bytes; receives the value and a zero.
bool ReadInfo(uint8_t* destination, uint8_t item, uint32_t& length);

// Told of every value a read-info command returns (the service history keeps
// what an operation learnt of the radio this way). One listener at a time;
// returns the one it replaces.
using InfoValueListener = std::function<void(uint8_t item, const uint8_t* value, uint32_t length)>;
InfoValueListener SetInfoValueListener(InfoValueListener listener);

bool ReadMemoryRange(uint8_t* destination, uint32_t start, uint32_t count);
bool WriteMemoryRange(const uint8_t* source, uint32_t start, uint32_t count);
// WriteMemoryRange with a check after each written block in place of the
// block's 100 ms pause; the check must give the radio that pause itself (a
// read-memory command ends with one). A check that fails ends the transfer as
// a failed write does.
using BlockCheck = std::function<bool(uint32_t address, uint32_t count, const uint8_t* written)>;
bool WriteMemoryRangeWithCheck(const uint8_t* source, uint32_t start, uint32_t count, const BlockCheck& check);
bool ReadMemorySpan(uint8_t* destination, uint32_t start, uint32_t end);
bool WriteMemorySpan(const uint8_t* source, uint32_t start, uint32_t end);

bool ReadModelNumber(uint8_t* destination);
bool ReadSoftwareVersion(uint8_t* destination);
bool ReadCodeplugPartNumber(uint8_t* destination);
bool IsPlatformIdentifier(const uint8_t* expected16);
bool HasExtendedIcVersion();
bool IsBatteryOk();

}  // namespace vantrel
