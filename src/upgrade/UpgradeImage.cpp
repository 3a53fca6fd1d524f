#include "upgrade/UpgradeImage.h"

#include "upgrade/CodeplugConversion.h"
#include "upgrade/HardwareMigration.h"

namespace vantrel {

PreparedImage PrepareUpgradeImage(std::span<uint8_t> image, uint32_t bytesRead, const UpgradePlan& plan, bool phase3,
                                  int column, std::span<const uint8_t> eepromData)
{
    PreparedImage prepared;
    prepared.length = bytesRead;
    if (plan.applicationCodeplug != 0) {
        ConversionOutcome converted = ConvertApplicationCodeplugChecked(image, phase3, bytesRead);
        if (converted.imageLength == 0) {
            prepared.refused = true;
            prepared.refusal = std::string("The radio's application codeplug cannot be converted: ") +
                               ConversionRefusalText(converted.refusal) + ".";
            return prepared;
        }
        prepared.length = converted.imageLength;
        prepared.damagedBlocks = std::move(converted.damagedBlocks);
    }
    if (plan.hardwareCodeplug != 0) {
        const HardwareMigrationResult migrated = MigrateHardwareCodeplug(image, eepromData, phase3, column);
        if (migrated != HardwareMigrationResult::Done) {
            prepared.refused = true;
            prepared.refusal = std::string("The radio's hardware codeplug cannot be migrated: ") +
                               HardwareMigrationText(migrated) + ".";
            return prepared;
        }
    }
    if (!PatchFirstBlock(image, eepromData)) {
        prepared.refused = true;
        prepared.refusal = "The first block cannot be renewed from the model's EEPROM data file.";
    }
    return prepared;
}

std::string DamagedBlocksNote(const std::vector<int>& blocks)
{
    if (blocks.empty()) return {};
    std::string list;
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (i != 0) list += i + 1 == blocks.size() ? " and " : ", ";
        list += std::to_string(blocks[i]);
    }
    const bool one = blocks.size() == 1;
    return std::string(one ? "Block " : "Blocks ") + list + " of the radio's application codeplug " +
           (one ? "has" : "have") + " a wrong checksum and " + (one ? "was" : "were") + " carried over as read.";
}

} // namespace vantrel
