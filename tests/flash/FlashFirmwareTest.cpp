#include "flash/FlashLoader.h"
#include "flash/FlashTestBench.h"

#include <gtest/gtest.h>
#include <numeric>

namespace vantrel {
namespace {

using P = std::pair<uint32_t, uint32_t>;
using Ids = std::vector<uint32_t>;

// One S-record line: type 1 has a 2-byte address, the others 3 bytes.
std::string SRecordLine(int type, uint32_t address, const Bytes& data)
{
    const int addressBytes = type == 1 || type == 9 ? 2 : 3;
    Bytes body{static_cast<uint8_t>(addressBytes + data.size() + 1)};
    for (int i = addressBytes - 1; i >= 0; --i)
        body.push_back(static_cast<uint8_t>(address >> (8 * i)));
    body.insert(body.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : body)
        sum = static_cast<uint8_t>(sum + b);
    body.push_back(static_cast<uint8_t>(~sum));
    static const char* hex = "0123456789ABCDEF";
    std::string line(1, 'S');
    line.append(std::to_string(type));
    for (uint8_t b : body)
        line += {hex[b >> 4], hex[b & 15]};
    return line + "\r\n";
}

// A line ending in CR CR LF instead of CR LF.
std::string CrCrLf(const std::string& line)
{
    return line.substr(0, line.size() - 2) + "\r\r\n";
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

class FlashFirmwareTest : public FlashTestBench {
protected:
    void SetUp() override
    {
        FlashTestBench::SetUp();
        bootstrap.running = true; // the loader answers framed commands
    }

    bool Flash(const Bytes& recordFile)
    {
        files.firmwarePath = WriteFile("tor5t.mot", recordFile);
        return FlashOnly();
    }
    bool FlashOnly()
    {
        CFlashLoader loader(files, 115200, 0);
        return loader.FlashFirmware();
    }
    // Answers for the erase and every record.
    void AnswerAll(size_t records)
    {
        for (size_t i = 0; i <= records; ++i)
            Done();
    }
    static Bytes Data(size_t n, uint8_t first)
    {
        Bytes bytes(n);
        std::iota(bytes.begin(), bytes.end(), first);
        return bytes;
    }
    void ExpectReleased()
    {
        EXPECT_EQ(TheRadioLink().Port(), nullptr);
        EXPECT_FALSE(device.IsOpen());
    }

    FlashFileSet files;
};

TEST_F(FlashFirmwareTest, EraseThenOneWritePerRecordAtItsFlashAddress)
{
    const std::vector<std::pair<uint32_t, Bytes>> records{
        {0x000000, Data(3, 1)},     // bit 22 is set on the way
        {0x401234, Data(1, 9)},     // already set: unchanged
        {0x012345, {}},             // no data: the address alone
        {0x01FF00, Data(45, 0x80)}, // a full write command
    };
    AnswerAll(records.size());
    ASSERT_TRUE(Flash(RecordFile(records)));

    EXPECT_EQ(factory.Requested(), std::vector<std::string>{"COM1"});
    EXPECT_EQ(device.Settings().baudRate, 115200u);
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].opcode, kOpEraseFlash);
    EXPECT_EQ(requests[0].payload, Bytes{0x40});
    const std::vector<Bytes> addresses{{0x40, 0x00, 0x00}, {0x40, 0x12, 0x34}, {0x41, 0x23, 0x45}, {0x41, 0xFF, 0x00}};
    for (size_t i = 0; i < records.size(); ++i) {
        Bytes payload = addresses[i];
        payload.insert(payload.end(), records[i].second.begin(), records[i].second.end());
        EXPECT_EQ(requests[i + 1].opcode, kOpWriteMemory) << i;
        EXPECT_EQ(requests[i + 1].payload, payload) << i;
    }
    EXPECT_EQ(feedback.Progress(), (std::vector<P>{{WM_PROGRESS_RANGE, 4},
                                                   {WM_PROGRESS_TEXT, 20129},
                                                   {WM_PROGRESS_HIDEBAR, 0},
                                                   {WM_PROGRESS_SHOWBAR, 0},
                                                   {WM_PROGRESS_RANGE, 4},
                                                   {WM_PROGRESS_TEXT, 20128},
                                                   {WM_PROGRESS_POS, 1},
                                                   {WM_PROGRESS_POS, 2},
                                                   {WM_PROGRESS_POS, 3},
                                                   {WM_PROGRESS_POS, 4}}));
    EXPECT_TRUE(feedback.Messages().empty());
    ExpectReleased();
}

// Erasing without writing would leave the radio without firmware and report
// success: a file without data is refused before the erase.
TEST_F(FlashFirmwareTest, FileWithoutDataIsRefusedBeforeTheErase)
{
    for (const Bytes& file : {RecordFile({}), RecordFile({{0x100, {}}, {0x200, {}}})}) {
        feedback.Clear();
        EXPECT_FALSE(Flash(file));
        EXPECT_EQ(feedback.Messages(), Ids{20211});
        EXPECT_TRUE(device.SentBytes().empty());
        ExpectReleased();
    }
}

TEST_F(FlashFirmwareTest, SettlesOneSecondAfterTheLastRecord)
{
    AnswerAll(1);
    ASSERT_TRUE(Flash(RecordFile({{0x100, Data(4, 0)}})));
    EXPECT_GE(clock.NowMs() - device.LastReadMs(), 1000u);
    EXPECT_LE(clock.NowMs() - device.LastReadMs(), 1001u);
}

TEST_F(FlashFirmwareTest, MissingFirmwareFileLeavesTheRadioUntouched)
{
    files.firmwarePath = (folder / "tor5t.mot").string();
    EXPECT_FALSE(FlashOnly());
    EXPECT_EQ(feedback.Messages(), Ids{20114});
    EXPECT_TRUE(device.SentBytes().empty());
    EXPECT_TRUE(feedback.Progress().empty());
    ExpectReleased();
}

TEST_F(FlashFirmwareTest, PortThatCannotBeOpenedIsReported)
{
    factory.MarkMissing("COM1");
    EXPECT_FALSE(Flash(RecordFile({})));
    EXPECT_EQ(feedback.Messages(), Ids{20110});
    ExpectReleased();
}

// A damaged file is found before the erase: the radio keeps its old firmware
// and a Retry cannot erase it again and again.
TEST_F(FlashFirmwareTest, DamagedFileIsRefusedBeforeTheErase)
{
    Bytes truncated = RecordFile({{0, Data(4, 0)}, {8, Data(4, 0)}});
    truncated.pop_back();
    Bytes trailing = RecordFile({{0, Data(4, 0)}});
    trailing.push_back(0x00);
    Bytes tooLong = RecordFile({{0, Data(45, 0)}});
    tooLong[4] = 46;
    tooLong.push_back(0xAA);
    const std::vector<std::pair<Bytes, uint32_t>> cases{
        {truncated, 20186},
        {trailing, 20186},
        {Bytes{1, 0, 0}, 20186},
        {tooLong, 20187},
        {RecordFile({{0, Data(2, 0)}, {0x1000000, Data(2, 0)}}), 20188},
        // An address written twice would fail after the erase, and every Retry would erase again.
        {RecordFile({{0x100, Data(8, 0)}, {0x104, Data(8, 0)}}), 20212},
        {RecordFile({{0x400100, Data(4, 0)}, {0x100, Data(4, 0)}}), 20212},
    };
    for (const auto& [file, message] : cases) {
        feedback.Clear();
        EXPECT_FALSE(Flash(file)) << message;
        EXPECT_EQ(feedback.Messages(), Ids{message});
        EXPECT_TRUE(device.SentBytes().empty()) << message;
        ExpectReleased();
    }
}

TEST_F(FlashFirmwareTest, FailedEraseEndsWithoutAMessageOrAWrite)
{
    script.push_back({kNak});
    EXPECT_FALSE(Flash(RecordFile({{0, Data(4, 0)}})));
    EXPECT_TRUE(feedback.Messages().empty());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(feedback.Progress().back(), (P{WM_PROGRESS_HIDEBAR, 0}));
    ExpectReleased();
}

TEST_F(FlashFirmwareTest, FailedWriteStopsAtItsRecord)
{
    Done(); // erase
    Done(); // record 1
    for (int attempt = 0; attempt < 5; ++attempt)
        script.push_back({kNak});
    EXPECT_FALSE(Flash(RecordFile({{0, Data(4, 0)}, {4, Data(4, 4)}, {8, Data(4, 8)}})));
    EXPECT_TRUE(feedback.Messages().empty());
    EXPECT_EQ(requests.size(), 1u + 1u + 5u);
    EXPECT_EQ(feedback.Progress().back(), (P{WM_PROGRESS_POS, 1}));
    ExpectReleased();
}

// The selected-file source: one write per S-record up to the end record, and
// the same checks before the erase.
TEST_F(FlashFirmwareTest, SelectedSRecordFileIsFlashedUpToItsEndRecord)
{
    files.firmwareIsSRecord = true;
    const std::string source = SRecordLine(1, 0x1000, Data(4, 1)) + SRecordLine(2, 0x012000, Data(3, 7)) +
                               SRecordLine(9, 0, {}) + SRecordLine(1, 0x2000, Data(2, 0));
    AnswerAll(2);
    files.firmwarePath = WriteFile("selected.0", Text(source));
    ASSERT_TRUE(FlashOnly());
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].payload, (Bytes{0x40, 0x10, 0x00, 1, 2, 3, 4}));
    EXPECT_EQ(requests[2].payload, (Bytes{0x41, 0x20, 0x00, 7, 8, 9}));
    EXPECT_EQ(feedback.Progress()[4], (P{WM_PROGRESS_RANGE, 2}));
    EXPECT_EQ(feedback.Progress().back(), (P{WM_PROGRESS_POS, 2}));
    // No settling pause after the last record.
    EXPECT_LT(clock.NowMs() - device.LastReadMs(), 10u);
    ExpectReleased();
}

TEST_F(FlashFirmwareTest, DamagedSRecordFileIsRefusedBeforeTheErase)
{
    files.firmwareIsSRecord = true;
    const std::vector<std::pair<std::string, uint32_t>> cases{
        {SRecordLine(1, 0, Data(4, 0)) + "S1070000G1020304F1\r\n" + SRecordLine(9, 0, {}), 20111},
        {SRecordLine(1, 0, Data(4, 0)) + "S10700000102", 20111},
        {SRecordLine(2, 0, Data(46, 0)) + SRecordLine(9, 0, {}), 20187},
        // Nothing to write, or data read only up to a line the reader stops at.
        {SRecordLine(9, 0, {}), 20211},
        {"\xEF\xBB\xBF" + SRecordLine(1, 0, Data(4, 0)) + SRecordLine(9, 0, {}), 20111},
        {CrCrLf(SRecordLine(1, 0, Data(4, 0))) + SRecordLine(1, 4, Data(4, 4)) + SRecordLine(9, 0, {}), 20111},
        // A header record read as data ahead of data for the same addresses.
        {"S00F000068656C6C6F20202020200000FC\r\n" + SRecordLine(2, 0x000068, Data(16, 0)) + SRecordLine(9, 0, {}),
         20212},
    };
    for (const auto& [source, message] : cases) {
        feedback.Clear();
        files.firmwarePath = WriteFile("selected.0", Text(source));
        EXPECT_FALSE(FlashOnly()) << source;
        EXPECT_EQ(feedback.Messages(), Ids{message}) << source;
        EXPECT_TRUE(device.SentBytes().empty());
        ExpectReleased();
    }
    feedback.Clear();
    files.firmwarePath = (folder / "none.0").string();
    EXPECT_FALSE(FlashOnly());
    EXPECT_EQ(feedback.Messages(), Ids{20114});
    // A folder is not a firmware file.
    feedback.Clear();
    files.firmwarePath = folder.string();
    EXPECT_FALSE(FlashOnly());
    EXPECT_EQ(feedback.Messages(), Ids{20114});
    EXPECT_TRUE(device.SentBytes().empty());
}

TEST_F(FlashFirmwareTest, OverlapNamesTheFirstAddressWrittenTwice)
{
    EXPECT_FALSE(Flash(RecordFile({{0x300, Data(4, 0)}, {0x110, Data(8, 0)}, {0x100, Data(20, 0)}})));
    EXPECT_EQ(feedback.Messages(), Ids{20212});
    EXPECT_EQ(feedback.FailureNotes(), std::vector<std::string>{"First flash address written twice: 0x400110"});
}

} // namespace
} // namespace vantrel
