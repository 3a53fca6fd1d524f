#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// How an operation ended.
enum class ServiceOutcome { Succeeded, Failed, Cancelled };
const char* OutcomeName(ServiceOutcome outcome); // "succeeded", "failed", "cancelled"
bool OutcomeFromName(const std::string& name, ServiceOutcome& outcome);

// One operation on a radio as the service history keeps it: what the operation
// knew when it ended. A field the operation never learnt stays empty (a
// restore in bootstrap mode cannot ask the radio who it is).
struct ServiceRecord {
    int64_t id = 0;          // the history's own number, in the order recorded
    std::string time;        // when it began, UTC, "2024-01-31T15:45:02Z"
    std::string operation;   // info, region-read, region-write, upgrade, flash-firmware,
                             // write-codeplug, patch, unpatch, restore, recovery
    std::string frontEnd;    // "cli", "gui", ...
    std::string port;        // "COM1"
    std::string device;      // what the port reached: "/dev/ttyUSB0", "sim:default"
    uint32_t rate = 0;       // Bd of the operation's main part (the flash rate for the loader)
    std::string modelNumber; // read-info items as the Radio Info dialog shows them
    std::string serialNumber;
    std::string esn;
    std::string softwareBefore;
    std::string softwareAfter; // empty when the operation cannot know it
    std::string codeplugBefore;
    std::string codeplugAfter;
    ServiceOutcome outcome = ServiceOutcome::Failed;
    uint32_t resultId = 0;   // the final message; 0 when none was shown
    std::string resultText;  // its text as shown
    std::string detail;      // the first failure's own message, when another one ended the run
    uint64_t durationMs = 0; // on the program's clock
    std::string backupFile;  // the EEPROM backup or undo file the operation saved
    std::string programVersion;

    bool operator==(const ServiceRecord&) const = default;
};

} // namespace vantrel
