#include "upgrade/RestoreBackup.h"

#include "codeplug/EepromBackup.h"
#include "platform/Files.h"
#include "codeplug/CodeplugLayout.h"
#include "upgrade/UpgradeRig.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

// A radio whose upgrade stopped halfway through the EEPROM write, and the
// backup that run saved.
struct FailedUpgrade {
    UpgradeRig rig{"phase12-r2", "power@msg:" + std::to_string(RequestNumber("phase12-r2", WriteAt(90)))};
    UpgradeResult result;
    FailedUpgrade()
    {
        rig.feedback.QueueAnswer(1); // the bootstrap prompt
        rig.feedback.QueueAnswer(0); // Cancel at the failed write
        result = rig.Run();
        rig.feedback.Clear();
    }
    RestoreOutcome Restore(const std::string& path)
    {
        const RestoreOutcome outcome =
            RestoreBackup(path, rig.settings.portIndex, rig.settings.flashRate, rig.settings.programFolder);
        rig.clock.Sleep(1000);
        rig.line->Sync();
        return outcome;
    }
    std::vector<uint8_t> Codeplug() { return rig.EepromRange(0, kImageSize); }
    std::vector<uint8_t> CodeplugBefore() { return {rig.eepromBefore.begin(), rig.eepromBefore.begin() + kImageSize}; }
};

TEST(RestoreBackup, BringsAHalfUpgradedRadioBackToItsSavedData)
{
    FailedUpgrade failed;
    ASSERT_EQ(failed.result.outcome, UpgradeOutcome::Failed);
    ASSERT_FALSE(failed.result.backupPath.empty());
    // The power loss left the radio off; the prompt has the operator reconnect it.
    ASSERT_NE(failed.Codeplug(), failed.CodeplugBefore());
    failed.rig.Radio().PowerOn();

    const std::vector<uint8_t> halfUpgraded = failed.Codeplug();
    const std::vector<std::string> backupsBefore = failed.rig.Backups();

    EXPECT_EQ(failed.Restore(failed.result.backupPath), RestoreOutcome::Restored);
    EXPECT_EQ(failed.rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20207}));
    // Everything the upgrade changed is back, but for the tag byte outside the image.
    std::vector<uint8_t> now = failed.rig.Eeprom();
    now[kTagByteAddress] = failed.rig.eepromBefore[kTagByteAddress];
    EXPECT_EQ(now, failed.rig.eepromBefore);
    EXPECT_EQ(failed.rig.Radio().Mode(), SimMode::Normal);

    // What the radio held just before the restore was saved first, and the
    // operator was told where.
    const std::vector<std::string> backupsAfter = failed.rig.Backups();
    ASSERT_EQ(backupsAfter.size(), backupsBefore.size() + 1);
    std::string added;
    for (const std::string& name : backupsAfter)
        if (std::find(backupsBefore.begin(), backupsBefore.end(), name) == backupsBefore.end()) added = name;
    EepromBackup saved;
    std::string error;
    ASSERT_TRUE(ReadEepromBackup(failed.rig.BackupPath(added), saved, error)) << error;
    EXPECT_EQ(saved.start, 0u);
    EXPECT_EQ(saved.bytes, std::vector<uint8_t>(halfUpgraded.begin(), halfUpgraded.begin() + saved.bytes.size()));
    ASSERT_FALSE(failed.rig.feedback.Notes().empty());
    EXPECT_NE(failed.rig.feedback.Notes().back().find(added), std::string::npos);
}

TEST(RestoreBackup, NothingIsWrittenWhenTheRadiosDataCannotBeSavedFirst)
{
    FailedUpgrade failed;
    failed.rig.Radio().PowerOn();
    const std::vector<uint8_t> eepromBefore = failed.rig.Eeprom();
    // The data folder cannot be made (a file stands where it should be).
    failed.rig.data.Write("blocked", "");
    SetUserDataFolder(failed.rig.data.File("blocked") + "/backups/");
    failed.rig.feedback.QueueAnswer(1);
    const RestoreOutcome outcome = failed.Restore(failed.result.backupPath);
    EXPECT_EQ(outcome, RestoreOutcome::Failed);
    EXPECT_EQ(failed.rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20190}));
    EXPECT_EQ(failed.rig.Eeprom(), eepromBefore);
    SetUserDataFolder(failed.rig.data.Path());
}

TEST(RestoreBackup, WriteFailureIsRetriedAfterAReDownload)
{
    FailedUpgrade failed;
    failed.rig.Radio().PowerOn();
    // Power goes again during the restore's write; the operator retries once.
    SimFaultPlan plan;
    std::string error;
    // The restore reads the radio's current data first, 30 bytes a request.
    EepromBackup backup;
    ASSERT_TRUE(ReadEepromBackup(failed.result.backupPath, backup, error)) << error;
    const size_t reads = (backup.bytes.size() + 29) / 30;
    ASSERT_TRUE(ParseSimFaults("power@msg:" + std::to_string(failed.rig.Radio().MessageCount() + reads + 5), plan,
                               error));
    failed.rig.Radio().SetFaults(plan);
    failed.rig.feedback.QueueAnswer(1);
    failed.rig.feedback.QueueAnswer(1);
    EXPECT_EQ(failed.Restore(failed.result.backupPath), RestoreOutcome::Restored);
    EXPECT_EQ(failed.rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20158, 20159, 20207}));
    EXPECT_EQ(failed.rig.EepromRange(0, 1024),
              std::vector<uint8_t>(failed.rig.eepromBefore.begin(), failed.rig.eepromBefore.begin() + 1024));
}

TEST(RestoreBackup, RefusesAnUnusableFileBeforeSendingAnything)
{
    FailedUpgrade failed;
    failed.rig.Radio().PowerOn();
    std::vector<uint8_t> good;
    ASSERT_TRUE(ReadWholeFile(failed.result.backupPath, good));
    const size_t requestsBefore = failed.rig.Radio().Requests().size();
    const std::vector<uint8_t> eepromBefore = failed.rig.Eeprom();

    auto withBytes = [&](const std::string& name, std::vector<uint8_t> bytes) {
        const std::string path = failed.rig.data.File(name);
        EXPECT_TRUE(WriteFileAtomically(path, bytes.data(), bytes.size()));
        return path;
    };
    std::vector<uint8_t> flipped = good;
    flipped[flipped.size() / 2] ^= 0x01;
    std::vector<uint8_t> truncated(good.begin(), good.end() - 5);
    // A well-formed backup that is undo data of a patch, and one whose image
    // does not start with a hardware codeplug.
    EepromBackup undo;
    undo.kind = EepromBackupKind::Undo;
    undo.start = 123;
    undo.bytes.assign(106, 0x11);
    EepromBackup headless;
    headless.bytes.assign(700, 0xFF);
    std::vector<uint8_t> undoBytes;
    std::vector<uint8_t> headlessBytes;
    std::string error;
    ASSERT_TRUE(EncodeEepromBackup(undo, undoBytes, error)) << error;
    ASSERT_TRUE(EncodeEepromBackup(headless, headlessBytes, error)) << error;

    struct Case {
        std::string path;
        uint32_t message;
    };
    const Case cases[] = {
        {withBytes("flipped.vbk", flipped), 20209},
        {withBytes("truncated.vbk", truncated), 20209},
        {withBytes("empty.vbk", {}), 20209},
        {withBytes("undo.vbk", undoBytes), 20209},
        {withBytes("headless.vbk", headlessBytes), 20209},
        {failed.rig.data.File("missing.vbk"), 20210},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        failed.rig.feedback.Clear();
        EXPECT_EQ(failed.Restore(c.path), RestoreOutcome::Failed);
        EXPECT_EQ(failed.rig.feedback.Messages(), std::vector<uint32_t>{c.message});
        // The note says which file and why.
        ASSERT_EQ(failed.rig.feedback.Notes().size(), 1u);
        EXPECT_NE(failed.rig.feedback.Notes()[0].find(c.path), std::string::npos);
    }
    EXPECT_EQ(failed.rig.Radio().Requests().size(), requestsBefore);
    EXPECT_EQ(failed.rig.Eeprom(), eepromBefore);
}

TEST(RestoreBackup, CancelledPromptShowsNothing)
{
    FailedUpgrade failed;
    failed.rig.Radio().PowerOn();
    const std::vector<uint8_t> eepromBefore = failed.rig.Eeprom();
    failed.rig.feedback.QueueAnswer(0);
    EXPECT_EQ(failed.Restore(failed.result.backupPath), RestoreOutcome::Cancelled);
    EXPECT_EQ(failed.rig.feedback.Messages(), std::vector<uint32_t>{20133});
    EXPECT_EQ(failed.rig.Eeprom(), eepromBefore);
}

} // namespace
} // namespace vantrel
