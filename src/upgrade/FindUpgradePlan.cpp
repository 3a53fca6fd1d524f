#include "upgrade/FindUpgradePlan.h"

#include "codeplug/EepromBackup.h"
#include "data/ModelTable.h"
#include "link/RadioCommands.h"
#include "upgrade/PlanLookup.h"

#include <cstring>
#include <string_view>

namespace vantrel {
namespace {

// An item value as text, up to its terminating zero and never beyond the buffer.
std::string_view InfoText(const uint8_t (&buffer)[kInfoBufferSize])
{
    const char* text = reinterpret_cast<const char*>(buffer);
    return {text, strnlen(text, kInfoBufferSize)};
}

} // namespace

UpgradeLookup FindUpgradePlan()
{
    UpgradeLookup result;
    // A radio that cannot say (the command failed) is taken for TORVA.
    const Platform platform = HasExtendedIcVersion() ? Platform::Meq : Platform::Torva;
    if (!IsPlatformIdentifier(PlatformIdentifier())) return result;

    uint8_t modelNumber[kInfoBufferSize] = {};
    if (!ReadModelNumber(modelNumber)) return result;
    uint8_t partNumber[kInfoBufferSize] = {};
    if (!ReadCodeplugPartNumber(partNumber)) return result;

    const int row = FindModelRow(InfoText(modelNumber), InfoText(partNumber), platform);
    if (row < 0) return result;
    result.modelRow = row;
    result.column = row % kModelColumns;
    result.codeplugPartNumber = InfoText(partNumber);
    result.platform = platform;

    uint8_t version[kInfoBufferSize] = {};
    if (!ReadSoftwareVersion(version)) return result;
    result.plan = FindVersionPlan(InfoText(version), result.column);
    return result;
}

UpgradeLookup LookupFromBackup(const EepromBackup& backup)
{
    UpgradeLookup result;
    if (backup.platform == BackupPlatform::Unknown) return result;
    const Platform platform = backup.platform == BackupPlatform::Meq ? Platform::Meq : Platform::Torva;
    const int row = FindModelRow(backup.modelNumber, backup.codeplugPartNumber, platform);
    if (row < 0) return result;
    result.modelRow = row;
    result.column = row % kModelColumns;
    result.codeplugPartNumber = backup.codeplugPartNumber;
    result.platform = platform;
    result.plan = FindVersionPlan(backup.softwareVersion, result.column);
    return result;
}

void KeepLookupIdentity(const UpgradeLookup& lookup, EepromBackup& backup)
{
    backup.codeplugPartNumber = lookup.codeplugPartNumber;
    backup.platform = lookup.platform == Platform::Meq ? BackupPlatform::Meq : BackupPlatform::Torva;
}

} // namespace vantrel
