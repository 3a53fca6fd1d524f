#include "sim/SimProfiles.h"

#include <functional>
#include <string_view>

#include "data/ModelTable.h"
#include "data/ModelTableRules.h"
#include "data/VersionTable.h"
#include "sim/CodeplugGenerator.h"
#include "codeplug/CodeplugLayout.h"

#include <algorithm>

namespace vantrel {
namespace {

// The radios are built from the product data (model table, platform
// identifier), so that each profile meets the lookup the way its name says,
// whatever data the program carries.

// Part numbers that no row names: such a radio is taken only by a default-key
// or wildcard row.
constexpr const char* kUnlistedTorvaPart = "TORVA_CP25";
constexpr const char* kUnlistedMeqPart = "MEQ_CP0012";

bool ColumnServes(const char* version, int column)
{
    for (const VersionRecord* r = VersionTable(); !IsVersionTerminator(*r); ++r) {
        if (std::string_view(r->version) == version) return r->plan[column].supported != 0;
    }
    return false;
}

// The first filled row with the key (kind "part number": any specific key)
// whose column serves the version; row 0's strings when there is none.
const ModelRow& FirstRow(std::string_view keyKind, const char* version = "R03.08.08")
{
    for (int j = 0; j < kModelTableRows; ++j) {
        const ModelRow& row = ModelTableRow(j);
        if (IsEmptyModelRow(row) || !ColumnServes(version, j % kModelColumns)) continue;
        const bool specific = !IsCatchAllKey(row.codeplugKey);
        if (keyKind == "part number" ? specific : keyKind == row.codeplugKey) return row;
    }
    return ModelTableRow(0);
}

std::vector<uint8_t> PlatformIdentifierBytes()
{
    return {PlatformIdentifier(), PlatformIdentifier() + kPlatformIdentifierSize};
}

// The codeplug a sample radio carries, by the firmware release it runs.
enum class Codeplug {
    OldLayout2, // release 1 and 2 firmware: old application layout, version 2
    OldLayout3, // release 2 firmware on Phase 3 radios: old layout, version 3
    NewLayout,  // release 3 firmware
};

// Identity of one sample radio. By default a TORVA radio whose codeplug part
// number is the specific key of a model row.
struct SampleIdentity {
    std::string model = FirstRow("part number").modelNumber;
    std::string serial = "742TQK1234";
    std::vector<uint8_t> esn = {0x8A, 0x12, 0x34, 0x56, 0x78};
    std::string software = "R03.07.05";
    std::string codeplugVersion = "R03.07.00";
    std::vector<uint8_t> battery = {0x00};
    std::string programmed = "2019-04-17";
    std::string codeplugPart = FirstRow("part number").codeplugKey;
    std::string firmwarePart = "TORVA_FW38";
    std::vector<uint8_t> icVersions = {0x21, 0x10, 0x03, 0x07};
    std::vector<uint8_t> platformId = PlatformIdentifierBytes();
    uint8_t region = 1;
    bool phase3 = true;
    Codeplug codeplug = Codeplug::NewLayout;
    uint8_t marker = 0xC3; // the codeplug marker the radio's firmware left
    uint32_t seed = 1;
    std::vector<int> unsupportedItems;
};

std::vector<uint8_t> Text(const std::string& s)
{
    return {s.begin(), s.end()};
}

// The serial number in block 1's record, as a radio keeps it there too.
void PutSerial(CodeplugDescription& description, const std::string& serial)
{
    GeneratedBlock* block1 = description.Block(1);
    if (block1 == nullptr || block1->records.size() < kSerialNumberSize) return;
    std::fill_n(block1->Record(0) + kRecordSerialNumber, kSerialNumberSize, uint8_t{' '});
    std::copy_n(serial.begin(), std::min<size_t>(serial.size(), kSerialNumberSize),
                block1->Record(0) + kRecordSerialNumber);
}

std::vector<uint8_t> BuildEeprom(const SampleIdentity& id)
{
    CodeplugDescription description;
    if (id.codeplug == Codeplug::NewLayout) {
        NewCodeplugOptions options;
        options.marker = id.marker;
        options.seed = id.seed;
        description = DescribeNewCodeplug(options);
    } else {
        OldCodeplugOptions options;
        options.phase3 = id.phase3;
        options.layoutVersion = id.codeplug == Codeplug::OldLayout3 ? 3 : 2;
        options.marker = id.marker;
        options.seed = id.seed;
        description = DescribeOldCodeplug(options);
    }
    PutSerial(description, id.serial);
    const std::vector<uint8_t> codeplug = BuildCodeplugImage(description);
    std::vector<uint8_t> eeprom(kSimEepromSize, 0xFF);
    std::copy_n(codeplug.begin(), std::min(codeplug.size(), eeprom.size()), eeprom.begin());
    return eeprom;
}

SimRadioConfig BuildRadio(const std::string& profile, const SampleIdentity& id)
{
    SimRadioConfig config;
    config.profile = profile;
    auto& items = config.state.items;
    auto set = [&items](int item, std::vector<uint8_t> value) {
        items[static_cast<size_t>(item)] = SimInfoItem{true, std::move(value)};
    };
    set(0, Text(id.model));
    set(1, Text(id.serial));
    set(2, id.esn);
    set(3, Text(id.software));
    set(4, Text(id.codeplugVersion));
    set(kSimItemBattery, id.battery);
    set(10, Text(id.programmed));
    set(11, Text(id.codeplugPart));
    set(12, Text(id.firmwarePart));
    set(14, id.icVersions);
    set(15, id.platformId);
    set(kSimItemRegion, {id.region});
    for (int item : id.unsupportedItems)
        items[static_cast<size_t>(item)].supported = false;
    config.state.eeprom = BuildEeprom(id);
    return config;
}

// A radio with release 1 or 2 firmware: the old application layout, and the
// marker value such firmware leaves (below 127, so the upgrade inverts it).
void OldRadio(SampleIdentity& id, bool phase3, Codeplug codeplug, const char* software, const char* codeplugVersion)
{
    id.phase3 = phase3;
    id.codeplug = codeplug;
    id.software = software;
    id.codeplugVersion = codeplugVersion;
    id.marker = 0x3C;
}

struct Profile {
    const char* name;
    std::function<void(SampleIdentity&)> adjust;
};

const std::vector<Profile>& Profiles()
{
    static const std::vector<Profile> profiles = {
        {kSimDefaultProfile, [](SampleIdentity&) {}},
        // Release 1 runs only on the models of some columns.
        {"phase12-r1",
         [](SampleIdentity& id) {
             OldRadio(id, false, Codeplug::OldLayout2, "R01.00.20", "R01.00.20");
             id.model = FirstRow("part number", "R01.00.20").modelNumber;
             id.codeplugPart = FirstRow("part number", "R01.00.20").codeplugKey;
             id.seed = 2;
         }},
        {"phase12-r2",
         [](SampleIdentity& id) {
             OldRadio(id, false, Codeplug::OldLayout2, "R02.02.04", "R02.02.00");
             id.seed = 3;
         }},
        {"phase3-r2",
         [](SampleIdentity& id) {
             OldRadio(id, true, Codeplug::OldLayout3, "R02.01.03", "R02.01.00");
             id.seed = 4;
         }},
        // Taken only by its model's "MEQ_DEF***" row: a TORVA radio of the same
        // model and part number is not supported.
        {"meq",
         [](SampleIdentity& id) {
             id.model = FirstRow(kMeqDefaultKey).modelNumber;
             id.codeplugPart = kUnlistedMeqPart;
             id.firmwarePart = "MEQ_FW0038";
             id.icVersions = {0x21, 0xFE, 0x03, 0x07};
             id.seed = 5;
         }},
        // A release 2 MEQ radio, also taken by its model's default-key row.
        {"meq-r2",
         [](SampleIdentity& id) {
             OldRadio(id, true, Codeplug::OldLayout3, "R02.02.03", "R02.02.00");
             id.model = FirstRow(kMeqDefaultKey, "R02.02.03").modelNumber;
             id.codeplugPart = kUnlistedMeqPart;
             id.firmwarePart = "MEQ_FW0038";
             id.icVersions = {0x21, 0xFE, 0x03, 0x07};
             id.seed = 6;
         }},
        {"default-key",
         [](SampleIdentity& id) {
             id.model = FirstRow(kTorvaDefaultKey).modelNumber;
             id.codeplugPart = kUnlistedTorvaPart;
         }},
        {"wildcard",
         [](SampleIdentity& id) {
             id.model = FirstRow(kWildcardKey).modelNumber;
             id.codeplugPart = kUnlistedMeqPart;
         }},
        // Listed twice in the version table; the first record counts.
        {"r03-04-00", [](SampleIdentity& id) { id.software = "R03.04.00"; }},
        // Item 15 one byte short, or one byte long after the right 16.
        {"platform-15", [](SampleIdentity& id) { id.platformId.pop_back(); }},
        {"platform-17", [](SampleIdentity& id) { id.platformId.push_back(0x00); }},
        {"low-battery", [](SampleIdentity& id) { id.battery = {0x01}; }},
        {"unsupported", [](SampleIdentity& id) { id.model = "X99ZZZ9Z9Z"; }},
        {"partial-info",
         [](SampleIdentity& id) {
             id.unsupportedItems = {1, 10, 12};
         }},
        {"no-region", [](SampleIdentity& id) { id.region = 0xFF; }},
        // Texts no real radio should send but a faulty one might: terminal
        // control sequences (clear screen, set the window title, bell, C1 CSI)
        // and 8-bit bytes. Output must show them escaped, never act on them.
        {"control-text",
         [](SampleIdentity& id) {
             id.model = "\x1B[2J\x1B]0;X\x07\x9B";
             id.serial = "742\xE9QK\\12";
             id.firmwarePart = "TORVA\xFF\001FW38";
         }},
    };
    return profiles;
}

} // namespace

bool MakeSimProfile(const std::string& name, SimRadioConfig& config)
{
    for (const auto& p : Profiles()) {
        if (name == p.name) {
            SampleIdentity id;
            p.adjust(id);
            config = BuildRadio(name, id);
            return true;
        }
    }
    return false;
}

std::vector<std::string> SimProfileNames()
{
    std::vector<std::string> names;
    for (const auto& p : Profiles())
        names.emplace_back(p.name);
    return names;
}

} // namespace vantrel
