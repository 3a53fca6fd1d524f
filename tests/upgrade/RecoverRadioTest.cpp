#include "upgrade/RecoverRadio.h"

#include "codeplug/CodeplugLayout.h"
#include "codeplug/EepromBackup.h"
#include "link/RadioLink.h"
#include "operations/RadioInfo.h"
#include "platform/Files.h"
#include "upgrade/UpgradeRig.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr const char* kProfile = "phase12-r2";
constexpr uint32_t kFlashBase = 0x400000;

// What a clean upgrade of the profile's radio leaves in it.
struct CleanUpgrade {
    std::vector<uint8_t> eeprom;
    std::map<uint32_t, SimFlash::Page> flash;
    explicit CleanUpgrade(const std::string& profile)
    {
        UpgradeRig rig(profile);
        EXPECT_EQ(rig.Run().outcome, UpgradeOutcome::Succeeded);
        eeprom = rig.Eeprom();
        flash = rig.Radio().State().flash.Pages();
    }
};

const CleanUpgrade& Clean()
{
    static const CleanUpgrade clean(kProfile);
    return clean;
}

// An upgrade that lost its power somewhere and was cancelled at the Retry box.
struct PowerLoss {
    const char* name;
    std::function<std::string()> fault;
};

RecoverySettings SettingsOf(const UpgradeRig& rig, const std::string& backup)
{
    RecoverySettings settings;
    settings.portIndex = rig.settings.portIndex;
    settings.flashRate = rig.settings.flashRate;
    settings.programFolder = rig.settings.programFolder;
    settings.backupPath = backup;
    return settings;
}

RecoveryOutcome Recover(UpgradeRig& rig, const RecoverySettings& settings)
{
    const RecoveryOutcome outcome = RecoverRadio(settings);
    rig.clock.Sleep(1000);
    rig.line->Sync();
    return outcome;
}

// The radio answers Radio Info as it did before the upgrade.
bool AnswersRadioInfo(UpgradeRig& rig)
{
    const RadioInfoResult info = ReadRadioInfo(rig.settings.portIndex);
    rig.line->Sync();
    return info.outcome == RadioInfoOutcome::Ok && info.fields.serialNumber == "742TQK1234";
}

class RecoveryAfterPowerLoss : public ::testing::TestWithParam<PowerLoss> {};

TEST_P(RecoveryAfterPowerLoss, GivesTheRadioOfACleanUpgrade)
{
    // Each rig runs its own bench: the reference is made before this radio exists.
    const CleanUpgrade& clean = Clean();
    UpgradeRig rig(kProfile, GetParam().fault());
    rig.feedback.QueueAnswer(1); // the bootstrap prompt
    rig.feedback.QueueAnswer(0); // Cancel at the Retry box
    const UpgradeResult failed = rig.Run();
    ASSERT_EQ(failed.outcome, UpgradeOutcome::Failed);
    ASSERT_FALSE(failed.backupPath.empty());
    // The final box names the backup and the way back.
    ASSERT_FALSE(rig.feedback.Notes().empty());
    EXPECT_EQ(rig.feedback.Notes().back(),
              "To bring the radio back, run: vantrel-cli recover --backup " + failed.backupPath);
    EXPECT_FALSE(AnswersRadioInfo(rig)) << "the failed run leaves a radio that does not work";

    rig.feedback.Clear();
    rig.Radio().SetFaults({});
    EXPECT_EQ(Recover(rig, SettingsOf(rig, failed.backupPath)), RecoveryOutcome::Recovered);
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20230}));
    EXPECT_EQ(rig.Eeprom(), clean.eeprom);
    EXPECT_EQ(rig.Radio().State().flash.Pages(), clean.flash);
    EXPECT_TRUE(rig.FlashHoldsFirmware());
    EXPECT_TRUE(AnswersRadioInfo(rig));
}

INSTANTIATE_TEST_SUITE_P(
    Upgrade, RecoveryAfterPowerLoss,
    ::testing::Values(PowerLoss{"DuringTheErase", [] { return std::string("power@erase:1"); }},
                      PowerLoss{"DuringTheFlashing",
                                [] {
                                    return "power@msg:" +
                                           std::to_string(RequestNumber(kProfile, WriteAt(kFlashBase + 32)));
                                }},
                      PowerLoss{"DuringTheEepromWrite",
                                [] { return "power@msg:" + std::to_string(RequestNumber(kProfile, WriteAt(300))); }}),
    [](const ::testing::TestParamInfo<PowerLoss>& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
