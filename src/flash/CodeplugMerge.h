#pragma once

#include "flash/CodeplugWriter.h"

#include <array>
#include <cstdint>
#include <span>

namespace vantrel {

// Where codeplug writing finds the radio's data and where the file's image
// takes it.
struct CodeplugLayoutPair {
    bool radioPhase3;
    bool filePhase3;
};
CodeplugLayoutPair LayoutsOf(CodeplugLayoutChoice choice);

// Radio-specific data read before the file is written over it.
constexpr uint16_t kTuningReadStart = 21;
constexpr size_t kMaxTuningBytes = 102; // addresses 21 to 122 (Phase 3); 96 for Phase 1/2
constexpr uint16_t kIdentityEsnSize = 5;
constexpr uint16_t kIdentitySerialSize = 10;

struct KeptRadioData {
    std::array<uint8_t, kMaxTuningBytes> tuning{};
    bool hasTuning = false;
    uint8_t regionalId = 0;
    bool hasRegionalId = false;
    std::array<uint8_t, kIdentitySerialSize> serialNumber{};
    bool hasSerialNumber = false;
    std::array<uint8_t, kIdentityEsnSize> esn{};
    bool hasEsn = false;
};

// Addresses of the identity items and the first application block in one layout.
struct IdentityAddresses {
    uint16_t serialNumber;
    uint16_t regionalId;
    uint16_t esn;
    uint16_t blockStart; // first byte the block checksum covers
    uint16_t checksum;   // the checksum byte, just after the covered bytes
};
IdentityAddresses IdentityAddressesOf(bool phase3);

// Bytes 21 up to the end of the radio's tuning block (96 or 102).
uint16_t TuningByteCount(bool radioPhase3);

// Places the tuning bytes read from the radio into the file's image. Phase 1/2
// data going into a Phase 3 image gain six zero bytes at 65 to 70, the tuning
// run length at 22 grows by 6 and the block checksum at 122 is recomputed.
// image holds at least 123 bytes.
void MergeTuning(std::span<uint8_t> image, CodeplugLayoutChoice choice, const KeptRadioData& kept);

// Places the kept identity items at the file layout's addresses and recomputes
// the first application block's checksum (always, even with nothing kept).
// image holds at least 723 bytes.
void MergeIdentity(std::span<uint8_t> image, bool filePhase3, const KeptRadioData& kept);

} // namespace vantrel
