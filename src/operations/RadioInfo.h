#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The ten fields of the Radio Info dialog, decoded.
struct RadioInfoFields {
    std::string modelNumber;  // item 0
    std::string serialNumber;  // item 1
    std::string esn;  // item 2
    std::string softwareVersion;  // item 3
    std::string codeplugVersion;  // item 4
    std::string lastProgrammed;  // item 10
    std::string codeplugPartNumber;  // item 11
    std::string firmwarePartNumber;  // item 12
    std::string icVersions;  // item 14
    std::string regionalId;  // item 16 (the dialog keeps it hidden)
};

enum class RadioInfoOutcome {
    Ok,  // fields filled, radio reset
    PortOpenFailed,  // the port-open failure box was shown
    CommunicationError,  // 20157 was shown; the radio was not reset
};

// A read-info value as the radio sent it, for output that shows values as read
// (the command line's JSON). answered is false for an item that was not
// supported or refused.
struct RadioItemValue {
    bool answered = false;
    std::vector<uint8_t> bytes;
};
constexpr int kRadioInfoItemCount = 17; // read-info items 0 to 16

struct RadioInfoResult {
    RadioInfoOutcome outcome = RadioInfoOutcome::CommunicationError;
    RadioInfoFields fields;
    std::array<RadioItemValue, kRadioInfoItemCount> values; // by item number
};

// Opens COM<portIndex + 1> at 9600 Bd, reads the ten items, resets the radio and
// closes the port. Failures are shown through the current feedback.
RadioInfoResult ReadRadioInfo(int portIndex);

}  // namespace vantrel
