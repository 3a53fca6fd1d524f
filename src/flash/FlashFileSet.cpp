#include "flash/FlashFileSet.h"

namespace vantrel {

std::string BootcodeFileName(uint32_t flashRate)
{
    switch (flashRate) {
    case 19200:
        return "bt19.mot";
    case 38400:
        return "bt38.mot";
    case 115200:
        return "bt115.mot";
    default:
        return {};
    }
}

FlashFileSet CarriedFlashFiles(const std::string& folder, uint32_t flashRate)
{
    FlashFileSet files;
    const std::string bootcode = BootcodeFileName(flashRate);
    if (!bootcode.empty()) files.bootcodePath = folder + bootcode;
    files.firmwarePath = folder + kFirmwareRecordFileName;
    return files;
}

} // namespace vantrel
