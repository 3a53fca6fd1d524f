#include "cli/Interruption.h"

#include "platform/StopRequest.h"

namespace vantrel {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnStopSignal(int)
{
    RequestStop();
}

} // namespace

ScopedStopSignals::ScopedStopSignals()
{
    ClearStopRequest();
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait at the terminal ends at once. The handler is
    // reset by the first signal, so a second one ends the program.
    action.sa_flags = SA_RESETHAND;
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &action, &m_previous[i]);
}

ScopedStopSignals::~ScopedStopSignals()
{
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &m_previous[i], nullptr);
    ClearStopRequest();
}

std::string UpgradeStandingText(UpgradeStage stage)
{
    switch (stage) {
    case UpgradeStage::Checking:
        return "Nothing was written to the radio.";
    case UpgradeStage::Marked:
        return "The radio is in normal operation; this run may have set its codeplug marker and tag byte. "
               "Running the upgrade again is safe.";
    case UpgradeStage::Bootstrap:
        return "The radio is in bootstrap mode or runs the bootcode; its EEPROM data and firmware are as they were. "
               "Set the flash adapter switch to OFF(Normal Operation) and turn the radio off and on, or run the "
               "upgrade again.";
    case UpgradeStage::EepromWriting:
        return "The radio's EEPROM data may be partly written. Write the backup back with: vantrel-cli restore "
               "BACKUP (the radio in bootstrap mode), then run the upgrade again.";
    case UpgradeStage::Flashing:
        return "The radio's EEPROM data is written; its firmware is erased or incomplete. Leave the flash adapter "
               "switch ON(Flash Mode) and run the upgrade again to flash it.";
    case UpgradeStage::Done:
        return "The upgrade was complete.";
    }
    return {};
}

} // namespace vantrel
