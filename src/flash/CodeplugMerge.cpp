#include "flash/CodeplugMerge.h"

#include "codeplug/BlockChecksum.h"
#include "codeplug/CodeplugLayout.h"

#include <algorithm>

namespace vantrel {
namespace {

// A Phase 1/2 tuning block moved into the Phase 3 layout: its first 44 bytes
// stay, six zero bytes follow, then the other 52.
constexpr size_t kTuningHeadBytes = 44;
constexpr size_t kTuningGapBytes = 6;

} // namespace

CodeplugLayoutPair LayoutsOf(CodeplugLayoutChoice choice)
{
    switch (choice) {
    case CodeplugLayoutChoice::Phase12ToPhase12:
        return {false, false};
    case CodeplugLayoutChoice::Phase12ToPhase3:
        return {false, true};
    case CodeplugLayoutChoice::Phase3ToPhase3:
        break;
    }
    return {true, true};
}

IdentityAddresses IdentityAddressesOf(bool phase3)
{
    const uint16_t block = Block1Address(phase3);
    const uint16_t recordLength = phase3 ? kNewBlock1RecordLength : kOldBlock1RecordLength;
    return {Block1RecordAddress(phase3, kRecordSerialNumber), Block1RecordAddress(phase3, kRecordRegionalId),
            Block1RecordAddress(phase3, kRecordEsn), block,
            static_cast<uint16_t>(block + kBlockRecordsOffset + recordLength)};
}

uint16_t TuningByteCount(bool radioPhase3)
{
    return HardwareBlocks(radioPhase3)[kTuningBlockIndex].length;
}

void MergeTuning(std::span<uint8_t> image, CodeplugLayoutChoice choice, const KeptRadioData& kept)
{
    const CodeplugLayoutPair layouts = LayoutsOf(choice);
    const auto& tuning = kept.tuning;
    if (layouts.radioPhase3 == layouts.filePhase3) {
        std::copy_n(tuning.begin(), TuningByteCount(layouts.radioPhase3), image.begin() + kTuningReadStart);
        return;
    }
    const size_t tail = TuningByteCount(false) - kTuningHeadBytes;
    auto at = image.begin() + kTuningReadStart;
    at = std::copy_n(tuning.begin(), kTuningHeadBytes, at);
    at = std::fill_n(at, kTuningGapBytes, uint8_t{0});
    std::copy_n(tuning.begin() + kTuningHeadBytes, tail, at);
    image[kTuningLengthAddress] = static_cast<uint8_t>(image[kTuningLengthAddress] + kTuningGapBytes);
    image[kPhase3TuningChecksumAddress] =
        BlockChecksum(image.subspan(kTuningReadStart, kPhase3TuningChecksumAddress - kTuningReadStart));
}

void MergeIdentity(std::span<uint8_t> image, bool filePhase3, const KeptRadioData& kept)
{
    const IdentityAddresses at = IdentityAddressesOf(filePhase3);
    if (kept.hasRegionalId) image[at.regionalId] = kept.regionalId;
    if (kept.hasSerialNumber)
        std::copy(kept.serialNumber.begin(), kept.serialNumber.end(), image.begin() + at.serialNumber);
    if (kept.hasEsn) std::copy(kept.esn.begin(), kept.esn.end(), image.begin() + at.esn);
    image[at.checksum] = BlockChecksum(image.subspan(at.blockStart, at.checksum - at.blockStart));
}

} // namespace vantrel
