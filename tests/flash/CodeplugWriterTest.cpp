#include "flash/CodeplugWriter.h"

#include "codeplug/BlockChecksum.h"
#include "codeplug/EepromBackup.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "platform/Files.h"
#include "sim/CodeplugGenerator.h"
#include "support/CodeplugFiles.h"
#include "support/OperationRig.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

// The radio-specific data a test radio carries, at the addresses of its layout.
struct RadioMarks {
    uint16_t tuningEnd; // 117 or 123
    uint16_t serial, region, esn;
};
constexpr RadioMarks kPhase3Marks{123, 655, 710, 715};
constexpr RadioMarks kPhase12Marks{117, 527, 582, 587};
const Bytes kSerial = {'7', '4', '2', 'T', 'Q', 'K', '1', '2', '3', '4'};
const Bytes kEsn = {0x8A, 0x12, 0x34, 0x56, 0x78};
constexpr uint8_t kRegion = 0x03;

// Gives the radio tuning bytes and identity items that no generated file has.
void MarkRadio(OperationRig& rig, const RadioMarks& marks)
{
    Bytes& e = rig.Eeprom();
    for (uint16_t a = 21; a < marks.tuningEnd; ++a)
        e[a] = static_cast<uint8_t>(0xA0 ^ a);
    std::copy(kSerial.begin(), kSerial.end(), e.begin() + marks.serial);
    e[marks.region] = kRegion;
    std::copy(kEsn.begin(), kEsn.end(), e.begin() + marks.esn);
}

Bytes Slice(const Bytes& bytes, size_t from, size_t end)
{
    return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(end));
}

std::string CodeplugFile(OperationRig& rig, const Bytes& image, const std::string& name = "codeplug.0")
{
    rig.dataFolder.Write(name, CodeplugSRecordText(image));
    return rig.dataFolder.File(name);
}

CodeplugWriteOptions Options(const std::string& path,
                             CodeplugLayoutChoice layout = CodeplugLayoutChoice::Phase3ToPhase3)
{
    CodeplugWriteOptions options;
    options.codeplugPath = path;
    options.layout = layout;
    return options;
}

std::vector<std::string> BackupFiles(OperationRig& rig)
{
    std::vector<std::string> out;
    for (const std::string& name : rig.dataFolder.Names()) {
        if (name.size() > 4 && name.ends_with(kBackupExtension)) out.push_back(name);
    }
    return out;
}

TEST(CodeplugWriter, DefaultsKeepTheRadioDataAndBackUpWhatTheyOverwrite)
{
    OperationRig rig;
    MarkRadio(rig, kPhase3Marks);
    const Bytes old = rig.Eeprom();
    const Bytes file = GenerateNewCodeplugImage({});
    const uint32_t length = static_cast<uint32_t>(file.size());

    EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, file))), CodeplugWriteOutcome::Success);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20154});

    Bytes expected = file;
    std::copy(old.begin() + 21, old.begin() + 123, expected.begin() + 21);
    std::copy(kSerial.begin(), kSerial.end(), expected.begin() + 655);
    expected[710] = kRegion;
    std::copy(kEsn.begin(), kEsn.end(), expected.begin() + 715);
    expected[722] = BlockChecksum(std::span<const uint8_t>(expected).subspan(651, 71));
    ASSERT_NE(expected[722], file[722]) << "the test needs a checksum that changes";
    const Bytes& now = rig.Eeprom();
    EXPECT_EQ(Slice(now, 0, length), expected);
    EXPECT_EQ(Slice(now, length, now.size()), Slice(old, length, old.size())) << "written past the image";
    EXPECT_EQ(TouchedAddresses(rig.requests.Writes()), AddressRun(0, length));
    EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
    using Step = std::pair<uint32_t, uint32_t>;
    const std::vector<Step> progress = rig.feedback.Progress();
    const std::vector<Step> start = {{WM_PROGRESS_OPEN, 4},    {WM_PROGRESS_TEXT, 20143}, {WM_PROGRESS_POS, 1},
                                     {WM_PROGRESS_POS, 2},     {WM_PROGRESS_POS, 3},      {WM_PROGRESS_POS, 4},
                                     {WM_PROGRESS_TEXT, 20144}};
    const std::vector<Step> end = {{WM_PROGRESS_TEXT, 20135}, {WM_PROGRESS_HIDEBAR, 0}, {WM_PROGRESS_CLOSE, 0}};
    ASSERT_GT(progress.size(), start.size() + end.size());
    EXPECT_EQ(std::vector<Step>(progress.begin(), progress.begin() + 7), start);
    EXPECT_EQ(std::vector<Step>(progress.end() - 3, progress.end()), end);

    // The backup holds the radio's old bytes of exactly the range written, and
    // was complete before the first write.
    const auto backups = BackupFiles(rig);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(backups[0].starts_with("742TQK1234-")) << backups[0];
    EepromBackup backup;
    std::string error;
    ASSERT_TRUE(ReadEepromBackup(rig.dataFolder.File(backups[0]), backup, error)) << error;
    EXPECT_EQ(backup.start, 0u);
    EXPECT_EQ(backup.bytes, Slice(old, 0, length));
    EXPECT_EQ(backup.serialNumber, "742TQK1234");
    const auto& model = rig.Radio().State().items[kItemModelNumber].value;
    EXPECT_EQ(backup.modelNumber, std::string(model.begin(), model.end()));
    EXPECT_EQ(backup.softwareVersion, "R03.07.05");
    // From the first write on, each block is read back right after it is
    // written, and nothing else is read.
    const auto& requests = rig.requests.Requests();
    const size_t firstWrite = rig.requests.FirstIndexOf(kOpWriteMemory);
    const auto writes = rig.requests.Writes();
    const auto reads = rig.requests.Reads();
    ASSERT_GE(reads.size(), writes.size());
    EXPECT_EQ(std::vector<RequestLog::Access>(reads.end() - static_cast<long>(writes.size()), reads.end()), writes);
    EXPECT_EQ(TouchedAddresses(writes), AddressRun(0, length));
    for (size_t i = 0; i < 2 * writes.size(); ++i)
        EXPECT_EQ(requests[firstWrite + i].opcode, i % 2 == 0 ? kOpWriteMemory : kOpReadMemory) << i;
    ASSERT_EQ(rig.feedback.Notes().size(), 1u);
    EXPECT_NE(rig.feedback.Notes()[0].find(backups[0]), std::string::npos);
}

TEST(CodeplugWriter, Phase12RadioGetsItsTuningConvertedIntoAPhase3File)
{
    OperationRig rig("phase12-r2");
    MarkRadio(rig, kPhase12Marks);
    const Bytes old = rig.Eeprom();
    const Bytes file = GenerateNewCodeplugImage({.seed = 7});

    CodeplugWriteOptions options = Options(CodeplugFile(rig, file), CodeplugLayoutChoice::Phase12ToPhase3);
    options.backup = false;
    EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);

    // The tuning block is read in its four pieces, then the three identity
    // items; then the whole image is read back, block by block as written.
    const std::vector<RequestLog::Access> reads = {{21, 30}, {51, 30},  {81, 30}, {111, 6},
                                                   {582, 1}, {527, 10}, {587, 5}};
    const std::vector<RequestLog::Access> all = rig.requests.Reads();
    ASSERT_GT(all.size(), reads.size());
    EXPECT_EQ(std::vector<RequestLog::Access>(all.begin(), all.begin() + 7), reads);
    EXPECT_EQ(TouchedAddresses({all.begin() + 7, all.end()}), AddressRun(0, static_cast<uint32_t>(file.size())));
    const Bytes& now = rig.Eeprom();
    EXPECT_EQ(Slice(now, 23, 65), Slice(old, 23, 65));
    EXPECT_EQ(now[21], old[21]);
    EXPECT_EQ(now[22], static_cast<uint8_t>(old[22] + 6));
    EXPECT_EQ(Slice(now, 65, 71), Bytes(6, 0));
    EXPECT_EQ(Slice(now, 71, 122), Slice(old, 65, 116)) << "the radio's byte 65 lands at 71";
    EXPECT_EQ(now[122], BlockChecksum(std::span<const uint8_t>(now).subspan(21, 101)));
    EXPECT_EQ(Slice(now, 123, 640), Slice(file, 123, 640)) << "the rest of the hardware codeplug is the file's";
    EXPECT_EQ(Slice(now, 655, 665), kSerial);
    EXPECT_EQ(now[710], kRegion);
    EXPECT_EQ(Slice(now, 715, 720), kEsn);
    EXPECT_EQ(now[722], BlockChecksum(std::span<const uint8_t>(now).subspan(651, 71)));
}

TEST(CodeplugWriter, HardwareOnlyWritesExactlyTheHardwareCodeplug)
{
    struct Case {
        const char* profile;
        CodeplugLayoutChoice layout;
        bool filePhase3;
        uint32_t size;
    };
    for (const Case& c : {Case{"phase12-r2", CodeplugLayoutChoice::Phase12ToPhase12, false, 512},
                          Case{"default", CodeplugLayoutChoice::Phase3ToPhase3, true, 640},
                          Case{"phase12-r2", CodeplugLayoutChoice::Phase12ToPhase3, true, 640}}) {
        SCOPED_TRACE(c.profile);
        OperationRig rig(c.profile);
        const Bytes old = rig.Eeprom();
        const Bytes file = c.filePhase3 ? GenerateNewCodeplugImage({}) : GenerateOldCodeplugImage({.phase3 = false});
        CodeplugWriteOptions options = Options(CodeplugFile(rig, file), c.layout);
        options.writeApplication = false;
        EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);
        EXPECT_EQ(TouchedAddresses(rig.requests.Writes()), AddressRun(0, c.size));
        EXPECT_EQ(Slice(rig.Eeprom(), c.size, old.size()), Slice(old, c.size, old.size()));
        // No identity is read when the application codeplug is not written:
        // everything read lies inside the hardware codeplug.
        const auto read = TouchedAddresses(rig.requests.Reads());
        ASSERT_FALSE(read.empty());
        EXPECT_LT(read.back(), c.size);
        ASSERT_EQ(BackupFiles(rig).size(), 1u);
    }
}

TEST(CodeplugWriter, ApplicationOnlyWritesTheApplicationPartAndNothingWhenThereIsNone)
{
    {
        OperationRig rig;
        const Bytes file = GenerateNewCodeplugImage({});
        CodeplugWriteOptions options = Options(CodeplugFile(rig, file));
        options.writeHardware = false;
        EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);
        EXPECT_EQ(TouchedAddresses(rig.requests.Writes()), AddressRun(640, static_cast<uint32_t>(file.size())));
    }
    {
        // An image no longer than the hardware codeplug leaves nothing to write.
        OperationRig rig;
        const Bytes old = rig.Eeprom();
        CodeplugWriteOptions options = Options(CodeplugFile(rig, Slice(GenerateNewCodeplugImage({}), 0, 640)));
        options.writeHardware = false;
        EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
        EXPECT_EQ(rig.Eeprom(), old);
        EXPECT_TRUE(BackupFiles(rig).empty()) << "nothing overwritten, nothing to back up";
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20154});
    }
}

TEST(CodeplugWriter, WithoutWriteBoxesNothingIsReadOrWrittenButTheRadioIsReset)
{
    OperationRig rig;
    const Bytes old = rig.Eeprom();
    CodeplugWriteOptions options = Options(CodeplugFile(rig, GenerateNewCodeplugImage({})));
    options.writeHardware = false;
    options.writeApplication = false;
    // "Save tuning data" alone reads nothing.
    options.saveTuning = true;
    EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);
    EXPECT_EQ(rig.requests.Count(kOpReadMemory), 0u);
    EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
    EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
    EXPECT_EQ(rig.Eeprom(), old);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20154});
}

TEST(CodeplugWriter, BadFilesAreRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* what;
        std::string text; // empty: no file at all; "/": a folder
        bool writeApplication;
        std::vector<uint32_t> messages;
    };
    const Bytes image = GenerateNewCodeplugImage({});
    std::string truncated = CodeplugSRecordText(image);
    truncated.resize(truncated.size() / 2 + 3);
    const std::vector<Case> cases = {
        {"missing file", "", true, {20152, 20147}},
        {"a folder", "/", true, {20152, 20147}},
        {"image over 20,000 bytes", CodeplugSRecordText(Bytes(20001, 0x11)), true, {20111, 20147}},
        {"record cut off", truncated, true, {20111, 20147}},
        // A hardware codeplug shorter than the layout's must not be padded with
        // bytes that were never loaded.
        {"short hardware codeplug", CodeplugSRecordText(Slice(image, 0, 600)), false, {20111, 20147}},
        {"short image with both boxes", CodeplugSRecordText(Slice(image, 0, 300)), true, {20111, 20147}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OperationRig rig;
        const Bytes old = rig.Eeprom();
        std::string path = rig.dataFolder.File("absent.0");
        if (c.text == "/") {
            path = rig.dataFolder.Path();
        } else if (!c.text.empty()) {
            rig.dataFolder.Write("file.0", c.text);
            path = rig.dataFolder.File("file.0");
        }
        CodeplugWriteOptions options = Options(path);
        options.writeApplication = c.writeApplication;
        EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Failure);
        EXPECT_EQ(rig.feedback.Messages(), c.messages);
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u) << "the radio is reset in every case";
        EXPECT_EQ(rig.Eeprom(), old);
    }
}

// The file must be of the layout chosen: its hardware codeplug length word
// (bytes 0 and 1) says which it is.
TEST(CodeplugWriter, FileOfAnotherLayoutIsRefusedBeforeAnythingIsWritten)
{
    const Bytes phase3 = GenerateNewCodeplugImage({});
    const Bytes phase12 = GenerateOldCodeplugImage({});
    const std::string header = "S00F000068656C6C6F20202020200000FC\r\n";
    struct Case {
        const char* what;
        std::string text;
        CodeplugLayoutChoice layout;
        std::string note; // the failure note
    };
    const std::vector<Case> cases = {
        {"header record with data shifts the image", header + CodeplugSRecordText(phase3),
         CodeplugLayoutChoice::Phase3ToPhase3,
         "The codeplug file's hardware codeplug length is 25964; the layout chosen needs 640. Nothing was written "
         "to the radio."},
        {"Phase 3 file chosen as Phase 1/2", CodeplugSRecordText(phase3), CodeplugLayoutChoice::Phase12ToPhase12,
         "The codeplug file's hardware codeplug length is 640; the layout chosen needs 512. Nothing was written to "
         "the radio."},
        {"Phase 1/2 file chosen as Phase 3", CodeplugSRecordText(phase12), CodeplugLayoutChoice::Phase3ToPhase3,
         "The codeplug file's hardware codeplug length is 512; the layout chosen needs 640. Nothing was written to "
         "the radio."},
        {"Phase 1/2 file chosen as a Phase 3 file", CodeplugSRecordText(phase12), CodeplugLayoutChoice::Phase12ToPhase3,
         "The codeplug file's hardware codeplug length is 512; the layout chosen needs 640. Nothing was written to "
         "the radio."},
        {"byte-order mark", "\xEF\xBB\xBF" + CodeplugSRecordText(phase3), CodeplugLayoutChoice::Phase3ToPhase3,
         "Reading the codeplug file stopped at a line that is not an S-record, before its end."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OperationRig rig(c.layout == CodeplugLayoutChoice::Phase3ToPhase3 ? kSimDefaultProfile : "phase12-r2");
        const Bytes old = rig.Eeprom();
        rig.dataFolder.Write("file.0", c.text);
        EXPECT_EQ(WriteCodeplug(Options(rig.dataFolder.File("file.0"), c.layout)), CodeplugWriteOutcome::Failure);
        EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20111, 20147}));
        EXPECT_EQ(rig.feedback.FailureNotes(), std::vector<std::string>{c.note});
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.Eeprom(), old);
    }
    // A header record without data shifts nothing.
    OperationRig rig;
    rig.dataFolder.Write("file.0", "S0030000FC\r\n" + CodeplugSRecordText(phase3));
    EXPECT_EQ(WriteCodeplug(Options(rig.dataFolder.File("file.0"))), CodeplugWriteOutcome::Success);
}

TEST(CodeplugWriter, RadioReadFailureOrNoPortWritesNothing)
{
    {
        // The radio does not answer the first tuning read.
        OperationRig rig(kSimDefaultProfile, "silence@1-");
        EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, GenerateNewCodeplugImage({})))),
                  CodeplugWriteOutcome::Failure);
        EXPECT_EQ(rig.requests.Count(kOpReadMemory), 1u);
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
        EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>{20147}) << "the file is not even opened";
        EXPECT_EQ(
            rig.feedback.FailureNotes(),
            std::vector<std::string>{"Reading the radio's data to keep failed; nothing was written to the radio."});
    }
    {
        OperationRig rig;
        rig.router.SetSlotTarget(0, "sim:nonesuch");
        EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, GenerateNewCodeplugImage({})))),
                  CodeplugWriteOutcome::Failure);
        EXPECT_TRUE(rig.requests.Requests().empty());
        // A simulated radio that cannot be made is no such device.
        EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20270, 20147}));
    }
}

// The request number (counted as the radio counts them) of the first write of a
// run with these options, learnt from a run on a radio of its own.
uint32_t FirstWriteRequest(const Bytes& file, CodeplugWriteOptions options)
{
    OperationRig rig;
    options.codeplugPath = CodeplugFile(rig, file);
    EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);
    return static_cast<uint32_t>(rig.requests.FirstIndexOf(kOpWriteMemory)) + 1;
}

constexpr const char* kWriteFailedNote = "Writing the codeplug into the radio failed; the radio may hold part of it.";

TEST(CodeplugWriter, RadioLostMidWriteIsAskedAboutAndGivenUp)
{
    const Bytes file = GenerateNewCodeplugImage({});
    const uint32_t firstWrite = FirstWriteRequest(file, Options(""));
    {
        // Silent from the fourth write on (each write is followed by its
        // read-back): every Retry fails at once, and the passes end after the
        // bound whatever the operator answers.
        OperationRig rig(kSimDefaultProfile, "silence@" + std::to_string(firstWrite + 6) + "-");
        EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, file))), CodeplugWriteOutcome::Failure);
        std::vector<uint32_t> expected(kMaxCodeplugWritePasses - 1, 20158);
        expected.push_back(20147);
        EXPECT_EQ(rig.feedback.Messages(), expected);
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 3u + kMaxCodeplugWritePasses);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
        EXPECT_EQ(rig.feedback.FailureNotes(), std::vector<std::string>{kWriteFailedNote}) << "what failed";
        const auto writes = rig.requests.Writes();
        // The fourth write found the radio silent; each later pass fails on its first write.
        ASSERT_GT(writes.size(), 4u);
        EXPECT_TRUE(std::all_of(writes.begin() + 4, writes.end(), [&](const auto& w) {
            return w.address == writes.front().address;
        })) << "every pass starts again from its first write";
    }
    {
        // Power lost at the second write: the operator cancels at the first question.
        OperationRig rig(kSimDefaultProfile, "power@msg:" + std::to_string(firstWrite + 2));
        rig.feedback.QueueAnswer(0);
        EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, file))), CodeplugWriteOutcome::Cancelled);
        EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20158, 20147}));
        EXPECT_EQ(rig.feedback.FailureNotes(), std::vector<std::string>{kWriteFailedNote});
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 2u);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
        // Part of the codeplug is in the radio: the final box names the
        // backup that brings the rest back, and how.
        const auto backups = BackupFiles(rig);
        ASSERT_EQ(backups.size(), 1u);
        ASSERT_FALSE(rig.feedback.Notes().empty());
        EXPECT_EQ(rig.feedback.Notes().back(),
                  "To bring the radio's EEPROM data back, run: vantrel-cli restore " + rig.dataFolder.File(backups[0]));
    }
    {
        // A Retry after a lost answer writes the whole image again and succeeds.
        OperationRig rig(kSimDefaultProfile, "silence@" + std::to_string(firstWrite + 2));
        EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, file))), CodeplugWriteOutcome::Success);
        EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20158, 20154}));
        EXPECT_EQ(Slice(rig.Eeprom(), 723, file.size()), Slice(file, 723, file.size()));
    }
}

TEST(CodeplugWriter, BackupThatCannotBeSavedStopsTheRunAndCanBeTurnedOff)
{
    const Bytes file = GenerateNewCodeplugImage({});
    {
        OperationRig rig;
        const Bytes old = rig.Eeprom();
        // A plain file where the data folder should be.
        rig.dataFolder.Write("not-a-folder", "x");
        SetUserDataFolder(rig.dataFolder.File("not-a-folder"));
        EXPECT_EQ(WriteCodeplug(Options(CodeplugFile(rig, file))), CodeplugWriteOutcome::Failure);
        EXPECT_EQ(rig.feedback.Messages(), (std::vector<uint32_t>{20190, 20147}));
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 0u);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
        EXPECT_EQ(rig.Eeprom(), old);
    }
    {
        OperationRig rig;
        CodeplugWriteOptions options = Options(CodeplugFile(rig, file));
        options.backup = false;
        EXPECT_EQ(WriteCodeplug(options), CodeplugWriteOutcome::Success);
        EXPECT_TRUE(BackupFiles(rig).empty());
        const size_t readsBeforeWriting = static_cast<size_t>(std::count_if(
            rig.requests.Requests().begin(),
            rig.requests.Requests().begin() + static_cast<long>(rig.requests.FirstIndexOf(kOpWriteMemory)),
            [](const auto& r) { return r.opcode == kOpReadMemory; }));
        EXPECT_EQ(readsBeforeWriting, 7u) << "tuning and identity only";
    }
}

} // namespace
} // namespace vantrel
