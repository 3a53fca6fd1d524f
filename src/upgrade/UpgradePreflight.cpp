#include "upgrade/UpgradePreflight.h"

#include "codeplug/CodeplugLayout.h"
#include "flash/FirmwareImage.h"
#include "platform/Files.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdOpenEepromData = 20152;
constexpr uint32_t kIdBackupFailed = 20190;
// An EEPROM data file is an image of a radio's EEPROM (32 KiB); twice that
// is room enough, and a larger file is not one.
constexpr size_t kMaxEepromDataFile = 64 * 1024;

} // namespace

FileProblem CheckEepromDataFile(const std::string& path, std::vector<uint8_t>& data)
{
    data.clear();
    if (!IsRegularFile(path) || ReadFileAtMost(path, kMaxEepromDataFile, data) != BoundedRead::Ok) {
        data.clear();
        return {kIdOpenEepromData, path};
    }
    if (!IsEepromDataFileLongEnough(data)) {
        data.clear();
        return {kIdOpenEepromData, path + " holds fewer than 723 bytes"};
    }
    return {};
}

FileProblem CheckBackupFolder()
{
    const std::string folder = UserDataFolder();
    std::string why;
    if (folder.empty()) return {kIdBackupFailed, "there is no per-user data folder to save backups in"};
    if (!CanWriteInFolder(folder, why)) return {kIdBackupFailed, why};
    return {};
}

FileProblem CheckUpgradeNeeds(const UpgradeNeeds& needs, std::vector<uint8_t>& eepromData)
{
    if (FileProblem p = CheckBootcodeFile(needs.files.bootcodePath); p.Found()) return p;
    if (needs.flashesFirmware) {
        FirmwareImage firmware;
        if (FileProblem p = ReadFirmwareForFlashing(needs.files, firmware); p.Found()) return p;
    }
    if (FileProblem p = CheckEepromDataFile(needs.eepromDataPath, eepromData); p.Found()) return p;
    return CheckBackupFolder();
}

} // namespace vantrel
