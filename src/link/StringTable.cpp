#include "link/StringTable.h"

#include <algorithm>
#include <iterator>

namespace vantrel {
namespace {

struct StringEntry {
    uint32_t id;
    const char* text;
};

// Every operator-visible text of the program, sorted by id. Ids 20170 to 20199
// and from 20206 on are texts this program adds for failures and notes that have
// no message of their own.
constexpr StringEntry kStrings[] = {
    {20000, "Error"},
    {20001, "The serial port %s could not be opened.\nIt may be in use by another program."},
    {20008, "The Regional ID of the connected radio is invalid."},
    {20010, "The Regional ID of the connected radio is invalid."},
    {20011, "No Regional ID selected."},
    {20012, "The Regional ID was successfully programmed."},
    {20013, "The Regional ID could not be programmed."},
    {20100, "No serial port assigned."},
    {20101, "Checksum error in received message."},
    {20102, "Received message too long."},
    {20103, "Received message incomplete."},
    {20104, "No response from radio."},
    {20105, "NAK received from radio."},
    {20106, "Unexpected response from radio."},
    {20107, "Operation not supported by this radio."},
    {20108, "Buffer Error"},
    {20109, "Open bootcode file failed"},
    {20110, "Open Com Port failed"},
    {20111, "Error in Srecord file"},
    {20112, "Error downloading bootcode"},
    {20113, "Timeout while waiting for ACK"},
    {20114, "Open firmware file failed"},
    {20115, "Erase Flash ROM failed"},
    {20116, "Error downloading Firmware"},
    {20117, "User Interrupt"},
    {20121, "FL0 Baudrate set wrong"},
    {20122, "FL0 Sync failed"},
    {20123, "FL0 Download failed"},
    {20124, "Radio not in Bootstrap mode"},
    {20125, "FL0 Bootcode verify failed"},
    {20126, "Upgrading a radio is a timing critical issue. Do not change to other tasks during the upgrade procedure."},
    {20127, "Downloading Bootcode..."},
    {20128, "Downloading Firmware..."},
    {20129, "Erasing Flash ROM..."},
    {20130, "Reading EEPROM data..."},
    {20131, "Writing EEPROM data..."},
    {20132, "Please set the flash adapter switch to OFF(Normal Operation) and press OK to confirm"},
    {20133, "Set radio in bootstrap mode.\n\nWARNING!\nNot following these instructions exactly may cause the radio to be inoperable.\n\nComplete these steps before pressing the OK button.\n\n1) Switch the radio ON/OFF switch to the ON position.\n2) Set the flash adapter switch to ON(Flash Mode).\n3) Remove the Battery for 5 seconds and then reconnect to enable Flash Mode."},
    {20135, "Resetting radio..."},
    {20136, "Set the flash adapter switch to OFF(Normal Operation), then turn the radio OFF and ON again. Press OK to confirm."},
    {20137, "New bootcode files created successfully"},
    {20138, "New Firmware file created successfully"},
    {20139, "Converting firmware file..."},
    {20140, "To flash the connected radio set the flash adapter switch to ON(Flash Mode), then connect your radio to the power supply and turn the radio on. Press the START UPGRADE button to begin the flash procedure."},
    {20141, "New codeplug files created successfully"},
    {20142, "Converting codeplug files..."},
    {20143, "Checking radio data..."},
    {20144, "Writing EEPROM..."},
    {20145, "Writing radio specific data..."},
    {20146, "An error occured during the upgrade process. If the radio does not work, it must be reprogrammed by a Corvantis Service."},
    {20147, "The connected radio is not supported by this version of Vantrel"},
    {20148, "The radio's battery level is low. Please reload the battery before upgrading the radio."},
    {20149, "The connected radio is not supported by this Mendkit."},
    {20150, "An error occured during patching the radio."},
    {20151, "The codeplug version of your radio is older than R05.00,\nPressing OK will continue upgrading, your user data will be lost.\nPress Cancel to exit and save your user data first.\nPlease follow the steps bellow to preserve your user data.\nRead the radio with the KVS BEFORE upgrading and save the data in a radio file (*.rad).\nWrite the radio data back AFTER upgrading.\n(KVS version R00.04.00 or newer is required).."},
    {20152, "Open EEPROM-data file failed"},
    {20153, "Downloading the bootcode failed.\nPlease leave the Flash Adapter switch to ON(Flash Mode), disconnect\nthe radio's battery and reconnect it after about three seconds.\nThen press the OK button to flash the radio."},
    {20154, "Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal Operation) and turn the radio OFF and then ON again."},
    {20155, "Upgrade Successfully done!"},
    {20156, "Downloading the bootcode failed.\nPlease leave the Flash Adapter switch to ON(Flash Mode), disconnect\nthe radio's power supply and reconnect it after about three seconds.\nThen press the radio's on/off switch once and press the OK button to flash the radio."},
    {20157, "Serial Communication Error!\nCheck the connection to the radio and try again."},
    {20158, "An error occured during flashing the radio."},
    {20159, "To Retry flashing, leave the flash adapter in the ON(Flash Mode),\ndisconnect the radio's power supply or battery,\nwait 5 seconds and reconnect it again. "},
    {20160, "To Retry flashing, leave the flash adapter in the ON(Flash Mode),\ndisconnect the radio's power supply,\nwait 5 seconds and reconnect it again.\nThen press the radio's power on button once."},
    {20161, "Patching radio..."},
    {20162, "Unpatching radio..."},
    {20163, "Successfully done!"},
    {20164, "Mendkit"},
    {20165, "This Radilift will update the radio with a test version firmware(or codeplug). This tool is used for individual issue fixing evaluation, not for official release or distribution. There might be some unknown or unclassified problems as this tool has not been fully tested. \nPlease press OK if you want to continue with upgrade , otherwise press Cancel to exit.\n\n** WARNING ** :Remember to flash a R version firmware to radio after the issue fixing evaluation "},
    {20170, "The output file could not be created."},
    {20171, "Writing the output file failed. The disk may be full."},
    {20185, "The bootcode file is larger than 5000 bytes. Nothing was sent to the radio."},
    {20186, "The firmware file is damaged: its records do not match its record count. The radio was not erased."},
    {20187, "The firmware file holds a record of more than 45 data bytes. The radio was not erased."},
    {20188, "The firmware file holds a record outside the radio's flash memory. The radio was not erased."},
    {20190, "The radio's data could not be backed up, so nothing was written to the radio."},
    {20191, "The patch file is missing or not valid."},
    {20192, "The undo data could not be saved, so the radio was not patched."},
    {20193, "There is no undo data for the connected radio."},
    {20200, "Super Verolan"},
    {20201, "North America"},
    {20202, "Latin America"},
    {20203, "EMEA"},
    {20204, "Asia"},
    {20205, "No Region defined"},
    {20206, "The radio's EEPROM data was saved to %s"},
    {20207, "The radio's EEPROM data was restored from the backup.\nSet the flash adapter switch to OFF(Normal Operation) and turn the radio OFF and then ON again."},
    {20208, "Restoring the radio's EEPROM data failed. Keep the backup file and try again."},
    {20209, "The backup file is damaged or incomplete. Nothing was written to the radio."},
    {20210, "The backup file could not be opened."},
    {20211, "The firmware file holds no data to flash. The radio was not erased."},
    {20212, "The firmware file writes some flash addresses more than once. The radio was not erased."},
    {20213, "The S-record source holds no data records, so no binary file was written."},
    {20230, "The radio was recovered.\nSet the flash adapter switch to OFF(Normal Operation) and turn the radio OFF and then ON again."},
    {20231, "Recovering the radio failed. Leave the flash adapter switch at ON(Flash Mode) and start the recovery again."},
    {20232, "Nothing was chosen to write: choose the firmware, the EEPROM data or both."},
    {20233, "To bring the radio back, choose \"Recover radio...\" in the Radio Access menu and the backup %s."},
    {20234, "To bring the radio back, choose \"Recover radio...\" in the Radio Access menu."},
    {20235, "To bring the radio back, run: vantrel-cli recover --backup %s"},
    {20236, "To bring the radio back, run: vantrel-cli recover"},
    {20237, "To bring the radio's EEPROM data back, choose \"Recover radio...\" in the Radio Access menu, the backup %s and EEPROM only."},
    {20238, "To bring the radio's EEPROM data back, run: vantrel-cli restore %s"},
    {20239, "Nothing answered on %s (%s). A radio whose firmware was erased by a failed upgrade answers only in bootstrap mode."},
    {20240, "Nothing was sent to the radio: %s (%s) could not be opened: %s."},
    {20241, "The radio's EEPROM already holds the codeplug an earlier upgrade converted: it is not converted again, only the firmware is written."},
    {20242, "The radio's EEPROM holds a codeplug that an earlier upgrade did not finish writing. Nothing was written to the radio."},
    {20243, "EEPROM data from %s: %s."},
    {20244, "The radio's current EEPROM data could not be read, so nothing was written."},
    {20245, "The radio's codeplug lengths are not valid; it may hold a codeplug that an earlier upgrade did not finish writing. Nothing was written to the radio."},
    {20246, "Recovering the radio..."},
    {20250, "Verifying the written EEPROM data failed at address 0x%04X: expected 0x%02X, read 0x%02X."},
    {20251, "The radio's EEPROM data from before this write are kept in %s"},
    {20252, "No backup of the radio's EEPROM data was saved before this write."},
    {20253, "The undo data are still in %s"},
    {20254, "The flash memory was not erased: the radio keeps its firmware."},
    {20256, "The service history could not be written (%s). The operation itself was not affected."},
    {20257, "The service history file was damaged. It was set aside as %s and a new history was started."},
    {20258, "The service history could not be saved as %s"},
    {20259, "The service history was saved as %s"},
    {20260, "%s records"},
    {20261, "The service history cannot be read: %s"},
    {20270, "The serial port %s could not be opened.\nThere is no such device."},
    {20271, "The serial port %s could not be opened.\nPermission to use it was denied."},
    {20272, "To check the cable, connect the programming cable and the flash adapter to the PC, switch the radio OFF "
            "and press the OK button."},
    {20273, "The cable check is done. Switch the radio ON again."},
    {20290, "The radio refused the Regional ID read: it answered with a NAK or an unexpected reply."},
    {32771, "Retrieve Status Information from the connected Radio\nRadio Info"},
    {32772, "Upgrade the connected radio\nUpgrade connected radio"},
    {32773, "Change the Serial Port Configuration\nConfiguration"},
    {32774, "Program the Regional ID into the connected Radio\nProgram Regional ID"},
    {32776, "Save the selected firmware as binary image file"},
    {32777, "Save the bootloader files as binary image files"},
    {32778, "Start radio upgrade\nUpgrade Radio"},
    {32779, "Get information from connected radio\nRadio Info"},
    {32780, "Save codeplug file as binary image file"},
    {32781, "Selecting a codeplug file to write into the radio"},
    {32782, "Write the selected codeplug file to the connected radio"},
    {32783, "Flash the selected firmware file to the connected radio"},
    {32784, "Display program information, version number and copyright\nAbout"},
    {32792, "Patch the connected radio"},
    {32793, "Set back the radio to old values"},
    {32794, "Display program information, version number and copyright\nAbout"},
    {32800, "Recover a radio whose upgrade failed: bootcode, firmware and EEPROM data in bootstrap mode\nRecover radio"},
    {32801, "Show the operations done on radios, with their results\nService history"},
    {57344, "Vantrel"},
    {57345, " "},
    {57601, "Select a firmware file to flash into the radio"},
    {57664, "Display program information, version number and copyright\nAbout"},
    {57665, "Quit the Radilift\nExit"},
    {57667, "List Help topics\nHelp Topics"},
    {59392, "Show or hide the toolbar\nToggle ToolBar"},
    {59393, "Show or hide the status bar\nToggle StatusBar"},
};

const StringEntry* Find(uint32_t id)
{
    const auto* end = std::end(kStrings);
    const auto* it = std::lower_bound(std::begin(kStrings), end, id,
                                      [](const StringEntry& e, uint32_t key) { return e.id < key; });
    return (it == end || it->id != id) ? nullptr : it;
}

}  // namespace

const char* LoadMessageText(uint32_t id)
{
    const StringEntry* e = Find(id);
    return e ? e->text : "";
}

bool HasMessageText(uint32_t id) { return Find(id) != nullptr; }

std::string MessageTextWith(uint32_t id, const std::string& value) { return MessageWith(id, {value}); }

std::string MessageWith(uint32_t id, std::initializer_list<std::string> args)
{
    std::string text = LoadMessageText(id);
    size_t from = 0;
    for (const std::string& arg : args) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos) break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

}  // namespace vantrel
