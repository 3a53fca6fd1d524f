#include "upgrade/RestoreBackup.h"
#include "upgrade/UpgradeRig.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr uint8_t kOpEraseFlash = 0x15;
constexpr uint8_t kOpWriteMemory = 0x17;

// The numbers of the requests of a clean upgrade that write EEPROM or flash
// (erase included), as the simulated radio counts them for its faults.
std::vector<uint32_t> WriteRequestNumbers(const std::string& profile)
{
    UpgradeRig clean(profile);
    EXPECT_EQ(clean.Run().outcome, UpgradeOutcome::Succeeded);
    std::vector<uint32_t> numbers;
    const auto& requests = clean.Radio().Requests();
    for (size_t i = 0; i < requests.size(); ++i) {
        const uint8_t opcode = DecodeRadioRequest(requests[i]).opcode;
        if (opcode == kOpWriteMemory || opcode == kOpEraseFlash) numbers.push_back(static_cast<uint32_t>(i + 1));
    }
    return numbers;
}

// Power lost at any write of an upgrade, the operator cancelling the Retry,
// then a restore from the backup the run saved: the radio's EEPROM is byte for
// byte what it was before the run, over the image it was written in the new
// layout, the codeplug marker and the tag byte alike.
TEST(UpgradeBackupCoverage, RestoreAfterPowerLossAtAnyWriteGivesTheEepromBack)
{
    // A conversion that writes more than it read, and a hardware-only upgrade.
    for (const char* profile : {"phase12-r2", "default"}) {
        const std::vector<uint32_t> writes = WriteRequestNumbers(profile);
        ASSERT_GT(writes.size(), 20u);
        for (uint32_t n : writes) {
            SCOPED_TRACE(std::string(profile) + ", power lost at request " + std::to_string(n));
            UpgradeRig rig(profile, "power@msg:" + std::to_string(n));
            rig.feedback.QueueAnswer(1); // the bootstrap prompt
            rig.feedback.QueueAnswer(0); // Cancel at the failed write
            const UpgradeResult result = rig.Run();
            ASSERT_EQ(result.outcome, UpgradeOutcome::Failed);
            ASSERT_FALSE(result.backupPath.empty());

            rig.feedback.ForgetAnswers();
            rig.Radio().PowerOn();
            ASSERT_EQ(RestoreBackup(result.backupPath, rig.settings.portIndex, rig.settings.flashRate,
                                    rig.settings.programFolder),
                      RestoreOutcome::Restored);
            rig.clock.Sleep(1000);
            rig.line->Sync();
            ASSERT_EQ(rig.Eeprom(), rig.eepromBefore);
        }
    }
}

} // namespace
} // namespace vantrel
