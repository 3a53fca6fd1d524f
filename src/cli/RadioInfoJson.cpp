#include "cli/RadioInfoJson.h"

#include "cli/JsonObject.h"
#include "link/ItemText.h"
#include "link/RadioCommands.h"
#include "link/StringTable.h"
#include "operations/RadioInfoFormat.h"
#include "operations/RegionalId.h"

#include <vector>

namespace vantrel {

std::string RegionJson(uint8_t value)
{
    const int position = RegionPosition(value);
    return JsonObject()
        .Text("name", position < 0 ? "Invalid Region" : LoadMessageText(RegionNameId(position)))
        .Number("value", value)
        .Str();
}

std::string RadioInfoJson(const RadioInfoResult& result)
{
    const auto& values = result.values;
    JsonObject json;
    const std::pair<const char*, uint8_t> texts[] = {
        {"modelNumber", kItemModelNumber},
        {"serialNumber", kItemSerialNumber},
        {"softwareVersion", kItemSoftwareVersion},
        {"codeplugVersion", kItemCodeplugVersion},
        {"lastProgrammed", kItemLastProgrammed},
        {"codeplugPartNumber", kItemCodeplugPartNumber},
        {"firmwarePartNumber", kItemFirmwarePartNumber},
    };
    for (const auto& [name, item] : texts) {
        const RadioItemValue& v = values[item];
        if (!v.answered)
            json.Null(name);
        else
            json.Text(name, EscapedRadioText(FormatText(v.bytes.data(), static_cast<uint32_t>(v.bytes.size()))));
    }

    const RadioItemValue& esn = values[kItemEsn];
    if (esn.answered && esn.bytes.size() == 5)
        json.Text("esn", FormatEsn(esn.bytes.data(), 5));
    else
        json.Null("esn");

    const RadioItemValue& ic = values[kItemIcVersions];
    if (ic.answered) {
        std::vector<std::string> numbers;
        for (const uint8_t b : ic.bytes)
            numbers.push_back(std::to_string(b));
        json.Raw("icVersions", JsonArray(numbers));
    } else {
        json.Null("icVersions");
    }

    const RadioItemValue& region = values[kItemRegionalId];
    if (region.answered && region.bytes.size() == 1)
        json.Raw("regionalId", RegionJson(region.bytes[0]));
    else
        json.Null("regionalId");
    return json.Str();
}

} // namespace vantrel
