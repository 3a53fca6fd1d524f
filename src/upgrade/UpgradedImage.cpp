#include "upgrade/UpgradedImage.h"

#include "codeplug/CodeplugLayout.h"
#include "codeplug/EepromBackup.h"
#include "data/ModelTable.h"
#include "platform/Files.h"
#include "upgrade/UpgradeImage.h"
#include "upgrade/UpgradeLengths.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr uint8_t kMarkerSet = 127;

} // namespace

uint32_t MarkerAddressOf(bool phase3)
{
    return phase3 ? kPhase3MarkerAddress : kPhase12MarkerAddress;
}

bool HoldsConvertedLayout(std::span<const uint8_t> image)
{
    constexpr size_t kRecordLengthAt = kPhase3HardwareLength + kHeaderSize + kBlockRecordLengthOffset;
    return image.size() >= kRecordLengthAt + 2 &&
           ReadBigEndian16(image, kHardwareLengthAddress) == kPhase3HardwareLength &&
           ReadBigEndian16(image, kRecordLengthAt) == kNewBlock1RecordLength;
}

BackupImage UpgradedImageFromBackup(const EepromBackup& backup, const std::string& programFolder,
                                    std::vector<uint8_t>& out, std::string& why)
{
    const UpgradeLookup lookup = LookupFromBackup(backup);
    if (backup.platform == BackupPlatform::Unknown || backup.start != 0) {
        why = "the backup was not taken by an upgrade";
        return BackupImage::AsSaved;
    }
    if (lookup.plan.supported == 0 || lookup.modelRow < 0 ||
        (lookup.plan.hardwareCodeplug == 0 && lookup.plan.applicationCodeplug == 0)) {
        why = "an upgrade does not change the codeplug of this radio";
        return BackupImage::AsSaved;
    }
    const std::vector<uint8_t>& saved = backup.bytes;
    if (lookup.plan.applicationCodeplug != 0 && HoldsConvertedLayout(saved)) {
        why = "the backup already holds the converted codeplug";
        return BackupImage::AsSaved;
    }
    // The lengths as the upgrade reads them from the radio.
    const uint32_t hardwareLength = saved.size() >= 2 ? ReadBigEndian16(saved, kHardwareLengthAddress) : 0;
    const uint32_t secondAt = SecondLengthAddress(lookup.plan, hardwareLength);
    const uint32_t length = IsKnownHardwareLength(hardwareLength) && secondAt + 2 <= saved.size()
                                ? UpgradeImageLength(lookup.plan, hardwareLength, ReadBigEndian16(saved, secondAt))
                                : 0;
    if (length == 0 || length > saved.size()) {
        why = "the codeplug lengths in the backup are not valid";
        return BackupImage::Refused;
    }
    std::vector<uint8_t> data;
    const std::string dataFile = ModelTableRow(lookup.modelRow).eepromDataFile;
    if (!ReadWholeFile(programFolder + dataFile, data) || !IsEepromDataFileLongEnough(data)) {
        why = "the model's EEPROM data file " + dataFile + " is missing or too short";
        return BackupImage::NoDataFile;
    }
    const bool phase3 = hardwareLength == kPhase3HardwareLength;
    std::vector<uint8_t> image(kImageSize, 0);
    std::copy_n(saved.begin(), length, image.begin());
    // The upgrade reads the image after it has set the codeplug marker.
    uint8_t& marker = image[MarkerAddressOf(phase3)];
    if (marker < kMarkerSet) marker = static_cast<uint8_t>(255 - marker);
    // The same codeplug steps as the upgrade's.
    const PreparedImage prepared = PrepareUpgradeImage(image, length, lookup.plan, phase3, lookup.column, data);
    const uint32_t written = prepared.refused ? 0 : prepared.length;
    if (written == 0) {
        why = "the codeplug in the backup cannot be converted";
        return BackupImage::Refused;
    }
    image.resize(written);
    out = std::move(image);
    why = "converted to the codeplug layout of the new firmware, as an upgrade does";
    return BackupImage::Upgraded;
}

} // namespace vantrel
