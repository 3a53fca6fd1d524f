#include "upgrade/FindUpgradePlan.h"

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

    uint8_t version[kInfoBufferSize] = {};
    if (!ReadSoftwareVersion(version)) return result;
    result.plan = FindVersionPlan(InfoText(version), result.column);
    return result;
}

} // namespace vantrel
