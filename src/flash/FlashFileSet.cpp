#include "flash/FlashFileSet.h"

#include "images/Export.h"

#include <cstddef>

namespace vantrel {

std::string BootcodeFileName(uint32_t flashRate)
{
    constexpr uint32_t kRates[3] = {19200, 38400, 115200};
    for (size_t i = 0; i < 3; ++i) {
        if (kRates[i] == flashRate) return kBootcodeNames[i].output;
    }
    return {};
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
