#include "codeplug/CodeplugLayout.h"
#include "link/StringTable.h"
#include "sim/SimOperator.h"
#include "upgrade/RecoverRadio.h"
#include "upgrade/UpgradeRig.h"

#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr const char* kProfile = "phase12-r2";

// The technician sets the adapter back to OFF(Normal Operation) and turns the
// radio off and on, as the Upgrade Radio dialog asks before a run.
void BackToNormal(UpgradeRig& rig)
{
    SimOperator::ReturnToNormal(*rig.line);
    rig.clock.Sleep(500);
    rig.line->Sync();
}

struct Memories {
    std::vector<uint8_t> eeprom;
    std::map<uint32_t, SimFlash::Page> flash;
    explicit Memories(UpgradeRig& rig) : eeprom(rig.Eeprom()), flash(rig.Radio().State().flash.Pages())
    {
        // The tag byte tells one run from another: each run picks one the
        // radio does not hold yet, so a second run's differs from a first's.
        eeprom[kTagByteAddress] = 0;
    }
    bool operator==(const Memories&) const = default;
};

const Memories& CleanUpgrade()
{
    static const Memories clean = [] {
        UpgradeRig rig(kProfile);
        EXPECT_EQ(rig.Run().outcome, UpgradeOutcome::Succeeded);
        return Memories(rig);
    }();
    return clean;
}

constexpr const char* kSavedTo = "The radio's EEPROM data was saved to ";

std::string Text(uint32_t id)
{
    return LoadMessageText(id);
}

// An upgrade that stopped somewhere, the technician's next step, and what a
// fresh upgrade then does.
struct Rerun {
    const char* name;
    std::function<std::string()> fault;
    std::vector<uint32_t> messages; // of the fresh run
    // The notes of the fresh run, the first failed run's backup path given.
    std::function<std::vector<std::string>(const std::string& backup)> notes;
    // The fresh run finished the upgrade; otherwise a recovery with the
    // backup it points to does.
    bool finishes;
};

class UpgradeAfterAFailedOne : public ::testing::TestWithParam<Rerun> {};

TEST_P(UpgradeAfterAFailedOne, NeverConvertsTheCodeplugTwice)
{
    const Rerun& rerun = GetParam();
    const Memories& clean = CleanUpgrade();
    UpgradeRig rig(kProfile, rerun.fault());
    rig.feedback.QueueAnswer(1); // the bootstrap prompt
    rig.feedback.QueueAnswer(0); // Cancel at the Retry box
    const UpgradeResult failed = rig.Run();
    ASSERT_EQ(failed.outcome, UpgradeOutcome::Failed);
    ASSERT_FALSE(failed.backupPath.empty());
    rig.Radio().SetFaults({});
    BackToNormal(rig);
    const std::vector<uint8_t> eepromBefore = rig.Eeprom();

    rig.feedback.Clear();
    const UpgradeResult fresh = rig.Run();
    EXPECT_EQ(rig.feedback.Messages(), rerun.messages);
    std::vector<std::string> notes = rig.feedback.Notes();
    // Where this run saved the radio's data (a new file each run).
    for (std::string& note : notes)
        if (note.starts_with(kSavedTo)) note = kSavedTo;
    EXPECT_EQ(notes, rerun.notes(failed.backupPath));
    if (rerun.finishes) {
        EXPECT_EQ(fresh.outcome, UpgradeOutcome::Succeeded);
        EXPECT_EQ(Memories(rig), clean);
        return;
    }
    // Stopped before anything was written, pointing to the recovery.
    EXPECT_EQ(fresh.outcome, UpgradeOutcome::Failed);
    EXPECT_EQ(rig.Eeprom(), eepromBefore);
    EXPECT_EQ(rig.Backups().size(), 1u) << "the stopped run saves no backup of the broken data";

    RecoverySettings settings;
    settings.flashRate = rig.settings.flashRate;
    settings.programFolder = rig.settings.programFolder;
    settings.backupPath = failed.backupPath;
    EXPECT_EQ(RecoverRadio(settings), RecoveryOutcome::Recovered);
    rig.line->Sync();
    EXPECT_EQ(Memories(rig), clean);
}

INSTANTIATE_TEST_SUITE_P(
    Upgrade, UpgradeAfterAFailedOne,
    ::testing::Values(
        // The erase was refused: the EEPROM holds the converted codeplug, the old
        // firmware still runs and answers.
        Rerun{"EepromWrittenFirmwareIntact",
              [] {
                  const uint32_t n = RequestNumber(kProfile, Opcode(0x15));
                  return "nak@" + std::to_string(n) + "-" + std::to_string(n + 4);
              },
              {20133, 20154},
              [](const std::string&) {
                  return std::vector<std::string>{Text(20241), kSavedTo};
              },
              true},
        // Power lost in the middle of the EEPROM write: half new, half old.
        // Found while the radio still runs its firmware: no bootstrap prompt.
        Rerun{"EepromPartlyWritten",
              [] { return "power@msg:" + std::to_string(RequestNumber(kProfile, WriteAt(690))); },
              {20146},
              [](const std::string& backup) {
                  return std::vector<std::string>{
                      Text(20242), "To bring the radio back, run: vantrel-cli recover --backup " + backup};
              },
              false},
        // Power lost while flashing: the radio's own firmware is gone.
        Rerun{"FirmwareErased",
              [] { return "power@msg:" + std::to_string(RequestNumber(kProfile, WriteAt(0x400020))); },
              {20148},
              [](const std::string&) {
                  return std::vector<std::string>{MessageWith(20239, {"COM1", "sim:phase12-r2"}), Text(20236)};
              },
              false}),
    [](const ::testing::TestParamInfo<Rerun>& info) { return std::string(info.param.name); });

TEST(UpgradeNotes, APortThatDoesNotOpenIsNamedAndNothingIsSent)
{
    UpgradeRig rig(kProfile);
    rig.router.SetSlotTarget(1, "sim:no-such-radio");
    rig.settings.portIndex = 1;
    EXPECT_EQ(rig.Run().outcome, UpgradeOutcome::Failed);
    // The port's own box (no such device), then the upgrade's summary.
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20270, 20146}));
    ASSERT_EQ(rig.feedback.Notes().size(), 1u);
    const std::string note = rig.feedback.Notes()[0];
    EXPECT_EQ(note.rfind("Nothing was sent to the radio: COM2 (sim:no-such-radio) could not be opened: ", 0), 0u)
        << note;
    EXPECT_NE(note.find("phase12-r2"), std::string::npos) << "the reason names the radios there are: " << note;
    EXPECT_TRUE(rig.Radio().Requests().empty());
}

} // namespace
} // namespace vantrel
