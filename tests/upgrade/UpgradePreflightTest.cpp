#include "data/ModelTable.h"
#include "flash/FirmwareImage.h"
#include "images/SRecordWriter.h"
#include "platform/Files.h"
#include "upgrade/UpgradeRig.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

// A program folder or data folder that an upgrade must refuse before it
// writes anything, and the message that names the file.
struct Damage {
    const char* name;
    std::function<void(UpgradeRig&)> apply;
    uint32_t message;
};

std::string ProgramFile(UpgradeRig& rig, const std::string& name)
{
    return rig.program.folder.File(name);
}

void Replace(UpgradeRig& rig, const std::string& name, const std::vector<uint8_t>& bytes)
{
    rig.program.folder.Write(name, std::string(bytes.begin(), bytes.end()));
}

void MakeFolder(UpgradeRig& rig, const std::string& name)
{
    std::filesystem::remove(ProgramFile(rig, name));
    std::filesystem::create_directory(ProgramFile(rig, name));
}

std::string DataFileName()
{
    return ModelTableRow(0).eepromDataFile;
}

std::vector<uint8_t> RecordFile(const std::vector<std::pair<uint32_t, size_t>>& records)
{
    FirmwareImage image;
    for (const auto& [address, length] : records) {
        const std::vector<uint8_t> data(length, 0x5A);
        EXPECT_EQ(AddFirmwareRecord(image, address, data.data(), static_cast<uint32_t>(length)),
                  FirmwareFileError::None);
    }
    return EncodeFirmwareRecordFile(image);
}

// Selects an S-record firmware file of the laboratory build.
std::function<void(UpgradeRig&)> SelectedFirmware(const std::string& text)
{
    return [text](UpgradeRig& rig) {
        rig.program.folder.Write("selected.0", text);
        rig.settings.firmwarePath = ProgramFile(rig, "selected.0");
        rig.settings.firmwareSelected = true;
    };
}

const Damage kDamages[] = {
    {"bootcode missing", [](UpgradeRig& rig) { std::filesystem::remove(ProgramFile(rig, "bt19.mot")); }, 20109},
    {"bootcode empty", [](UpgradeRig& rig) { Replace(rig, "bt19.mot", {}); }, 20109},
    {"bootcode is a folder", [](UpgradeRig& rig) { MakeFolder(rig, "bt19.mot"); }, 20109},
    {"bootcode larger than 5000 bytes", [](UpgradeRig& rig) { Replace(rig, "bt19.mot", std::vector<uint8_t>(5001)); },
     20185},
    {"no bootcode for the flash rate", [](UpgradeRig& rig) { rig.settings.flashRate = 57600; }, 20109},
    {"firmware missing", [](UpgradeRig& rig) { std::filesystem::remove(ProgramFile(rig, "tor5t.mot")); }, 20114},
    {"firmware is a folder", [](UpgradeRig& rig) { MakeFolder(rig, "tor5t.mot"); }, 20114},
    {"firmware cut short",
     [](UpgradeRig& rig) {
         std::vector<uint8_t> bytes = rig.program.folder.Read("tor5t.mot");
         bytes.pop_back();
         Replace(rig, "tor5t.mot", bytes);
     },
     20186},
    {"firmware without records", [](UpgradeRig& rig) { Replace(rig, "tor5t.mot", RecordFile({})); }, 20211},
    {"firmware writes an address twice",
     [](UpgradeRig& rig) {
         Replace(rig, "tor5t.mot", RecordFile({{0x100, 32}, {0x110, 32}}));
     },
     20212},
    {"selected firmware without data", SelectedFirmware("S0030000FC\r\nS9030000FC\r\n"), 20211},
    {"selected firmware with a byte-order mark", SelectedFirmware("\xEF\xBB\xBFS1040000AA51\r\nS9030000FC\r\n"), 20111},
    {"EEPROM data file missing", [](UpgradeRig& rig) { std::filesystem::remove(ProgramFile(rig, DataFileName())); },
     20152},
    {"EEPROM data file shorter than 723 bytes",
     [](UpgradeRig& rig) { std::filesystem::resize_file(ProgramFile(rig, DataFileName()), 722); }, 20152},
    {"EEPROM data file is a folder", [](UpgradeRig& rig) { MakeFolder(rig, DataFileName()); }, 20152},
    {"backup folder cannot be made",
     [](UpgradeRig& rig) {
         rig.data.Write("plain", "a file where a folder should be");
         SetUserDataFolder(rig.data.File("plain") + "/backups");
     },
     20190},
};

// Every file an upgrade reads and the folder it saves the radio's data in are
// checked before the first write: the run stops with that file's message, and
// the radio's EEPROM and flash are as they were.
TEST(UpgradePreflight, MissingOrDamagedFilesStopTheRunBeforeAnythingIsWritten)
{
    for (const char* profile : {"phase12-r2", "default"}) {
        for (const Damage& damage : kDamages) {
            SCOPED_TRACE(std::string(profile) + ": " + damage.name);
            UpgradeRig rig(profile);
            damage.apply(rig);
            const UpgradeResult result = rig.Run();
            EXPECT_EQ(result.outcome, UpgradeOutcome::Failed);
            EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{damage.message, 20146}));
            EXPECT_EQ(rig.Eeprom(), rig.eepromBefore);
            EXPECT_TRUE(rig.FlashUntouched());
            for (const auto& request : rig.Radio().Requests()) {
                const uint8_t opcode = DecodeRadioRequest(request).opcode;
                EXPECT_TRUE(opcode != 0x17 && opcode != 0x15 && opcode != 0x10) << "request " << int{opcode};
            }
            EXPECT_TRUE(result.backupPath.empty());
        }
    }
}

// A file is checked only when the plan uses it: without firmware to flash, a
// missing firmware file is not what stops the run.
TEST(UpgradePreflight, FirmwareIsCheckedOnlyWhenThePlanFlashesIt)
{
    UpgradeRig rig("default");
    rig.hooks.lookup = [] {
        UpgradeLookup lookup;
        lookup.plan = {1, 1, 0, 0};
        lookup.modelRow = 0;
        lookup.column = 0;
        return lookup;
    };
    std::filesystem::remove(ProgramFile(rig, "tor5t.mot"));
    std::filesystem::remove(ProgramFile(rig, DataFileName()));
    EXPECT_EQ(rig.Run().outcome, UpgradeOutcome::Failed);
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20152, 20146}));
    EXPECT_EQ(rig.Eeprom(), rig.eepromBefore);
}

} // namespace
} // namespace vantrel
