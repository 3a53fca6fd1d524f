#include "sim/SimSamplePatch.h"

#include "sim/SimProfiles.h"

#include <set>

namespace vantrel {
namespace {

constexpr uint8_t kItemModel = 0;
constexpr uint8_t kItemCodeplugVersion = 4;
const char* const kProfiles[] = {kSimDefaultProfile, "phase12-r2"};

std::string ItemText(const SimRadioConfig& config, uint8_t item)
{
    const auto& value = config.state.items[item].value;
    return {value.begin(), value.end()};
}

// "R03.07.00" → "R03.07.*": every codeplug of the same release.
std::string ReleasePattern(const std::string& version)
{
    const auto dot = version.rfind('.');
    return (dot == std::string::npos ? version : version.substr(0, dot + 1)) + "*";
}

} // namespace

std::string SimSamplePatchText()
{
    std::set<std::string> models;
    std::set<std::string> codeplugs;
    for (const char* profile : kProfiles) {
        SimRadioConfig config;
        if (!MakeSimProfile(profile, config)) continue;
        models.insert(ItemText(config, kItemModel));
        codeplugs.insert(ReleasePattern(ItemText(config, kItemCodeplugVersion)));
    }
    std::string text = "# Sample patch for the patch tool (vantrel-mendkit, vantrel-cli patch), made at\n"
                       "# build time to fit the simulated radios: the default profile (Phase 3) and\n"
                       "# phase12-r2 (Phase 1/2). Offsets count from the first byte of hardware block 3.\n"
                       "mendkit-patch 1\n"
                       "name Sample patch: two settings bytes of hardware block 3\n";
    for (const std::string& model : models)
        text += "model " + model + "\n";
    for (const std::string& codeplug : codeplugs)
        text += "codeplug " + codeplug + "\n";
    text += "set phase3 10 0x5A\n"
            "set phase3 11 0x01\n"
            "set phase12 10 0x5A\n"
            "set phase12 11 0x01\n";
    return text;
}

} // namespace vantrel
