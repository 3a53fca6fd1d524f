#pragma once

#include <cstdint>

namespace vantrel {

// One row of the model table. Empty rows have empty strings.
struct ModelRow {
    const char* codeplugSourceFile;  // S-record source of the EEPROM data file, "<kit>_<model>.0"
    const char* eepromDataFile;  // the EEPROM data file, "<kit>_<model>.mot"
    const char* modelNumber;  // 10 characters
    const char* codeplugKey;  // 10 characters, '*' is a wildcard
};

constexpr int kModelTableRows = 360;  // 40 groups of 9; row % 9 is the variant column
constexpr int kModelColumns = 9;
constexpr int kPlatformIdentifierSize = 16;

const ModelRow& ModelTableRow(int index);
const uint8_t* PlatformIdentifier();  // kPlatformIdentifierSize bytes

// True when the program carries the sample product data, which serve the
// simulated radio only; every sample model number then begins with
// kSampleModelPrefix.
bool IsSampleProductData();
constexpr const char* kSampleModelPrefix = "SAMPLE";

}  // namespace vantrel
