#include "link/Feedback.h"
#include "codeplug/CodeplugLayout.h"
#include "codeplug/CodeplugValidator.h"
#include "codeplug/UpgradeBackup.h"
#include "upgrade/UpgradeExpectations.h"
#include "upgrade/UpgradeLengths.h"
#include "upgrade/UpgradeRig.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace vantrel {
namespace {

constexpr UpgradePlan kFull{1, 1, 1, 1};
constexpr UpgradePlan kHardwareOnly{1, 1, 0, 1};
constexpr UpgradePlan kFirmwareOnly{1, 0, 0, 1};

TEST(UpgradeLengths, AreSummedWideAndBoundedBeforeAnythingIsWritten)
{
    struct Case {
        UpgradePlan plan;
        uint32_t hardwareLength;
        uint32_t extra;
        uint32_t expected;
    };
    const Case cases[] = {
        // The old layout ends after its directory: L + A + 3.
        {kFull, 512, 0x0180, 512 + 0x0180 + 3},
        {kFull, 640, 0x0180, 640 + 0x0180 + 3},
        // An erased EEPROM: 0xFFFF lengths wrap a 16-bit sum to 642; refused.
        {kFull, 640, 0xFFFF, 0},
        {kFull, 0xFFFF, 0x0180, 0},
        // The image buffer is the limit, inclusive.
        {kFull, 640, 20000 - 643, 20000},
        {kFull, 640, 20000 - 642, 0},
        // Nothing beyond the header is no codeplug.
        {kFull, 640, 8, 0},
        {kFull, 640, 9, 652},
        {kFull, 600, 0x0180, 0},
        // The hardware-only path writes 0 to 722: a Phase 3 radio whose first
        // block already has the new record length.
        {kHardwareOnly, 640, 67, 723},
        {kHardwareOnly, 640, 65, 0},
        {kHardwareOnly, 640, 0xFFFF, 0},
        {kHardwareOnly, 512, 67, 0},
        {kFirmwareOnly, 640, 67, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpgradeImageLength(c.plan, c.hardwareLength, c.extra), c.expected)
            << "plan app " << c.plan.applicationCodeplug << " L " << c.hardwareLength << " extra " << c.extra;
    }
    EXPECT_EQ(SecondLengthAddress(kFull, 512), 517u);
    EXPECT_EQ(SecondLengthAddress(kHardwareOnly, 640), 652u);
}

TEST(UpgradeLengths, TagBytesAreRepeatableAndNeverErased)
{
    TagByteSource a(42);
    TagByteSource b(42);
    TagByteSource c(43);
    std::set<uint8_t> seen;
    int differ = 0;
    for (int i = 0; i < 100000; ++i) {
        const uint8_t tag = a.Next();
        ASSERT_NE(tag, 0xFF);
        ASSERT_EQ(tag, b.Next());
        differ += tag != c.Next();
        seen.insert(tag);
    }
    EXPECT_EQ(seen.size(), 255u);
    EXPECT_GT(differ, 90000);
    // Never the byte the radio holds: a radio that never had the tag would pass.
    const uint8_t firstTag = TagByteSource(42).Next();
    for (int held = 0; held < 256; ++held) {
        const uint8_t tag = TagByteSource(42).NextDifferentFrom(static_cast<uint8_t>(held));
        EXPECT_NE(tag, held);
        EXPECT_NE(tag, 0xFF);
        if (held != firstTag) {
            EXPECT_EQ(tag, firstTag);
        }
    }
}

// A complete run: what the operator saw, and what the radio holds afterwards.
void ExpectUpgraded(UpgradeRig& rig, const UpgradeResult& result, const UpgradePlan& plan, int modelRow)
{
    EXPECT_EQ(result.outcome, UpgradeOutcome::Succeeded);
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20154}));
    const std::vector<uint8_t> expected =
        ExpectedUpgradedImage(rig.eepromBefore, plan, modelRow, rig.settings.programFolder);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(rig.EepromRange(0, static_cast<uint32_t>(expected.size())), expected);
    EXPECT_EQ(ValidateCodeplugImage(rig.Eeprom(), ApplicationLayout::New), CodeplugProblems{});
    // Beyond the image only the tag byte changed.
    std::vector<uint8_t> rest = rig.Eeprom();
    rest[kTagByteAddress] = rig.eepromBefore[kTagByteAddress];
    EXPECT_TRUE(std::equal(rest.begin() + static_cast<long>(expected.size()), rest.end(),
                           rig.eepromBefore.begin() + static_cast<long>(expected.size())));
    EXPECT_EQ(rig.Eeprom()[kTagByteAddress], rig.ExpectedTag());
    EXPECT_TRUE(rig.FlashHoldsFirmware());
    // The operator switched the adapter back and power-cycled the radio.
    rig.clock.Sleep(1000);
    rig.line->Sync();
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Normal);
}

// The backup holds the radio's codeplug as it was before the run, over every
// address the run writes, and the byte at the tag address.
void ExpectBackupOfRadio(UpgradeRig& rig, const UpgradeResult& result, uint32_t length)
{
    ASSERT_EQ(rig.Backups().size(), 1u);
    EXPECT_EQ(result.backupPath, rig.BackupPath(rig.Backups()[0]));
    EepromBackup backup;
    std::string error;
    ASSERT_TRUE(ReadEepromBackup(result.backupPath, backup, error)) << error;
    EXPECT_EQ(backup.kind, EepromBackupKind::Backup);
    EXPECT_EQ(backup.start, 0u);
    EXPECT_EQ(backup.bytes, std::vector<uint8_t>(rig.eepromBefore.begin(), rig.eepromBefore.begin() + length));
    EXPECT_EQ(backup.moreRuns, (std::vector<EepromRun>{{kTagByteAddress, {rig.eepromBefore[kTagByteAddress]}}}));
    const auto& items = rig.Radio().State().items;
    EXPECT_EQ(backup.modelNumber, std::string(items[0].value.begin(), items[0].value.end()));
    EXPECT_EQ(backup.serialNumber, std::string(items[1].value.begin(), items[1].value.end()));
    EXPECT_EQ(backup.softwareVersion, std::string(items[3].value.begin(), items[3].value.end()));
    const auto notes = rig.feedback.Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find(result.backupPath), std::string::npos);
}

TEST(UpgradeProcedure, Release3RadioGetsItsHardwareCodeplugAndFirmwareAtEveryFlashRate)
{
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        SCOPED_TRACE(rate);
        UpgradeRig rig("default");
        rig.settings.flashRate = rate;
        const UpgradeResult result = rig.Run();
        ExpectUpgraded(rig, result, kHardwareOnly, 0);
        ExpectBackupOfRadio(rig, result, 723);
        EXPECT_EQ(rig.Radio().State().loaderRate, rate);
    }
    // The MEQ platform's radio, found by its extended IC version.
    UpgradeRig rig("meq");
    const UpgradeResult result = rig.Run();
    ExpectUpgraded(rig, result, kHardwareOnly, 1);
    ExpectBackupOfRadio(rig, result, 723);
}

TEST(UpgradeProcedure, OlderReleasesAreConvertedAndMigrated)
{
    struct Case {
        const char* profile;
        int modelRow;
    };
    // Phase 1/2 and Phase 3 hardware, release 1 and 2, TORVA and MEQ (its
    // default-key row).
    for (const Case& c : {Case{"phase12-r1", 3}, Case{"phase12-r2", 0}, Case{"phase3-r2", 0}, Case{"meq-r2", 28}}) {
        SCOPED_TRACE(c.profile);
        UpgradeRig rig(c.profile);
        const uint32_t hw = ReadBigEndian16(rig.eepromBefore, 0);
        const uint32_t read = hw + ReadBigEndian16(rig.eepromBefore, hw + 5) + 3;
        const size_t written =
            ExpectedUpgradedImage(rig.eepromBefore, kFull, c.modelRow, rig.settings.programFolder).size();
        const UpgradeResult result = rig.Run();
        ExpectUpgraded(rig, result, kFull, c.modelRow);
        ExpectBackupOfRadio(rig, result, std::max<uint32_t>(read, static_cast<uint32_t>(written)));
    }
}

TEST(UpgradeProcedure, ProgressWindowFollowsTheSteps)
{
    UpgradeRig rig("phase12-r2");
    ASSERT_EQ(rig.Run().outcome, UpgradeOutcome::Succeeded);
    // The procedure's own progress, in order, with the transfers' ranges.
    const auto progress = rig.feedback.Progress();
    std::vector<std::pair<uint32_t, uint32_t>> own;
    const uint32_t hw = 512;
    const uint32_t readLength = hw + ReadBigEndian16(rig.eepromBefore, hw + 5) + 3;
    for (const auto& p : progress) {
        if (p.first == WM_PROGRESS_OPEN || p.first == WM_PROGRESS_CLOSE || p.first == WM_PROGRESS_TEXT ||
            p.first == WM_PROGRESS_HIDEBAR)
            own.push_back(p);
    }
    // The backup is read (20130) before the bootcode download.
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {WM_PROGRESS_OPEN, 3},     {WM_PROGRESS_TEXT, 20143}, {WM_PROGRESS_TEXT, 20130}, {WM_PROGRESS_TEXT, 20127},
        {WM_PROGRESS_TEXT, 20130}, {WM_PROGRESS_TEXT, 20131}, {WM_PROGRESS_TEXT, 20129}, {WM_PROGRESS_HIDEBAR, 0},
        {WM_PROGRESS_TEXT, 20128}, {WM_PROGRESS_TEXT, 20135}, {WM_PROGRESS_HIDEBAR, 0},  {WM_PROGRESS_CLOSE, 0},
    };
    EXPECT_EQ(own, expected);
    // Positions 1, 2 and 3 come before the bootcode download; the read's
    // range is set for its 30-byte chunks.
    const auto first20130 =
        std::find(progress.begin(), progress.end(), std::make_pair(uint32_t{WM_PROGRESS_TEXT}, 20130u));
    ASSERT_NE(first20130, progress.end());
    EXPECT_EQ(*(first20130 + 1), std::make_pair(uint32_t{WM_PROGRESS_RANGE}, readLength / 30 - 1));
    const std::vector<std::pair<uint32_t, uint32_t>> start(progress.begin() + 2, progress.begin() + 5);
    EXPECT_EQ(start, (std::vector<std::pair<uint32_t, uint32_t>>{
                         {WM_PROGRESS_POS, 1}, {WM_PROGRESS_POS, 2}, {WM_PROGRESS_POS, 3}}));
}

} // namespace
} // namespace vantrel
