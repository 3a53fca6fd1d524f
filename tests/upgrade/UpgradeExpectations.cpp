#include "upgrade/UpgradeExpectations.h"

#include "data/ModelTable.h"
#include "platform/Files.h"
#include "upgrade/CodeplugConversion.h"
#include "codeplug/CodeplugLayout.h"
#include "upgrade/HardwareMigration.h"

#include <algorithm>

namespace vantrel {

std::vector<uint8_t> ExpectedUpgradedImage(const std::vector<uint8_t>& eepromBefore, const UpgradePlan& plan,
                                           int modelRow, const std::string& programFolder)
{
    std::vector<uint8_t> data;
    if (!ReadWholeFile(programFolder + ModelTableRow(modelRow).eepromDataFile, data)) return {};
    const bool phase3 = ReadBigEndian16(eepromBefore, 0) == kPhase3HardwareLength;
    const uint32_t hardwareLength = phase3 ? kPhase3HardwareLength : kPhase12HardwareLength;
    // The radio's own description of how much of its EEPROM is codeplug.
    const uint32_t length = plan.applicationCodeplug != 0
                                ? hardwareLength + ReadBigEndian16(eepromBefore, hardwareLength + 5) + 3
                                : hardwareLength + 11 + ReadBigEndian16(eepromBefore, hardwareLength + 12) + 5;
    std::vector<uint8_t> image(kImageSize, 0);
    std::copy_n(eepromBefore.begin(), length, image.begin());
    // The marker the run inverted is what the loader reads back with the image.
    const uint32_t marker = phase3 ? kPhase3MarkerAddress : kPhase12MarkerAddress;
    if (image[marker] < 127) image[marker] = static_cast<uint8_t>(255 - image[marker]);
    uint32_t written = length;
    if (plan.applicationCodeplug != 0) {
        written = ConvertApplicationCodeplug(image, phase3, length);
        if (written == 0) return {};
    }
    if (plan.hardwareCodeplug != 0 &&
        MigrateHardwareCodeplug(image, data, phase3, modelRow % kModelColumns) != HardwareMigrationResult::Done)
        return {};
    if (!PatchFirstBlock(image, data)) return {};
    image.resize(written);
    return image;
}

} // namespace vantrel
