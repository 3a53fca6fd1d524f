#include "operations/Patcher.h"

#include "link/RadioCommands.h"
#include "codeplug/EepromBackup.h"
#include "operations/PatchFile.h"
#include "platform/Files.h"
#include "sim/SimProfiles.h"
#include "sim/SimSamplePatch.h"
#include "support/OperationRig.h"
#include "codeplug/BlockChecksum.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

// The sample patch the build ships, in the rig's folder.
std::string SamplePatch(OperationRig& rig)
{
    rig.dataFolder.Write(kPatchFileName, SimSamplePatchText());
    return rig.dataFolder.File(kPatchFileName);
}

// The model number of the default simulated radio.
std::string DefaultModel()
{
    SimRadioConfig config;
    EXPECT_TRUE(MakeSimProfile(kSimDefaultProfile, config));
    const auto& value = config.state.items[kItemModelNumber].value;
    return {value.begin(), value.end()};
}

// What the sample patch makes of a radio's EEPROM: block 3 bytes 10 and 11
// set, the block checksum renewed.
Bytes Patched(Bytes eeprom, uint16_t blockStart, uint16_t blockLength)
{
    eeprom[blockStart + 10u] = 0x5A;
    eeprom[blockStart + 11u] = 0x01;
    eeprom[blockStart + blockLength - 1u] =
        BlockChecksum(std::span<const uint8_t>(eeprom).subspan(blockStart, blockLength - 1u));
    return eeprom;
}

EepromBackup UndoData(const std::string& serial = "742TQK1234")
{
    EepromBackup undo;
    std::string error;
    EXPECT_TRUE(ReadEepromBackup(CPatcher::UndoFilePath(serial), undo, error)) << error;
    return undo;
}

bool UndoFileExists(const std::string& serial = "742TQK1234")
{
    return std::filesystem::exists(CPatcher::UndoFilePath(serial));
}

TEST(Patcher, PatchThenUndoRestoresTheRadioByteForByte)
{
    OperationRig rig;
    const Bytes old = rig.Eeprom();
    const Bytes patched = Patched(old, 123, 106);
    ASSERT_NE(patched, old);

    EXPECT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Done);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20163});
    EXPECT_EQ(rig.Eeprom(), patched);
    EXPECT_EQ(TouchedAddresses(rig.requests.Writes()), AddressRun(123, 229));
    std::vector<uint32_t> read = AddressRun(0, 2);
    const auto block = AddressRun(123, 229);
    read.insert(read.end(), block.begin(), block.end());
    EXPECT_EQ(TouchedAddresses(rig.requests.Reads()), read) << "the length word and block 3, nothing else";
    const auto progress = rig.feedback.Progress();
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[0], std::make_pair(uint32_t{WM_PROGRESS_OPEN}, uint32_t{14}));
    EXPECT_EQ(progress[1], std::make_pair(uint32_t{WM_PROGRESS_TEXT}, uint32_t{20161}));
    EXPECT_EQ(progress.back().first, uint32_t{WM_PROGRESS_CLOSE});
    const EepromBackup undo = UndoData();
    EXPECT_EQ(undo.kind, EepromBackupKind::Undo);
    EXPECT_EQ(undo.start, 123u);
    EXPECT_EQ(undo.bytes, Bytes(old.begin() + 123, old.begin() + 229));
    const auto notes = rig.feedback.Notes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0], "Patch: Sample patch: two settings bytes of hardware block 3");
    EXPECT_EQ(notes[1], "Undo data saved to " + CPatcher::UndoFilePath("742TQK1234"));

    rig.feedback.Clear();
    rig.requests.Clear();
    // Undo needs no patch file.
    EXPECT_EQ(CPatcher(0, rig.dataFolder.File("none.patch")).Undo(), PatchOutcome::Done);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20163});
    EXPECT_EQ(rig.feedback.Progress()[1], std::make_pair(uint32_t{WM_PROGRESS_TEXT}, uint32_t{20162}));
    EXPECT_EQ(rig.Eeprom(), old);
    EXPECT_FALSE(UndoFileExists()) << "the undo data go once the block is back";

    rig.feedback.Clear();
    rig.requests.Clear();
    EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::NothingToUndo);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20193});
    EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
}

TEST(Patcher, SecondPatchKeepsTheFirstUndoData)
{
    OperationRig rig;
    const Bytes old = rig.Eeprom();
    ASSERT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Done);
    rig.dataFolder.Write("other.patch",
                         "mendkit-patch 1\nmodel " + DefaultModel() + "\ncodeplug R03.07.00\nset phase3 12 0x33\n");
    EXPECT_EQ(CPatcher(0, rig.dataFolder.File("other.patch")).Patch(), PatchOutcome::Done);
    EXPECT_EQ(rig.Eeprom()[135], 0x33);
    EXPECT_EQ(UndoData().bytes, Bytes(old.begin() + 123, old.begin() + 229)) << "still the block before any patch";
    EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::Done);
    EXPECT_EQ(rig.Eeprom(), old);
}

// The backups (not undo data) in the data folder, oldest name first.
std::vector<EepromBackup> SavedBackups(OperationRig& rig)
{
    std::vector<EepromBackup> out;
    for (const std::string& name : rig.dataFolder.Names()) {
        if (!name.ends_with(kBackupExtension) || name.starts_with("undo-")) continue;
        EepromBackup backup;
        std::string error;
        EXPECT_TRUE(ReadEepromBackup(rig.dataFolder.File(name), backup, error)) << error;
        out.push_back(backup);
    }
    return out;
}

// The undo data keep the block as it was before the first patch; what a second
// patch or an undo writes over is saved as a backup before it is written.
TEST(Patcher, WhatASecondPatchOrAnUndoOverwritesIsSavedFirst)
{
    OperationRig rig;
    ASSERT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Done);
    EXPECT_TRUE(SavedBackups(rig).empty()) << "the undo data are the copy";
    const Bytes once = rig.Eeprom();
    rig.dataFolder.Write("other.patch",
                         "mendkit-patch 1\nmodel " + DefaultModel() + "\ncodeplug R03.07.00\nset phase3 12 0x33\n");
    ASSERT_EQ(CPatcher(0, rig.dataFolder.File("other.patch")).Patch(), PatchOutcome::Done);
    const Bytes twice = rig.Eeprom();
    std::vector<EepromBackup> saved = SavedBackups(rig);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].kind, EepromBackupKind::Backup);
    EXPECT_EQ(saved[0].start, 123u);
    EXPECT_EQ(saved[0].bytes, Bytes(once.begin() + 123, once.begin() + 229));

    rig.requests.Clear();
    ASSERT_EQ(CPatcher(0).Undo(), PatchOutcome::Done);
    saved = SavedBackups(rig);
    ASSERT_EQ(saved.size(), 2u);
    const Bytes twiceBlock(twice.begin() + 123, twice.begin() + 229);
    EXPECT_TRUE(saved[0].bytes == twiceBlock || saved[1].bytes == twiceBlock);
    // The block is read before anything is written.
    ASSERT_FALSE(rig.requests.Requests().empty());
    EXPECT_LT(rig.requests.FirstIndexOf(kOpReadMemory), rig.requests.FirstIndexOf(kOpWriteMemory));
    std::vector<uint32_t> read = AddressRun(0, 2);
    const auto block = AddressRun(123, 229);
    read.insert(read.end(), block.begin(), block.end());
    EXPECT_EQ(TouchedAddresses(rig.requests.Reads()), read);
}

TEST(Patcher, Phase12RadioIsPatchedInItsOwnBlock3)
{
    OperationRig rig("phase12-r2");
    const Bytes old = rig.Eeprom();
    EXPECT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Done);
    EXPECT_EQ(rig.Eeprom(), Patched(old, 117, 88));
    EXPECT_EQ(TouchedAddresses(rig.requests.Writes()), AddressRun(117, 205));
    EXPECT_EQ(UndoData().start, 117u);
    EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::Done);
    EXPECT_EQ(rig.Eeprom(), old);
}

TEST(Patcher, RadiosThePatchIsNotForAreLeftUntouched)
{
    struct Case {
        const char* what;
        const char* profile;
        std::function<void(Bytes&)> change;
    };
    const std::vector<Case> cases = {
        {"another model", "unsupported", [](Bytes&) {}},
        {"another codeplug version", "phase3-r2", [](Bytes&) {}},
        {"a Phase 1/2 radio, patch for Phase 3 only", "phase12-r2", [](Bytes&) {}},
        {"no serial number to keep the undo data by", "partial-info", [](Bytes&) {}},
        {"an erased hardware codeplug length", kSimDefaultProfile, [](Bytes& e) { e[0] = e[1] = 0xFF; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OperationRig rig(c.profile);
        c.change(rig.Eeprom());
        const Bytes old = rig.Eeprom();
        rig.dataFolder.Write("p3.patch", "mendkit-patch 1\nmodel " + DefaultModel() +
                                             "\ncodeplug R03.07.*\ncodeplug R02.02.*\nset phase3 1 1\n");
        EXPECT_EQ(CPatcher(0, rig.dataFolder.File("p3.patch")).Patch(), PatchOutcome::Unsupported);
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20149});
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.feedback.Progress().back().first, uint32_t{WM_PROGRESS_CLOSE});
        EXPECT_EQ(rig.Eeprom(), old);
        EXPECT_FALSE(UndoFileExists());
    }
}

TEST(Patcher, NothingIsWrittenWhenThePatchOrItsUndoDataCannotBeTrusted)
{
    {
        OperationRig rig;
        rig.dataFolder.Write("bad.patch", "mendkit-patch 1\nmodel SAMPLE*\ncodeplug R03*\nset phase3 105 1\n");
        EXPECT_EQ(CPatcher(0, rig.dataFolder.File("bad.patch")).Patch(), PatchOutcome::Failed);
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20191});
        ASSERT_EQ(rig.feedback.Notes().size(), 1u);
        EXPECT_NE(rig.feedback.Notes()[0].find("line 4"), std::string::npos) << rig.feedback.Notes()[0];
        EXPECT_TRUE(rig.requests.Requests().empty()) << "the radio is not even asked";
    }
    {
        // Block 3 with a wrong checksum: a fresh checksum would hide the damage.
        OperationRig rig;
        rig.Eeprom()[228] ^= 0x01;
        const Bytes old = rig.Eeprom();
        EXPECT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Failed);
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20150});
        EXPECT_EQ(rig.Eeprom(), old);
        EXPECT_FALSE(UndoFileExists());
    }
    {
        // No place for the undo data.
        OperationRig rig;
        const Bytes old = rig.Eeprom();
        rig.dataFolder.Write("not-a-folder", "x");
        SetUserDataFolder(rig.dataFolder.File("not-a-folder"));
        EXPECT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Failed);
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20192});
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.Eeprom(), old);
    }
    {
        // Undo data of a Phase 3 block, and the radio now says Phase 1/2.
        OperationRig rig;
        ASSERT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Done);
        rig.Eeprom()[0] = 0x02;
        rig.Eeprom()[1] = 0x00;
        const Bytes before = rig.Eeprom();
        rig.feedback.Clear();
        EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::Failed);
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20150});
        EXPECT_EQ(rig.Eeprom(), before);
        EXPECT_TRUE(UndoFileExists());
    }
}

TEST(Patcher, UndoThatFailsKeepsItsDataForAnotherTry)
{
    OperationRig rig;
    const Bytes old = rig.Eeprom();
    ASSERT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Done);
    // Identity (four items and the length word) answered, every write after it silent.
    rig.SetFaults("silence@" + std::to_string(rig.Radio().MessageCount() + 6) + "-");
    rig.feedback.Clear();
    EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::Failed);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20150});
    EXPECT_TRUE(UndoFileExists());

    rig.SetFaults("");
    EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::Done);
    EXPECT_EQ(rig.Eeprom(), old);
}

TEST(Patcher, RadioOutOfReachIsReported)
{
    OperationRig rig;
    rig.router.SetSlotTarget(0, "sim:nonesuch");
    EXPECT_EQ(CPatcher(0, SamplePatch(rig)).Patch(), PatchOutcome::Failed);
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20270, 20150}));
    EXPECT_EQ(CPatcher(0).Undo(), PatchOutcome::Failed);
}

} // namespace
} // namespace vantrel
