#pragma once

#include <span>
#include <string>

#include "data/ModelTable.h"

namespace vantrel {

// Source and output names of the exports, relative to the folder.
constexpr const char* kFirmwareSourceName = "torva5t.0";
constexpr const char* kFirmwareRecordFileName = "tor5t.mot";
struct BootcodeNames {
    const char* source;
    const char* output;
};
constexpr BootcodeNames kBootcodeNames[3] = {
    {"bt19k_qel.0", "bt19.mot"},
    {"bt38k_qel.0", "bt38.mot"},
    {"bt115k_qel.0", "bt115.mot"},
};
constexpr uint32_t kBootcodeImageSize = 5000;

// The export commands: each turns the S-record sources of the folder (with its
// separator, as ProgramFolder() gives it) into the binary files the upgrade
// reads, reports through the current feedback (progress, the first failure,
// the success box) and returns whether everything was written. An output file
// appears complete or not at all; files finished before a failure stay.

// "torva5t.0" → firmware record file "tor5t.mot".
bool SaveFirmwareAsBinary(const std::string& folder);

// Each model's codeplug source → its EEPROM data file, over the model table.
bool SaveCodeplugsAsBinary(const std::string& folder);
// The same over the given rows.
bool SaveCodeplugsAsBinary(const std::string& folder, std::span<const ModelRow> rows);

// The three bootcode sources → "bt19.mot", "bt38.mot", "bt115.mot".
bool SaveBootcodesAsBinary(const std::string& folder);

}  // namespace vantrel
