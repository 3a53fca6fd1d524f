#include "data/ModelTable.h"
#include "link/Feedback.h"
#include "codeplug/EepromBackup.h"
#include "codeplug/CodeplugLayout.h"
#include "upgrade/UpgradeExpectations.h"
#include "upgrade/UpgradeLengths.h"
#include "upgrade/UpgradeRig.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

// What a run must leave in the radio's EEPROM.
enum class Left {
    Untouched,    // not a byte changed
    MarkerOnly,   // the marker inverted when it was below 127; no tag byte
    TagOnly,      // the tag byte; the marker as it was (never inverted, or put back)
    MarkerAndTag, // the tag byte, and the marker inverted when it was below 127
    Upgraded,     // the converted and migrated image, the tag byte
    PartlyWritten // the image neither old nor new
};

enum class Flash { Untouched, Firmware, Incomplete };

struct Scenario {
    const char* name;
    const char* profile = "phase12-r2";
    std::function<std::string()> faults = [] { return std::string(); };
    std::function<void(UpgradeRig&)> setup = [](UpgradeRig&) {};
    std::vector<int> answers = {1}; // OK the bootstrap prompt; Retry on every later question
    UpgradeOutcome outcome = UpgradeOutcome::Failed;
    std::vector<uint32_t> messages;
    Left left = Left::MarkerAndTag;
    Flash flash = Flash::Untouched;
    bool backup = false;
    UpgradePlan plan{1, 1, 1, 1}; // what the tables give the radio, for Left::Upgraded
    bool tagIsOurs = true;        // the radio holds this run's tag byte (another radio may not)
    std::function<void(UpgradeRig&)> check = [](UpgradeRig&) {};
};

// Whether the radio was sent a reset, and whether that was the last request.
int ResetCount(UpgradeRig& rig)
{
    int resets = 0;
    for (const auto& request : rig.Radio().Requests())
        resets += DecodeRadioRequest(request).opcode == 0x10;
    return resets;
}

uint32_t MarkerAddressOf(const std::vector<uint8_t>& eeprom)
{
    return ReadBigEndian16(eeprom, 0) == kPhase3HardwareLength ? kPhase3MarkerAddress : kPhase12MarkerAddress;
}

// The model row the tables give each profile.
int RowOf(const std::string& profile)
{
    if (profile == "phase12-r1") return 3;
    if (profile == "meq") return 1;
    if (profile == "meq-r2") return 28;
    return 0;
}

void CheckScenario(const Scenario& s)
{
    SCOPED_TRACE(s.name);
    UpgradeRig rig(s.profile, s.faults());
    s.setup(rig);
    rig.eepromBefore = rig.Eeprom();
    for (int answer : s.answers)
        rig.feedback.QueueAnswer(answer);
    const UpgradeResult result = rig.Run();

    EXPECT_EQ(result.outcome, s.outcome);
    s.check(rig);
    EXPECT_EQ(rig.feedback.Messages(), s.messages);
    const std::vector<uint8_t>& before = rig.eepromBefore;
    std::vector<uint8_t> expected = before;
    const uint32_t marker = MarkerAddressOf(before);
    switch (s.left) {
    case Left::Untouched:
        break;
    case Left::MarkerOnly:
    case Left::MarkerAndTag:
        if (expected[marker] < 127) expected[marker] = static_cast<uint8_t>(255 - expected[marker]);
        if (s.left == Left::MarkerAndTag) expected[kTagByteAddress] = rig.ExpectedTag();
        break;
    case Left::TagOnly:
        expected[kTagByteAddress] = rig.ExpectedTag();
        break;
    case Left::Upgraded: {
        const std::vector<uint8_t> image =
            ExpectedUpgradedImage(before, s.plan, RowOf(s.profile), rig.settings.programFolder);
        EXPECT_FALSE(image.empty());
        std::copy(image.begin(), image.end(), expected.begin());
        expected[kTagByteAddress] = rig.ExpectedTag();
        break;
    }
    case Left::PartlyWritten: {
        // Some chunks went in, not all.
        expected = rig.Eeprom();
        const std::vector<uint8_t> image =
            ExpectedUpgradedImage(before, s.plan, RowOf(s.profile), rig.settings.programFolder);
        EXPECT_FALSE(std::equal(image.begin(), image.end(), expected.begin()));
        EXPECT_FALSE(std::equal(image.begin(), image.end(), before.begin()));
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 60, image.begin()));
        break;
    }
    }
    if (!s.tagIsOurs) {
        EXPECT_NE(rig.Eeprom()[kTagByteAddress], rig.ExpectedTag());
        expected[kTagByteAddress] = rig.Eeprom()[kTagByteAddress];
    }
    EXPECT_EQ(rig.Eeprom(), expected);
    EXPECT_EQ(rig.Eeprom()[marker], expected[marker]) << "marker";
    EXPECT_EQ(rig.Eeprom()[kTagByteAddress], expected[kTagByteAddress]) << "tag byte";

    switch (s.flash) {
    case Flash::Untouched:
        EXPECT_TRUE(rig.FlashUntouched());
        break;
    case Flash::Firmware:
        EXPECT_TRUE(rig.FlashHoldsFirmware());
        break;
    case Flash::Incomplete:
        EXPECT_FALSE(rig.FlashUntouched());
        EXPECT_FALSE(rig.FlashHoldsFirmware());
        break;
    }

    // Once the EEPROM has been read, its data is never lost: a backup of the
    // radio as it was before the run exists, whatever happened next.
    if (!s.backup) {
        EXPECT_TRUE(rig.Backups().empty());
        EXPECT_TRUE(result.backupPath.empty());
        return;
    }
    ASSERT_EQ(rig.Backups().size(), 1u);
    EepromBackup backup;
    std::string error;
    ASSERT_TRUE(ReadEepromBackup(result.backupPath, backup, error)) << error;
    ASSERT_LE(backup.bytes.size(), before.size());
    EXPECT_TRUE(std::equal(backup.bytes.begin(), backup.bytes.end(), before.begin()));
}

} // namespace
} // namespace vantrel

namespace vantrel {
namespace {

std::function<std::string()> Fault(const std::string& text)
{
    return [text] { return text; };
}

// A fault on every attempt (five) of the first request that matches in a clean run.
std::function<std::string()> RefusedRequest(const char* profile, RequestMatch match, int skip = 0)
{
    return [=] {
        const uint32_t n = RequestNumber(profile, match, skip);
        return "nak@" + std::to_string(n) + "-" + std::to_string(n + 4);
    };
}

std::function<std::string()> PowerLostAt(const char* profile, RequestMatch match, int skip = 0,
                                         const std::string& more = "")
{
    return [=] { return "power@msg:" + std::to_string(RequestNumber(profile, match, skip)) + more; };
}

void SetWord(UpgradeRig& rig, uint32_t address, uint32_t value)
{
    rig.Eeprom()[address] = static_cast<uint8_t>(value >> 8);
    rig.Eeprom()[address + 1] = static_cast<uint8_t>(value);
}

// A lookup that gives the radio a plan no table row gives.
std::function<void(UpgradeRig&)> Plan(UpgradePlan plan)
{
    return [plan](UpgradeRig& rig) {
        rig.hooks.lookup = [plan] {
            UpgradeLookup lookup;
            lookup.plan = plan;
            lookup.modelRow = 0;
            lookup.column = 0;
            return lookup;
        };
    };
}

constexpr uint32_t kPhase12Marker = kPhase12MarkerAddress;

// The address of the checksum of the application block a directory entry
// names, in the radio's EEPROM (old layout).
uint32_t BlockChecksumAddress(UpgradeRig& rig, int entry)
{
    const std::vector<uint8_t>& e = rig.Eeprom();
    const uint32_t hw = ReadBigEndian16(e, 0);
    const uint32_t block = ReadBigEndian16(e, ReadBigEndian16(e, hw + 9) + 2u * entry);
    return block + kBlockRecordsOffset + ReadBigEndian16(e, block + 1) * e[block + 3];
}

std::function<void(UpgradeRig&)> FailureNote(const std::string& text)
{
    return [text](UpgradeRig& rig) { EXPECT_EQ(rig.feedback.FailureNotes(), std::vector<std::string>{text}); };
}

TEST(UpgradeScenarios, NormalModeChecksStopTheRunBeforeTheBootcode)
{
    const Scenario scenarios[] = {
        {.name = "port cannot be opened",
         .setup = [](UpgradeRig& rig) { rig.router.SetSlotTarget(0, "/nonexistent/vantrel-tty"); },
         .messages = {20270, 20146}, // why the port did not open, then the summary
         .left = Left::Untouched},
        {.name = "battery low", .profile = "low-battery", .messages = {20148}, .left = Left::Untouched},
        {.name = "battery item unanswered", .faults = Fault("silence@1"), .messages = {20148}, .left = Left::Untouched},
        {.name = "model not in the tables", .profile = "unsupported", .messages = {20147}, .left = Left::Untouched},
        {.name = "platform identifier differs",
         .setup = [](UpgradeRig& rig) { rig.Radio().MutableState().items[15].value[3] ^= 0x20; },
         .messages = {20147},
         .left = Left::Untouched},
        {.name = "firmware release not in the tables",
         .setup =
             [](UpgradeRig& rig) {
                 const std::string version = "R09.99.99";
                 rig.Radio().MutableState().items[3].value.assign(version.begin(), version.end());
             },
         .messages = {20147},
         .left = Left::Untouched},
        // The lengths are checked before anything is written.
        {.name = "erased EEPROM",
         .setup = [](UpgradeRig& rig) { std::fill_n(rig.Eeprom().begin(), 4096, uint8_t{0xFF}); },
         .messages = {20146},
         .left = Left::Untouched},
        {.name = "application length beyond the image",
         .setup = [](UpgradeRig& rig) { SetWord(rig, 512 + 5, 20000 - 512 - 2); },
         .messages = {20146},
         .left = Left::Untouched},
        {.name = "hardware-only plan on a Phase 1/2 radio",
         .profile = "default",
         .setup = [](UpgradeRig& rig) { SetWord(rig, 0, 512); },
         .messages = {20146},
         .left = Left::Untouched},
        {.name = "hardware-only plan, first block not in the new layout",
         .profile = "default",
         .setup = [](UpgradeRig& rig) { SetWord(rig, 640 + 12, 65); },
         .messages = {20146},
         .left = Left::Untouched},
        // A failed write of the marker or the tag byte fails the step.
        // Everything the run will write is saved before its first write.
        {.name = "marker write refused",
         .faults = RefusedRequest("phase12-r2", WriteAt(kPhase12Marker)),
         .messages = {20146},
         .left = Left::Untouched,
         .backup = true},
        {.name = "tag byte write refused",
         .faults = RefusedRequest("phase12-r2", WriteAt(kTagByteAddress)),
         .messages = {20146},
         .left = Left::MarkerOnly,
         .backup = true},
        {.name = "backup read refused",
         .faults = RefusedRequest("phase12-r2", ReadAt(60)),
         .messages = {20146},
         .left = Left::Untouched},
    };
    for (const Scenario& s : scenarios)
        CheckScenario(s);
}

TEST(UpgradeScenarios, BootstrapPromptAndBootcodeDownload)
{
    const Scenario scenarios[] = {
        // Cancel: the marker goes back only when this run inverted it; no message.
        {.name = "prompt cancelled, marker inverted by the run",
         .answers = {0},
         .outcome = UpgradeOutcome::Cancelled,
         .messages = {20133},
         .left = Left::TagOnly,
         .backup = true,
         .check =
             [](UpgradeRig& rig) {
                 EXPECT_EQ(ResetCount(rig), 1);
                 EXPECT_EQ(DecodeRadioRequest(rig.Radio().Requests().back()).opcode, 0x10);
             }},
        {.name = "prompt cancelled, marker already set",
         .profile = "default",
         .answers = {0},
         .outcome = UpgradeOutcome::Cancelled,
         .messages = {20133},
         .left = Left::TagOnly,
         .backup = true,
         .check = [](UpgradeRig& rig) { EXPECT_EQ(ResetCount(rig), 0); }},
        {.name = "first download fails, second works",
         .faults = Fault("wrongecho@block:3"),
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20125, 20153, 20154},
         .left = Left::Upgraded,
         .flash = Flash::Firmware,
         .backup = true},
        {.name = "second download fails too",
         .faults = Fault("wrongecho@block:*"),
         .messages = {20133, 20125, 20153, 20125, 20146},
         .left = Left::MarkerAndTag,
         .backup = true},
        // Found before anything is written.
        {.name = "flash rate without a bootcode",
         .setup = [](UpgradeRig& rig) { rig.settings.flashRate = 57600; },
         .messages = {20109, 20146},
         .left = Left::Untouched},
        {.name = "loader does not see the inverted marker",
         .setup =
             [](UpgradeRig& rig) {
                 // Another radio, never prepared, is in the adapter once the prompt is answered.
                 rig.OnOperatorAnswer([&rig](uint32_t id, int) {
                     if (id == 20133) rig.Eeprom()[kPhase12Marker] = rig.eepromBefore[kPhase12Marker];
                 });
             },
         .messages = {20133, 20146},
         .left = Left::TagOnly,
         .backup = true},
    };
    for (const Scenario& s : scenarios)
        CheckScenario(s);
}

TEST(UpgradeScenarios, LoaderModeFailuresKeepABackup)
{
    const Scenario scenarios[] = {
        // Found before anything is written.
        {.name = "EEPROM data file missing",
         .setup =
             [](UpgradeRig& rig) { std::filesystem::remove(rig.program.folder.File(ModelTableRow(0).eepromDataFile)); },
         .messages = {20152, 20146},
         .left = Left::Untouched},
        {.name = "EEPROM data file shorter than 723 bytes",
         .setup =
             [](UpgradeRig& rig) {
                 std::filesystem::resize_file(rig.program.folder.File(ModelTableRow(0).eepromDataFile), 722);
             },
         .messages = {20152, 20146},
         .left = Left::Untouched},
        // The codeplug steps run on the image read for the backup: a codeplug
        // they refuse stops the run before anything is written, with the reason.
        {.name = "conversion refuses the old codeplug",
         .setup =
             [](UpgradeRig& rig) {
                 const uint32_t directory = ReadBigEndian16(rig.Eeprom(), 512 + 9);
                 SetWord(rig, directory, 31);
             },
         .messages = {20146},
         .left = Left::Untouched,
         .check = FailureNote("The radio's application codeplug cannot be converted: its directory does not hold 32 "
                              "entries. Nothing was written to the radio.")},
        {.name = "migration refuses the radio's tuning length",
         .setup = [](UpgradeRig& rig) { rig.Eeprom()[22] = 200; },
         .messages = {20146},
         .left = Left::Untouched,
         .check = FailureNote("The radio's hardware codeplug cannot be migrated: the radio's tuning data length runs "
                              "past its tuning block. Nothing was written to the radio.")},
        // Carried over as read, and named to the operator.
        {.name = "unedited block with a wrong checksum",
         .setup = [](UpgradeRig& rig) { rig.Eeprom()[BlockChecksumAddress(rig, 9)] ^= 0x01; },
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20154},
         .left = Left::Upgraded,
         .flash = Flash::Firmware,
         .backup = true,
         .check =
             [](UpgradeRig& rig) {
                 const auto notes = rig.feedback.Notes();
                 EXPECT_NE(std::find(notes.begin(), notes.end(),
                                     "Block 9 of the radio's application codeplug has a wrong checksum and was "
                                     "carried over as read."),
                           notes.end());
             }},
        {.name = "marker restore refused",
         .faults = RefusedRequest("phase12-r2", WriteAt(kPhase3MarkerAddress)),
         .messages = {20133, 20146},
         .backup = true},
        {.name = "EEPROM write fails, Retry on the same radio",
         .faults = PowerLostAt("phase12-r2", WriteAt(60)),
         .answers = {1, 1},
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20158, 20159, 20154},
         .left = Left::Upgraded,
         .flash = Flash::Firmware,
         .backup = true},
        {.name = "EEPROM write fails, Retry finds another radio",
         .faults = PowerLostAt("phase12-r2", WriteAt(60), 0, ",tag@boot:2"),
         .answers = {1, 1, 0},
         .messages = {20133, 20158, 20159, 20158, 20146},
         .left = Left::PartlyWritten,
         .backup = true,
         .tagIsOurs = false},
        {.name = "flashing fails, Retry on the same radio",
         .faults = PowerLostAt("phase12-r2", WriteAt(kSimFlashBit + 32)),
         .answers = {1, 1},
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20158, 20159, 20154},
         .left = Left::Upgraded,
         .flash = Flash::Firmware,
         .backup = true},
        // A radio never upgraded, swapped in at the Retry, holds at the tag
        // address the byte the first radio held before the run: the tag differs.
        {.name = "EEPROM write fails, Retry finds a twin radio never upgraded",
         .faults = PowerLostAt("phase12-r2", WriteAt(60)),
         .setup =
             [](UpgradeRig& rig) {
                 rig.Eeprom()[kTagByteAddress] = TagByteSource(*rig.hooks.tagSeed).Next();
                 rig.OnOperatorAnswer([&rig](uint32_t id, int) {
                     if (id == 20159) rig.Eeprom() = rig.eepromBefore;
                 });
             },
         .answers = {1, 1, 0},
         .messages = {20133, 20158, 20159, 20158, 20146},
         .left = Left::Untouched,
         .backup = true,
         .tagIsOurs = false},
        {.name = "flashing fails, Retry finds another radio",
         .faults = PowerLostAt("phase12-r2", WriteAt(kSimFlashBit + 32), 0, ",tag@boot:2"),
         .answers = {1, 1, 0},
         .messages = {20133, 20158, 20159, 20158, 20146},
         .left = Left::Upgraded,
         .flash = Flash::Incomplete,
         .backup = true,
         .tagIsOurs = false},
    };
    for (const Scenario& s : scenarios)
        CheckScenario(s);
}

TEST(UpgradeScenarios, PlansTheTablesDoNotGive)
{
    const Scenario scenarios[] = {
        {.name = "no firmware",
         .profile = "default",
         .setup = Plan({1, 1, 0, 0}),
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20154},
         .left = Left::Upgraded,
         .backup = true,
         .plan = {1, 1, 0, 0}},
        // Neither codeplug flag: no image is read or written; the marker goes
        // back where it was read from.
        {.name = "firmware only, Phase 1/2 radio",
         .setup = Plan({1, 0, 0, 1}),
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20154},
         .left = Left::TagOnly,
         .flash = Flash::Firmware,
         .backup = true},
        {.name = "firmware only, Phase 3 radio",
         .profile = "default",
         .setup = Plan({1, 0, 0, 1}),
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20154},
         .left = Left::TagOnly,
         .flash = Flash::Firmware,
         .backup = true},
    };
    for (const Scenario& s : scenarios)
        CheckScenario(s);
}

// Power lost at each step of a run, with Cancel at any Retry/Cancel question:
// the radio keeps its data, or a backup of it exists.
TEST(UpgradeScenarios, PowerLostAtEachStep)
{
    const char* p = "phase12-r2";
    const Scenario scenarios[] = {
        {.name = "battery", .faults = Fault("power@msg:1"), .messages = {20148}, .left = Left::Untouched},
        {.name = "lookup", .faults = Fault("power@msg:2"), .messages = {20147}, .left = Left::Untouched},
        {.name = "length word", .faults = PowerLostAt(p, ReadAt(0)), .messages = {20146}, .left = Left::Untouched},
        {.name = "backup read", .faults = PowerLostAt(p, ReadAt(60)), .messages = {20146}, .left = Left::Untouched},
        {.name = "marker read",
         .faults = PowerLostAt(p, ReadAt(kPhase12Marker)),
         .messages = {20146},
         .left = Left::Untouched,
         .backup = true},
        {.name = "marker write",
         .faults = PowerLostAt(p, WriteAt(kPhase12Marker)),
         .messages = {20146},
         .left = Left::Untouched,
         .backup = true},
        {.name = "tag byte write",
         .faults = PowerLostAt(p, WriteAt(kTagByteAddress)),
         .messages = {20146},
         .left = Left::MarkerOnly,
         .backup = true},
        // The operator reconnects the battery at 20153; the second download works.
        {.name = "bootcode download",
         .faults = Fault("power@block:2"),
         .outcome = UpgradeOutcome::Succeeded,
         .messages = {20133, 20125, 20153, 20154},
         .left = Left::Upgraded,
         .flash = Flash::Firmware,
         .backup = true},
        {.name = "loader's marker check",
         .faults = PowerLostAt(p, ReadAt(kPhase12Marker), 1),
         .messages = {20133, 20146},
         .backup = true},
        {.name = "EEPROM read", .faults = PowerLostAt(p, ReadAt(60), 1), .messages = {20133, 20146}, .backup = true},
        {.name = "marker restore",
         .faults = PowerLostAt(p, WriteAt(kPhase3MarkerAddress)),
         .messages = {20133, 20146},
         .backup = true},
        {.name = "EEPROM write",
         .faults = PowerLostAt(p, WriteAt(60)),
         .answers = {1, 0},
         .messages = {20133, 20158, 20146},
         .left = Left::PartlyWritten,
         .backup = true},
        {.name = "flash erase",
         .faults = Fault("power@erase:1"),
         .answers = {1, 0},
         .messages = {20133, 20158, 20146},
         .left = Left::Upgraded,
         .backup = true},
        {.name = "firmware record",
         .faults = PowerLostAt(p, WriteAt(kSimFlashBit + 32)),
         .answers = {1, 0},
         .messages = {20133, 20158, 20146},
         .left = Left::Upgraded,
         .flash = Flash::Incomplete,
         .backup = true},
        {.name = "reset",
         .faults = PowerLostAt(p, Opcode(0x10)),
         .messages = {20133, 20146},
         .left = Left::Upgraded,
         .flash = Flash::Firmware,
         .backup = true},
    };
    for (const Scenario& s : scenarios)
        CheckScenario(s);
}

} // namespace
} // namespace vantrel
