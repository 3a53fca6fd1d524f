#include "sim/SimProfiles.h"

#include <functional>
#include <string_view>

#include "data/ModelTable.h"
#include "data/ModelTableRules.h"
#include "data/VersionTable.h"

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
    bool newApplicationLayout = true; // release 3 firmware
    std::vector<int> unsupportedItems;
};

std::vector<uint8_t> Text(const std::string& s)
{
    return {s.begin(), s.end()};
}

void PutBlock(std::vector<uint8_t>& e, uint32_t start, uint32_t length, uint8_t seed)
{
    // Block bytes, then the checksum that makes 0x5A minus their sum.
    uint8_t sum = 0;
    for (uint32_t i = 0; i + 1 < length; ++i) {
        if (e[start + i] == 0xFF) e[start + i] = static_cast<uint8_t>(seed + i * 7);
        sum = static_cast<uint8_t>(sum + e[start + i]);
    }
    e[start + length - 1] = static_cast<uint8_t>(0x5A - sum);
}

// A sample EEPROM: hardware codeplug blocks with valid checksums, the tuning
// length, and an application codeplug header with one block.
std::vector<uint8_t> BuildEeprom(const SampleIdentity& id)
{
    std::vector<uint8_t> e(kSimEepromSize, 0xFF);
    const uint32_t hw = id.phase3 ? 640 : 512;
    e[0] = static_cast<uint8_t>(hw >> 8);
    e[1] = static_cast<uint8_t>(hw & 0xFF);
    e[2] = 0x00;
    e[3] = 0x01;
    e[22] = id.phase3 ? 97 : 91;
    struct Block {
        uint32_t start, length;
    };
    const Block phase3[] = {{4, 17}, {21, 102}, {123, 106}, {229, 81}, {310, 198}, {508, 37}, {545, 95}};
    const Block phase12[] = {{4, 17}, {21, 96}, {117, 88}, {205, 80}, {285, 153}, {438, 37}, {475, 37}};
    uint8_t seed = 0x11;
    for (const Block& b : id.phase3 ? phase3 : phase12)
        PutBlock(e, b.start, b.length, seed += 0x13);

    // Application codeplug at L: header, length A, trailer and directory addresses, blocks.
    const uint32_t appLength = 0x0180;
    const uint32_t end = hw + appLength + 3;
    for (uint32_t i = 0; i < 5; ++i)
        e[hw + i] = static_cast<uint8_t>(0x30 + i);
    e[hw + 5] = static_cast<uint8_t>(appLength >> 8);
    e[hw + 6] = static_cast<uint8_t>(appLength & 0xFF);
    const uint32_t trailer = end - 8;
    const uint32_t directory = end - 4;
    e[hw + 7] = static_cast<uint8_t>(trailer >> 8);
    e[hw + 8] = static_cast<uint8_t>(trailer & 0xFF);
    e[hw + 9] = static_cast<uint8_t>(directory >> 8);
    e[hw + 10] = static_cast<uint8_t>(directory & 0xFF);
    // The codeplug marker (Phase 3 at 683, Phase 1/2 at 555) is set: at least 127.
    e[id.phase3 ? 683 : 555] = 0xC3;
    // First block: identifier, record length, count, records, checksum.
    const uint32_t first = hw + 11;
    const uint32_t record = id.newApplicationLayout ? 67 : 40;
    e[first] = 0x01;
    e[first + 1] = static_cast<uint8_t>(record >> 8);
    e[first + 2] = static_cast<uint8_t>(record & 0xFF);
    e[first + 3] = 0x01;
    PutBlock(e, first, record + 5, 0x42);
    for (uint32_t a = first + record + 5; a < trailer; ++a)
        e[a] = static_cast<uint8_t>(a * 13);
    return e;
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

struct Profile {
    const char* name;
    std::function<void(SampleIdentity&)> adjust;
};

const std::vector<Profile>& Profiles()
{
    static const std::vector<Profile> profiles = {
        {kSimDefaultProfile, [](SampleIdentity&) {}},
        {"phase12-r1",
         [](SampleIdentity& id) {
             id.phase3 = false;
             id.newApplicationLayout = false;
             id.software = "R01.00.21";
             id.codeplugVersion = "R01.00.20";
             id.model = FirstRow("part number", "R01.00.21").modelNumber;
             id.codeplugPart = FirstRow("part number", "R01.00.21").codeplugKey;
         }},
        {"phase12-r2",
         [](SampleIdentity& id) {
             id.phase3 = false;
             id.newApplicationLayout = false;
             id.software = "R02.02.04";
             id.codeplugVersion = "R02.02.00";
         }},
        {"phase3-r2",
         [](SampleIdentity& id) {
             id.newApplicationLayout = false;
             id.software = "R02.01.03";
             id.codeplugVersion = "R02.01.00";
         }},
        // Taken only by its model's "MEQ_DEF***" row: a TORVA radio of the same
        // model and part number is not supported.
        {"meq",
         [](SampleIdentity& id) {
             id.model = FirstRow(kMeqDefaultKey).modelNumber;
             id.codeplugPart = kUnlistedMeqPart;
             id.icVersions = {0x21, 0xFE, 0x03, 0x07};
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
