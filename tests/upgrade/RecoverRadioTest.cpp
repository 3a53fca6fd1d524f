#include "upgrade/RecoverRadio.h"

#include "codeplug/CodeplugLayout.h"
#include "codeplug/EepromBackup.h"
#include "data/ModelTable.h"
#include "link/RadioLink.h"
#include "operations/RadioInfo.h"
#include "platform/Files.h"
#include "upgrade/FindUpgradePlan.h"
#include "upgrade/UpgradeLengths.h"
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
    // The progress window says what runs while the bootstrap prompt is up.
    const std::vector<std::pair<uint32_t, uint32_t>> progress = rig.feedback.Progress();
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[1], std::make_pair(uint32_t{WM_PROGRESS_TEXT}, uint32_t{20246}));
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

namespace vantrel {
namespace {

// A radio left without firmware by an upgrade, and the backup that run saved.
struct ErasedRadio {
    UpgradeRig rig{kProfile, "power@erase:1"};
    std::string backup;
    ErasedRadio()
    {
        rig.feedback.QueueAnswer(1);
        rig.feedback.QueueAnswer(0);
        backup = rig.Run().backupPath;
        rig.Radio().SetFaults({});
        rig.feedback.Clear();
    }
};

// A recovery that must stop before the bootstrap prompt: nothing reaches the radio.
struct Refusal {
    const char* name;
    std::function<void(ErasedRadio&, RecoverySettings&)> setup;
    uint32_t message;
};

class RecoveryChecks : public ::testing::TestWithParam<Refusal> {};

TEST_P(RecoveryChecks, RefuseBeforeAnythingIsSent)
{
    ErasedRadio erased;
    ASSERT_FALSE(erased.backup.empty());
    RecoverySettings settings = SettingsOf(erased.rig, erased.backup);
    GetParam().setup(erased, settings);
    const size_t requests = erased.rig.Radio().Requests().size();
    const std::vector<uint8_t> eeprom = erased.rig.Eeprom();
    EXPECT_EQ(Recover(erased.rig, settings), RecoveryOutcome::Failed);
    EXPECT_EQ(erased.rig.feedback.Messages(), std::vector<uint32_t>{GetParam().message});
    EXPECT_EQ(erased.rig.Radio().Requests().size(), requests);
    EXPECT_EQ(erased.rig.Eeprom(), eeprom);
    EXPECT_TRUE(erased.rig.Radio().State().flash.IsErased());
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes));
    return bytes;
}

void Overwrite(const std::string& path, std::vector<uint8_t> bytes)
{
    std::filesystem::remove(path);
    EXPECT_TRUE(WriteFileAtomically(path, bytes.data(), bytes.size()));
}

// The backup with its EEPROM bytes changed and saved again, intact as a file.
void Rewrite(const std::string& path, const std::function<void(EepromBackup&)>& change)
{
    EepromBackup backup;
    std::string error;
    ASSERT_TRUE(ReadEepromBackup(path, backup, error)) << error;
    change(backup);
    std::filesystem::remove(path);
    ASSERT_TRUE(SaveEepromBackup(path, backup, error)) << error;
}

// How much of the backup the upgrade read as the radio's codeplug (the
// backup also holds what it was about to write beyond).
uint32_t ReadLength(const EepromBackup& b)
{
    const UpgradePlan plan = LookupFromBackup(b).plan;
    const uint32_t hardware = ReadBigEndian16(b.bytes, kHardwareLengthAddress);
    return UpgradeImageLength(plan, hardware, ReadBigEndian16(b.bytes, SecondLengthAddress(plan, hardware)));
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, RecoveryChecks,
    ::testing::Values(Refusal{"NothingChosen",
                              [](ErasedRadio&, RecoverySettings& s) {
                                  s.writeFirmware = false;
                                  s.backupPath.clear();
                              },
                              20232},
                      Refusal{"MissingFirmware",
                              [](ErasedRadio& e, RecoverySettings&) {
                                  std::filesystem::remove(e.rig.program.folder.File("tor5t.mot"));
                              },
                              20114},
                      Refusal{"TruncatedFirmware",
                              [](ErasedRadio& e, RecoverySettings&) {
                                  std::vector<uint8_t> bytes = FileBytes(e.rig.program.folder.File("tor5t.mot"));
                                  bytes.pop_back();
                                  Overwrite(e.rig.program.folder.File("tor5t.mot"), bytes);
                              },
                              20186},
                      Refusal{"MissingBackup", [](ErasedRadio&, RecoverySettings& s) { s.backupPath += ".gone"; },
                              20210},
                      Refusal{"DamagedBackup",
                              [](ErasedRadio& e, RecoverySettings&) {
                                  std::vector<uint8_t> bytes = FileBytes(e.backup);
                                  bytes[40] ^= 0x01;
                                  Overwrite(e.backup, bytes);
                              },
                              20209},
                      Refusal{"UnconvertibleCodeplugInBackup",
                              [](ErasedRadio& e, RecoverySettings&) {
                                  // The application codeplug's directory count no longer 32.
                                  Rewrite(e.backup, [](EepromBackup& b) { b.bytes[ReadLength(b) - 67] ^= 0x40; });
                              },
                              20209},
                      Refusal{"MissingEepromDataFile",
                              [](ErasedRadio& e, RecoverySettings&) {
                                  for (int row = 0; row < kModelTableRows; ++row)
                                      if (*ModelTableRow(row).eepromDataFile != 0)
                                          std::filesystem::remove(
                                              e.rig.program.folder.File(ModelTableRow(row).eepromDataFile));
                              },
                              20152}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(Recovery, CancelAtTheBootstrapPromptShowsNothingMore)
{
    ErasedRadio erased;
    erased.rig.feedback.QueueAnswer(0);
    const std::vector<uint8_t> eeprom = erased.rig.Eeprom();
    EXPECT_EQ(Recover(erased.rig, SettingsOf(erased.rig, erased.backup)), RecoveryOutcome::Cancelled);
    EXPECT_EQ(erased.rig.feedback.Messages(), std::vector<uint32_t>{20133});
    EXPECT_EQ(erased.rig.Eeprom(), eeprom);
}

TEST(Recovery, EepromOnlyWritesTheBackupAsSavedAfterSavingWhatTheRadioHolds)
{
    // Power lost in the EEPROM write: the old firmware still runs, and the
    // backup holds the data it runs with.
    UpgradeRig rig(kProfile, "power@msg:" + std::to_string(RequestNumber(kProfile, WriteAt(300))));
    rig.feedback.QueueAnswer(1);
    rig.feedback.QueueAnswer(0);
    const std::string backup = rig.Run().backupPath;
    rig.Radio().SetFaults({});
    rig.feedback.Clear();
    const size_t backupsBefore = rig.Backups().size();
    RecoverySettings settings = SettingsOf(rig, backup);
    settings.writeFirmware = false;
    EXPECT_EQ(Recover(rig, settings), RecoveryOutcome::Recovered);
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20230}));
    std::vector<uint8_t> now = rig.Eeprom();
    now[kTagByteAddress] = rig.eepromBefore[kTagByteAddress];
    EXPECT_EQ(now, rig.eepromBefore);
    EXPECT_TRUE(rig.FlashUntouched());
    EXPECT_EQ(rig.Backups().size(), backupsBefore + 1) << "the half-written data was saved first";
    EXPECT_TRUE(AnswersRadioInfo(rig));
}

TEST(Recovery, FlashingFailureIsRetriedOnTheSameRadioOnly)
{
    ErasedRadio erased;
    UpgradeRig& rig = erased.rig;
    // The first flashing loses its power; at the retry another radio is on the line.
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults("power@erase:2,tag@boot:3", plan, error)) << error;
    rig.Radio().SetFaults(plan);
    for (int answer : {1, 1, 0})
        rig.feedback.QueueAnswer(answer);
    RecoverySettings settings = SettingsOf(rig, "");
    EXPECT_EQ(Recover(rig, settings), RecoveryOutcome::Failed);
    // Retry, the radio is not the same one: asked again, Cancel.
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20158, 20159, 20158, 20231}));
    EXPECT_EQ(rig.feedback.Notes().back(), "To bring the radio back, run: vantrel-cli recover");
}

} // namespace
} // namespace vantrel
