// Every EEPROM write of the program is read back: a radio that stores one byte
// wrong (the simulated radio's "corrupt" fault) fails the operation with the
// address and both values, and the note that says where the data from before
// the write are.

#include "codeplug/EepromBackup.h"
#include "flash/CodeplugWriter.h"
#include "link/MemoryReadBack.h"
#include "link/StringTable.h"
#include "operations/PatchFile.h"
#include "operations/Patcher.h"
#include "sim/CodeplugGenerator.h"
#include "sim/SimSamplePatch.h"
#include "support/CodeplugFiles.h"
#include "upgrade/RecoverRadio.h"
#include "upgrade/RestoreBackup.h"
#include "upgrade/UpgradeRig.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

enum class Operation { Upgrade, WriteCodeplug, Patch, Unpatch, Restore, Recover };

constexpr uint32_t kPhase3Block3 = 123;
constexpr uint32_t kChunk = 30;

// Runs the operation on the rig's radio; setUp happens before the faults
// are armed (an unpatch needs a patch first, a restore a backup file).
class OperationOnRig {
public:
    OperationOnRig(UpgradeRig& rig, Operation operation) : m_rig(rig), m_operation(operation) {}

    void SetUp()
    {
        m_rig.program.folder.Write(kPatchFileName, SimSamplePatchText());
        if (m_operation == Operation::Unpatch) {
            ASSERT_EQ(CPatcher(0, PatchPath()).Patch(), PatchOutcome::Done);
        }
        if (m_operation == Operation::Restore || m_operation == Operation::Recover) {
            // The radio's first 700 bytes with its tuning data changed.
            EepromBackup backup;
            backup.start = 0;
            backup.bytes.assign(m_rig.Eeprom().begin(), m_rig.Eeprom().begin() + 700);
            for (size_t a = 21; a < 123; ++a)
                backup.bytes[a] = static_cast<uint8_t>(backup.bytes[a] + 1);
            std::string error;
            m_backupPath = m_rig.program.folder.File("old.vbk");
            ASSERT_TRUE(SaveEepromBackup(m_backupPath, backup, error)) << error;
        }
        m_rig.feedback.Clear();
    }

    void Run()
    {
        switch (m_operation) {
        case Operation::Upgrade:
            m_rig.Run();
            break;
        case Operation::WriteCodeplug: {
            m_rig.program.folder.Write("codeplug.0", CodeplugSRecordText(GenerateNewCodeplugImage({})));
            CodeplugWriteOptions options;
            options.codeplugPath = m_rig.program.folder.File("codeplug.0");
            WriteCodeplug(options);
            break;
        }
        case Operation::Patch:
            CPatcher(0, PatchPath()).Patch();
            break;
        case Operation::Unpatch:
            CPatcher(0, PatchPath()).Undo();
            break;
        case Operation::Restore:
            RestoreBackup(m_backupPath, 0, m_rig.settings.flashRate, m_rig.settings.programFolder);
            break;
        case Operation::Recover: {
            RecoverySettings settings;
            settings.flashRate = m_rig.settings.flashRate;
            settings.programFolder = m_rig.settings.programFolder;
            settings.writeFirmware = false;
            settings.backupPath = m_backupPath;
            RecoverRadio(settings);
            break;
        }
        }
        m_rig.clock.Sleep(1000);
        m_rig.line->Sync();
    }

    uint32_t RangeStart() const
    {
        return m_operation == Operation::Patch || m_operation == Operation::Unpatch ? kPhase3Block3 : 0;
    }

private:
    std::string PatchPath() const { return m_rig.program.folder.File(kPatchFileName); }

    UpgradeRig& m_rig;
    Operation m_operation;
    std::string m_backupPath;
};

// The EEPROM write requests the radio took from request `from` on, by address.
std::vector<uint32_t> EepromWrites(const SimRadio& radio, size_t from)
{
    std::vector<uint32_t> addresses;
    const auto& requests = radio.Requests();
    for (size_t i = from; i < requests.size(); ++i) {
        const RadioRequest r = DecodeRadioRequest(requests[i]);
        if (r.opcode == 0x17 && (r.address & 0x400000) == 0) addresses.push_back(r.address);
    }
    return addresses;
}

struct ReadBackCase {
    const char* name;
    Operation operation;
    int chunk;                      // of the operation's range write that is stored wrong: 1 the first, -1 the last
    std::vector<uint32_t> messages; // from the mismatch on
};

class WriteReadBackTest : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(WriteReadBackTest, AByteStoredWrongFailsTheOperationNamingIt)
{
    const ReadBackCase& c = GetParam();

    // A clean run first: what the radio should hold, and which write is which.
    UpgradeRig twin;
    OperationOnRig clean(twin, c.operation);
    clean.SetUp();
    const uint32_t writesBefore = twin.Radio().EepromWriteCount();
    const size_t requestsBefore = twin.Radio().Requests().size();
    clean.Run();
    const std::vector<uint32_t> writes = EepromWrites(twin.Radio(), requestsBefore);
    const auto first = std::find(writes.begin(), writes.end(), clean.RangeStart());
    ASSERT_NE(first, writes.end());
    int chunks = 0;
    while (first + chunks != writes.end() && first[chunks] == clean.RangeStart() + kChunk * chunks)
        ++chunks;
    const int chunk = c.chunk > 0 ? c.chunk : chunks;
    ASSERT_LE(chunk, chunks);
    const uint32_t faultyWrite = writesBefore + static_cast<uint32_t>(first - writes.begin()) + chunk;

    UpgradeRig rig;
    OperationOnRig faulty(rig, c.operation);
    faulty.SetUp();
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults("corrupt@write:" + std::to_string(faultyWrite), plan, error)) << error;
    rig.Radio().SetFaults(plan);
    faulty.Run();

    // Up to the end of the chunk the radio holds what the clean run wrote but
    // for one byte, inside the chunk; nothing after the chunk was written.
    const uint32_t chunkStart = clean.RangeStart() + kChunk * static_cast<uint32_t>(chunk - 1);
    std::vector<uint32_t> differing;
    for (uint32_t a = clean.RangeStart(); a < chunkStart + kChunk; ++a)
        if (rig.Eeprom()[a] != twin.Eeprom()[a]) differing.push_back(a);
    ASSERT_EQ(differing.size(), 1u);
    const uint32_t address = differing[0];
    EXPECT_GE(address, chunkStart);
    EXPECT_EQ(rig.Radio().EepromWriteCount(), faultyWrite) << "written on after the difference";

    const std::vector<uint32_t> shown = rig.feedback.Messages();
    const auto mismatch = std::find(shown.begin(), shown.end(), 20250u);
    ASSERT_NE(mismatch, shown.end()) << "no read-back message";
    EXPECT_EQ(std::vector<uint32_t>(mismatch, shown.end()), c.messages);
    EXPECT_EQ(rig.feedback.MessageText(20250),
              ReadBackMismatchText({address, twin.Eeprom()[address], rig.Eeprom()[address]}));

    const std::vector<std::string> notes = rig.feedback.Notes();
    const auto noted = [&](const std::string& text) {
        return std::find_if(notes.begin(), notes.end(),
                            [&](const std::string& n) { return n.find(text) != std::string::npos; }) != notes.end();
    };
    switch (c.operation) {
    case Operation::Upgrade:
        // Stopped before the erase: the radio keeps its firmware.
        EXPECT_EQ(rig.Radio().EraseCount(), 0u);
        EXPECT_TRUE(rig.FlashUntouched());
        EXPECT_TRUE(noted(LoadMessageText(20254)));
        [[fallthrough]];
    case Operation::WriteCodeplug:
    case Operation::Restore:
    case Operation::Recover:
        ASSERT_EQ(rig.Backups().size(), 1u);
        EXPECT_TRUE(noted(MessageTextWith(20251, rig.BackupPath(rig.Backups().front()))));
        break;
    case Operation::Patch:
    case Operation::Unpatch:
        EXPECT_TRUE(std::filesystem::exists(CPatcher::UndoFilePath("742TQK1234")));
        EXPECT_TRUE(noted(MessageTextWith(20253, CPatcher::UndoFilePath("742TQK1234"))));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryWritePath, WriteReadBackTest,
    ::testing::Values(ReadBackCase{"upgrade_first_chunk", Operation::Upgrade, 1, {20250, 20146}},
                      ReadBackCase{"upgrade_chunk_with_the_marker", Operation::Upgrade, 23, {20250, 20146}},
                      ReadBackCase{"upgrade_last_chunk", Operation::Upgrade, -1, {20250, 20146}},
                      ReadBackCase{"write_codeplug_first_chunk", Operation::WriteCodeplug, 1, {20250, 20147}},
                      ReadBackCase{"write_codeplug_last_chunk", Operation::WriteCodeplug, -1, {20250, 20147}},
                      ReadBackCase{"patch_first_chunk", Operation::Patch, 1, {20250, 20150}},
                      ReadBackCase{"patch_last_chunk", Operation::Patch, -1, {20250, 20150}},
                      ReadBackCase{"unpatch_middle_chunk", Operation::Unpatch, 2, {20250, 20150}},
                      ReadBackCase{"restore_first_chunk", Operation::Restore, 1, {20250, 20208}},
                      ReadBackCase{"restore_last_chunk", Operation::Restore, -1, {20250, 20208}},
                      ReadBackCase{"recovery_first_chunk", Operation::Recover, 1, {20250, 20231}},
                      ReadBackCase{"recovery_last_chunk", Operation::Recover, -1, {20250, 20231}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteReadBack, AReadBackWithoutAnAnswerIsAFailedWriteThatMayBeRetried)
{
    // The read-back's first read goes unanswered; the operator retries, the
    // bootcode is downloaded again and the write then reads back whole.
    // The request after the image's first block is that block's read-back.
    const uint32_t firstBlock = RequestNumber("default", WriteAt(0), 0);
    ASSERT_NE(firstBlock, 0u);
    const uint32_t readBack = firstBlock + 1;
    UpgradeRig rig("default", "silence@" + std::to_string(readBack));
    rig.feedback.QueueAnswer(1); // the bootstrap prompt
    rig.feedback.QueueAnswer(1); // Retry
    EXPECT_EQ(rig.Run().outcome, UpgradeOutcome::Succeeded);
    EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20133, 20158, 20159, 20154}));
    EXPECT_TRUE(rig.FlashHoldsFirmware());
}

TEST(WriteReadBack, EachBlockIsReadBackAsSoonAsItIsWritten)
{
    UpgradeRig rig("default");
    ASSERT_EQ(rig.Run().outcome, UpgradeOutcome::Succeeded);
    std::vector<RadioRequest> decoded;
    for (const auto& message : rig.Radio().Requests())
        decoded.push_back(DecodeRadioRequest(message));
    const auto imageStart = std::find_if(decoded.begin(), decoded.end(),
                                         [](const RadioRequest& r) { return r.opcode == 0x17 && r.address == 0; });
    ASSERT_NE(imageStart, decoded.end());
    size_t blocks = 0;
    for (auto it = imageStart; it != decoded.end() && it->opcode == 0x17 && (it->address & 0x400000) == 0; it += 2) {
        ASSERT_NE(it + 1, decoded.end());
        EXPECT_EQ((it + 1)->opcode, 0x11) << "block " << blocks;
        EXPECT_EQ((it + 1)->address, it->address) << "block " << blocks;
        EXPECT_EQ(it->address, kChunk * blocks);
        ++blocks;
    }
    EXPECT_GT(blocks, 20u);
}

} // namespace
} // namespace vantrel
