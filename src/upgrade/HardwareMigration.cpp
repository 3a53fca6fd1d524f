#include "upgrade/HardwareMigration.h"

#include "codeplug/BlockChecksum.h"
#include "codeplug/CodeplugLayout.h"

#include <algorithm>
#include <array>

namespace vantrel {
namespace {

bool IsTuningGap(bool phase3, int runIndex)
{
    return !phase3 && runIndex >= kTuningGapFirst && runIndex <= kTuningGapLast;
}

// How many of the radio's saved bytes a template run of N' + 1 bytes consumes.
int SavedBytesNeeded(bool phase3, int templateLength)
{
    int needed = 0;
    for (int i = 0; i <= templateLength; ++i)
        if (!IsTuningGap(phase3, i)) ++needed;
    return needed;
}

} // namespace

HardwareMigrationResult MigrateHardwareCodeplug(std::span<uint8_t> image, std::span<const uint8_t> eepromData,
                                                bool phase3, int column)
{
    if (!IsEepromDataFileLongEnough(eepromData)) return HardwareMigrationResult::DataFileTooShort;
    if (image.size() < kTemplateEnd) return HardwareMigrationResult::ImageTooShort;
    if (column < 0 || column >= kVariantColumns) return HardwareMigrationResult::UnknownColumn;

    // Everything is checked before the first byte of the image changes.
    const int radioLength = image[kTuningLengthAddress];
    if (radioLength > MaxTuningLength(phase3)) return HardwareMigrationResult::RadioTuningTooLong;
    if (ReadBigEndian16(eepromData, kHardwareLengthAddress) != kPhase3HardwareLength)
        return HardwareMigrationResult::TemplateNotPhase3;
    const int templateLength = eepromData[kTuningLengthAddress];
    if (templateLength > kPhase3MaxTuningLength) return HardwareMigrationResult::TemplateTuningTooLong;
    if (SavedBytesNeeded(phase3, templateLength) > radioLength + 1)
        return HardwareMigrationResult::TemplateNeedsMoreTuning;

    std::array<uint8_t, kPhase3MaxTuningLength + 1> saved{};
    std::copy_n(image.begin() + kTuningDataAddress, radioLength + 1, saved.begin());

    std::copy_n(eepromData.begin(), kTemplateEnd, image.begin());

    int j = 0;
    for (int i = 0; i <= templateLength; ++i)
        image[kTuningDataAddress + i] = IsTuningGap(phase3, i) ? uint8_t{0} : saved[j++];

    uint8_t& adjusted = image[kTuningAdjustAddress];
    if (adjusted < kVariantThreshold[column]) adjusted = static_cast<uint8_t>(adjusted + kVariantAddend[column]);
    if (column == kColumnWithTuningPatch)
        std::copy(kColumnTuningPatch.begin(), kColumnTuningPatch.end(), image.begin() + kTuningColumnPatchAddress);

    image[kPhase3TuningChecksumAddress] =
        BlockChecksum(image.subspan(kTuningBlockStart, kPhase3TuningChecksumAddress - kTuningBlockStart));
    return HardwareMigrationResult::Done;
}

bool PatchFirstBlock(std::span<uint8_t> image, std::span<const uint8_t> eepromData)
{
    if (!IsEepromDataFileLongEnough(eepromData) || image.size() < kEepromDataFileMinSize) return false;
    const auto copyRecordBytes = [&](uint16_t firstByte, uint16_t count) {
        const size_t at = kNewBlock1Address + kBlockRecordsOffset + firstByte;
        std::copy_n(eepromData.begin() + at, count, image.begin() + at);
    };
    copyRecordBytes(kRecordLayoutVersion, 2); // bytes 26 and 27
    copyRecordBytes(kRecordPatchRun, kPatchRunSize);
    image[kNewBlock1ChecksumAddress] =
        BlockChecksum(image.subspan(kNewBlock1Address, kNewBlock1ChecksumAddress - kNewBlock1Address));
    return true;
}

const char* HardwareMigrationText(HardwareMigrationResult result)
{
    switch (result) {
    case HardwareMigrationResult::Done:
        break;
    case HardwareMigrationResult::DataFileTooShort:
        return "the model's EEPROM data file is shorter than 723 bytes";
    case HardwareMigrationResult::ImageTooShort:
        return "the image cannot hold a 640-byte hardware codeplug";
    case HardwareMigrationResult::UnknownColumn:
        return "the model's variant column is not known";
    case HardwareMigrationResult::RadioTuningTooLong:
        return "the radio's tuning data length runs past its tuning block";
    case HardwareMigrationResult::TemplateNotPhase3:
        return "the model's EEPROM data file does not hold a 640-byte hardware codeplug";
    case HardwareMigrationResult::TemplateTuningTooLong:
        return "the tuning data length of the model's EEPROM data file runs past its tuning block";
    case HardwareMigrationResult::TemplateNeedsMoreTuning:
        return "the model's EEPROM data file needs more tuning data than the radio holds";
    }
    return "";
}

} // namespace vantrel
