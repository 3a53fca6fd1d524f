#include "cli/Interruption.h"

namespace vantrel {

std::string UpgradeStandingText(UpgradeStage stage)
{
    switch (stage) {
    case UpgradeStage::Checking:
        return "Nothing was written to the radio.";
    case UpgradeStage::Marked:
        return "The radio is in normal operation; this run may have set its codeplug marker and tag byte. "
               "Running the upgrade again is safe.";
    case UpgradeStage::Bootstrap:
        return "The radio is in bootstrap mode or runs the bootcode; its EEPROM data and firmware are as they were. "
               "Set the flash adapter switch to OFF(Normal Operation) and turn the radio off and on, or run the "
               "upgrade again.";
    case UpgradeStage::EepromWriting:
        return "The radio's EEPROM data may be partly written. Write the backup back with: vantrel-cli restore "
               "BACKUP (the radio in bootstrap mode), then run the upgrade again.";
    case UpgradeStage::Flashing:
        return "The radio's EEPROM data is written; its firmware is erased or incomplete. Leave the flash adapter "
               "switch ON(Flash Mode) and run the upgrade again to flash it.";
    case UpgradeStage::Done:
        return "The upgrade was complete.";
    }
    return {};
}

} // namespace vantrel
