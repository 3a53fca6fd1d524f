#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

#include "images/ImageTestSupport.h"
#include "images/SRecordFile.h"
#include "images/SRecordWriter.h"

namespace vantrel {
namespace {

using test::PseudoRandomBytes;
using test::TempFolder;

struct Rec {
    uint32_t address;
    std::vector<uint8_t> data;
    bool operator==(const Rec&) const = default;
};

struct ReadResult {
    std::vector<Rec> records;
    SRecordError error = SRecordError::None;
};

// Reads a file record by record through a reader of the given capacity.
ReadResult ReadAll(const std::string& path, uint32_t capacity)
{
    CSRecordFile file(capacity);
    EXPECT_TRUE(file.Open(path));
    ReadResult result;
    std::array<uint8_t, kMaxRecordData> data{};
    ImageRecord record{data.data(), kMaxRecordData};
    while (file.NextRecord(record)) {
        result.records.push_back({record.address, {data.begin(), data.begin() + record.length}});
    }
    EXPECT_EQ(record.length, 0u);
    EXPECT_EQ(record.address, 0u);
    result.error = file.Error();
    return result;
}

// Every reading test runs over both paths: the whole file in memory, and
// parsed from disk.
class SRecordPaths : public testing::TestWithParam<uint32_t> {
protected:
    ReadResult Read(const std::string& text)
    {
        folder.Write("in.0", text);
        return ReadAll(folder.File("in.0"), GetParam());
    }
    TempFolder folder;
};

INSTANTIATE_TEST_SUITE_P(Paths, SRecordPaths, testing::Values(1u << 20, 0u),
                         [](const auto& info) { return info.param == 0 ? "FromDisk" : "Buffered"; });

TEST_P(SRecordPaths, LineEndsGiveTheSameRecords)
{
    const std::vector<Rec> expected = {{0x0000, {0x01, 0x02, 0x03}}, {0x123456, {0xAA}}, {0x0010, {}}};
    for (const char* end : {"\n", "\r", "\r\n"}) {
        std::string text;
        AppendSRecord(text, '1', 0x0000, std::vector<uint8_t>{1, 2, 3}, end);
        AppendSRecord(text, '2', 0x123456, std::vector<uint8_t>{0xAA}, end);
        AppendSRecord(text, '1', 0x0010, {}, end);
        AppendSRecord(text, '9', 0, {}, end);
        const ReadResult r = Read(text);
        EXPECT_EQ(r.records, expected) << "line end " << (end[0] == '\n' ? "LF" : end[1] ? "CR LF" : "CR");
        EXPECT_EQ(r.error, SRecordError::None);
    }
}

TEST_P(SRecordPaths, WhereTheDataEnd)
{
    // No S9: the end of the file; the last line may lack its line end.
    EXPECT_EQ(Read("S1040000AA51\nS1040001BB3F").records, (std::vector<Rec>{{0, {0xAA}}, {1, {0xBB}}}));
    // Everything after the first S9 is ignored, even malformed text.
    EXPECT_EQ(Read("S1040000AA51\nS9030000FC\nS1040001BB3F\nnot a record").records,
              (std::vector<Rec>{{0, {0xAA}}}));
    // A blank line ends the data, whatever the line ends.
    for (const std::string blank : {"\n\n", "\r\r", "\r\n\r\n"}) {
        const ReadResult r = Read("S1040000AA51" + blank + "S1040001BB3F" + blank);
        EXPECT_EQ(r.records, (std::vector<Rec>{{0, {0xAA}}}));
        EXPECT_EQ(r.error, SRecordError::None);
    }
    // A line that is not a record ends the data quietly.
    EXPECT_EQ(Read("S1040000AA51\n:0400000001\n").records.size(), 1u);
    EXPECT_TRUE(Read("").records.empty());
}

TEST_P(SRecordPaths, ShortHeaderAndCountRecordsCarryNoData)
{
    const ReadResult r = Read("S0030000FC\nS1040000AA51\nS5030001FB\nS9030000FC\n");
    EXPECT_EQ(r.records, (std::vector<Rec>{{0, {}}, {0, {0xAA}}, {1, {}}}));
    EXPECT_EQ(r.error, SRecordError::None);
}

struct EndCase {
    const char* name;
    std::string text;
    bool early;
};

TEST_P(SRecordPaths, EndedEarlyTellsAStopBeforeTheEndRecordAndTheEnd)
{
    const std::string rec = "S1040000AA51";
    const std::string end = "S9030000FC";
    const EndCase cases[] = {
        {"end record", rec + "\n" + end + "\nnot a record", false},
        {"end of the file", rec + "\n" + rec, false},
        {"blank lines and padding at the end", rec + "\r\n\r\n \t" + std::string(3, '\0') + "\x1A", false},
        {"a long blank tail", rec + "\n" + std::string(100000, '\n'), false},
        {"byte-order mark", "\xEF\xBB\xBF" + rec + "\n" + end, true},
        {"leading blank line", "\n" + rec + "\n" + end, true},
        {"CR CR LF line ends", rec + "\r\r\n" + rec + "\r\r\n" + end, true},
        {"a line that is not a record", rec + "\n:0400000001\n", true},
        {"records after a long blank run", rec + "\n" + std::string(100000, '\n') + rec, true},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("in.0", c.text);
        CSRecordFile file(GetParam());
        ASSERT_TRUE(file.Open(folder.File("in.0")));
        const uint32_t count = file.CountRecords();
        EXPECT_FALSE(file.EndedEarly()) << "counting rewinds";
        std::vector<uint8_t> image(64);
        ImageBuffer buffer{image.data(), static_cast<uint32_t>(image.size())};
        EXPECT_TRUE(file.LoadImage(buffer));
        EXPECT_EQ(file.EndedEarly(), c.early);
        EXPECT_FALSE(file.Failed());
        ASSERT_TRUE(file.Open(folder.File("in.0")));
        uint8_t data[kMaxRecordData];
        ImageRecord record{data, kMaxRecordData};
        uint32_t read = 0;
        while (file.NextRecord(record))
            ++read;
        EXPECT_EQ(read, count);
        EXPECT_EQ(file.EndedEarly(), c.early);
    }
}

TEST_P(SRecordPaths, RecordFields)
{
    // S0 is read as data with a 3-byte address; a wrong checksum is accepted;
    // lower-case digits are read; counts 0x13 (S1) and 0x14 (S2) give 16 bytes.
    const ReadResult r = Read(
        "S00600004844521B\n"
        "S1041234abFF\n"
        "S1130010000102030405060708090A0B0C0D0E0F00\n"
        "S214ABCDEF101112131415161718191A1B1C1D1E1F00\n"
        "S50400000300\n");
    ASSERT_EQ(r.records.size(), 5u);
    EXPECT_EQ(r.records[0], (Rec{0x000048, {0x44, 0x52}}));
    EXPECT_EQ(r.records[1], (Rec{0x1234, {0xAB}}));
    EXPECT_EQ(r.records[2].address, 0x0010u);
    EXPECT_EQ(r.records[2].data.size(), 16u);
    EXPECT_EQ(r.records[2].data[15], 0x0F);
    EXPECT_EQ(r.records[3].address, 0xABCDEFu);
    EXPECT_EQ(r.records[3].data.size(), 16u);
    EXPECT_EQ(r.records[3].data[0], 0x10);
    // Any digit but 1 and 9 takes the layout of S2.
    EXPECT_EQ(r.records[4], (Rec{0x000003, {}}));
}

TEST_P(SRecordPaths, CountRecordsRewinds)
{
    const ReadResult expected = Read("S1040000AA51\nS1040001BB3F\nS1040002CC2D\nS9030000FC\n");
    ASSERT_EQ(expected.records.size(), 3u);

    CSRecordFile file(GetParam());
    ASSERT_TRUE(file.Open(folder.File("in.0")));
    EXPECT_EQ(file.IsBuffered(), GetParam() != 0);
    std::array<uint8_t, kMaxRecordData> data{};
    ImageRecord record{data.data(), kMaxRecordData};
    EXPECT_EQ(file.CountRecords(), 3u);
    ASSERT_TRUE(file.NextRecord(record));
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(data[0], 0xAA);
    // Counting mid-way counts the whole file and starts again at the first record.
    ASSERT_TRUE(file.NextRecord(record));
    EXPECT_EQ(file.CountRecords(), 3u);
    ASSERT_TRUE(file.NextRecord(record));
    EXPECT_EQ(data[0], 0xAA);
    // And after the end too.
    while (file.NextRecord(record)) {
    }
    EXPECT_FALSE(file.Failed());
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(file.CountRecords(), 3u);
    uint8_t image[8] = {};
    ImageBuffer buffer{image, sizeof image};
    EXPECT_TRUE(file.LoadImage(buffer));
    EXPECT_EQ(buffer.length, 3u);
    EXPECT_EQ(image[2], 0xCC);
}

// Malformed records are refused: the records before them are read, then the
// reading stops with an error that the normal end does not give.
struct BadCase {
    const char* name;
    std::string text;
    SRecordError error;
};

TEST_P(SRecordPaths, MalformedRecordsAreRefused)
{
    const std::string good = "S1040000AA51\n";
    const BadCase cases[] = {
        {"truncated data", "S1130010000102030405", SRecordError::Truncated},
        {"truncated before the checksum", "S1040000AA", SRecordError::Truncated},
        {"lone mark", "S", SRecordError::Truncated},
        {"no count", "S1", SRecordError::Truncated},
        {"half count", "S10", SRecordError::Truncated},
        {"S1 count below address and checksum", "S1020000\n", SRecordError::BadCount},
        {"S2 count below address and checksum", "S203000000\n", SRecordError::BadCount},
        {"count record shorter than its short form", "S50200FD\n", SRecordError::BadCount},
        {"S2 record in the short form of S0 and S5", "S2030000FC\n", SRecordError::BadCount},
        {"zero count", "S100\n", SRecordError::BadCount},
        {"type not a digit", "SX040000AA51\n", SRecordError::BadCharacter},
        {"count not hex", "S1G40000AA51\n", SRecordError::BadCharacter},
        {"address not hex", "S10400Z0AA51\n", SRecordError::BadCharacter},
        {"data not hex", "S1040000A 51\n", SRecordError::BadCharacter},
        {"checksum not hex", "S1040000AA5?\n", SRecordError::BadCharacter},
        {"line longer than its count", "S1040000AA51CC\n", SRecordError::LineTooLong},
        {"trailing blank", "S1040000AA51 \n", SRecordError::LineTooLong},
        {"count shorter than the line", "S1030000AA51\n", SRecordError::LineTooLong},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadResult r = Read(good + c.text + "\n" + good);
        EXPECT_EQ(r.records, (std::vector<Rec>{{0, {0xAA}}}));
        EXPECT_EQ(r.error, c.error);

        // Counting stops at the fault and the reader stays failed, so a
        // conversion that counts first never starts on a bad file.
        CSRecordFile file(GetParam());
        ASSERT_TRUE(file.Open(folder.File("in.0")));
        EXPECT_EQ(file.CountRecords(), 1u);
        EXPECT_TRUE(file.Failed());
        uint8_t image[16] = {};
        ImageBuffer buffer{image, sizeof image};
        EXPECT_FALSE(file.LoadImage(buffer));
        // Opening again starts afresh.
        ASSERT_TRUE(file.Open(folder.File("in.0")));
        EXPECT_FALSE(file.Failed());
        EXPECT_FALSE(file.LoadImage(buffer));
        EXPECT_EQ(buffer.length, 1u);
        EXPECT_EQ(file.Error(), c.error);
    }
}

TEST_P(SRecordPaths, RecordLargerThanTheCallersArrayIsRefused)
{
    Read("S1130010000102030405060708090A0B0C0D0E0F00\n");
    CSRecordFile file(GetParam());
    ASSERT_TRUE(file.Open(folder.File("in.0")));
    std::array<uint8_t, 20> data{};
    data.fill(0x77);
    ImageRecord record{data.data(), 15};
    EXPECT_FALSE(file.NextRecord(record));
    EXPECT_EQ(file.Error(), SRecordError::RecordTooLarge);
    EXPECT_EQ(data[15], 0x77);
}

TEST_P(SRecordPaths, LoadImageStopsAtTheDestinationsEnd)
{
    // Addresses are ignored: the S2 record for 0x200 follows the 16 bytes at 0.
    Read("S1130000000102030405060708090A0B0C0D0E0F00\nS2060002001011FF\nS9030000FC\n");
    std::array<uint8_t, 24> image{};
    for (const uint32_t capacity : {18u, 17u, 16u, 0u}) {
        SCOPED_TRACE(capacity);
        image.fill(0xEE);
        CSRecordFile file(GetParam());
        ASSERT_TRUE(file.Open(folder.File("in.0")));
        ImageBuffer buffer{image.data(), capacity};
        const bool fits = capacity == 18;
        EXPECT_EQ(file.LoadImage(buffer), fits);
        EXPECT_EQ(file.Error(), fits ? SRecordError::None : SRecordError::ImageTooLarge);
        // Whole records only, never a byte past the capacity.
        EXPECT_EQ(buffer.length, fits ? 18u : capacity >= 16 ? 16u : 0u);
        EXPECT_TRUE(std::all_of(image.begin() + capacity, image.end(), [](uint8_t b) { return b == 0xEE; }));
        if (fits) {
            EXPECT_EQ(image[15], 0x0F);
            EXPECT_EQ(image[16], 0x10);
            EXPECT_EQ(image[17], 0x11);
        }
    }
}

TEST_P(SRecordPaths, LargeFileMatchesWhatWasWritten)
{
    // Records of every length, both address widths and all line ends, over
    // many read-buffer refills.
    std::string text;
    std::vector<Rec> expected;
    const std::vector<uint8_t> bytes = PseudoRandomBytes(300000, 7);
    size_t offset = 0;
    size_t lastStart = 0;
    const char* ends[] = {"\n", "\r", "\r\n"};
    for (uint32_t i = 0; offset < bytes.size(); ++i) {
        const bool s1 = i % 5 == 0;
        const size_t n = std::min<size_t>((i * 37) % (s1 ? 253 : 252), bytes.size() - offset);
        const uint32_t address = s1 ? (i * 331) & 0xFFFF : (i * 7919) & 0xFFFFFF;
        const std::vector<uint8_t> data(bytes.begin() + offset, bytes.begin() + offset + n);
        lastStart = text.size();
        AppendSRecord(text, s1 ? '1' : '2', address, data, ends[i % 3]);
        expected.push_back({address, data});
        offset += n;
    }
    const ReadResult r = Read(text);
    EXPECT_EQ(r.error, SRecordError::None);
    ASSERT_EQ(r.records.size(), expected.size());
    EXPECT_TRUE(r.records == expected);

    // Cut inside the last record: the load fails instead of taking leftover
    // characters of an earlier read for the missing part.
    const ReadResult cut = Read(text.substr(0, lastStart + (text.size() - lastStart) / 2));
    EXPECT_EQ(cut.error, SRecordError::Truncated);
    EXPECT_EQ(cut.records.size(), expected.size() - 1);
}

TEST_P(SRecordPaths, EveryDigitAndEveryOtherCharacterInLongRecords)
{
    // Long records are decoded in blocks; each character still counts.
    const std::string digits = "0123456789abcdefABCDEF";
    std::string data;
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < 40; ++i) {
        const char hi = digits[(i * 7) % digits.size()];
        const char lo = digits[(i * 5 + 3) % digits.size()];
        data += hi;
        data += lo;
        expected.push_back(static_cast<uint8_t>(std::stoi(std::string{hi, lo}, nullptr, 16)));
    }
    const std::string head = "S22C000000";  // 40 data bytes
    ReadResult r = Read(head + data + "00\n");
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].data, expected);

    for (int c = 0; c < 256; ++c) {
        if (std::isxdigit(c)) continue;
        for (const size_t at : {size_t{0}, size_t{15}, size_t{16}, size_t{31}, size_t{47}, size_t{63}, size_t{79}}) {
            std::string bad = data;
            bad[at] = static_cast<char>(c);
            r = Read("S1040000AA51\n" + head + bad + "00\n");
            ASSERT_EQ(r.records.size(), 1u) << "character " << c << " at " << at;
            EXPECT_EQ(r.error, c == '\r' || c == '\n' ? SRecordError::Truncated : SRecordError::BadCharacter);
        }
    }
}

TEST_P(SRecordPaths, ImageThroughASmallBuffer)
{
    std::string text;
    const auto bytes = PseudoRandomBytes(20000, 3);
    for (size_t offset = 0, i = 0; offset < bytes.size(); ++i) {
        const size_t n = std::min<size_t>(i % 252, bytes.size() - offset);
        AppendSRecord(text, '2', static_cast<uint32_t>(offset), std::span(bytes).subspan(offset, n), "\n");
        offset += n;
    }
    Read(text);
    CSRecordFile file(GetParam());
    ASSERT_TRUE(file.Open(folder.File("in.0")));
    std::vector<uint8_t> image;
    std::array<uint8_t, 300> chunk{};
    ImageBuffer buffer{chunk.data(), chunk.size()};
    while (!file.AtEnd()) {
        buffer.length = 0;
        ASSERT_TRUE(file.LoadImagePart(buffer));
        image.insert(image.end(), chunk.begin(), chunk.begin() + buffer.length);
    }
    EXPECT_TRUE(image == bytes);

    // A record larger than the whole buffer can never fit: a fault, not a loop.
    ASSERT_TRUE(file.Open(folder.File("in.0")));
    buffer = {chunk.data(), 100};
    bool ok = true;
    for (int calls = 0; ok && !file.AtEnd() && calls < 1000; ++calls) {
        buffer.length = 0;
        ok = file.LoadImagePart(buffer);
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(file.Error(), SRecordError::ImageTooLarge);
}

TEST(SRecordFileTest, CapacityDecidesWhereTheFileIsRead)
{
    TempFolder folder;
    const std::string small = "S1040000AA51\n";  // 13 characters
    const std::string large = small + "S1040001BB3F\n";
    folder.Write("small.0", small);
    folder.Write("large.0", large);
    std::array<uint8_t, 4> data{};
    ImageRecord record{data.data(), 4};

    CSRecordFile exact(13);
    ASSERT_TRUE(exact.Open(folder.File("small.0")));
    EXPECT_TRUE(exact.IsBuffered());
    ASSERT_TRUE(exact.Open(folder.File("large.0")));
    EXPECT_FALSE(exact.IsBuffered());
    EXPECT_EQ(exact.CountRecords(), 2u);
    // Back to a small file after a large one: buffered again, nothing of the
    // larger file left over.
    ASSERT_TRUE(exact.Open(folder.File("small.0")));
    EXPECT_TRUE(exact.IsBuffered());
    EXPECT_EQ(exact.CountRecords(), 1u);

    CSRecordFile oneShort(12);
    ASSERT_TRUE(oneShort.Open(folder.File("small.0")));
    EXPECT_FALSE(oneShort.IsBuffered());
    ASSERT_TRUE(oneShort.NextRecord(record));
    EXPECT_EQ(data[0], 0xAA);

    // An empty file fits even a capacity of 0.
    folder.Write("empty.0", "");
    CSRecordFile none(0);
    ASSERT_TRUE(none.Open(folder.File("empty.0")));
    EXPECT_TRUE(none.IsBuffered());
    EXPECT_EQ(none.CountRecords(), 0u);
    EXPECT_FALSE(none.NextRecord(record));
    EXPECT_FALSE(none.Failed());
}

TEST(SRecordFileTest, MissingFileAndNoFile)
{
    TempFolder folder;
    CSRecordFile file(100);
    EXPECT_EQ(file.CountRecords(), 0u);
    EXPECT_FALSE(file.Open(folder.File("missing.0")));
    EXPECT_FALSE(file.IsOpen());
    // A folder is not a source, for either path.
    for (uint32_t capacity : {0u, 1u << 20}) {
        CSRecordFile reader(capacity);
        EXPECT_FALSE(reader.Open(folder.Path()));
        EXPECT_FALSE(reader.Open("/dev/null"));
    }
    EXPECT_EQ(file.CountRecords(), 0u);
    uint8_t data[4] = {9, 9, 9, 9};
    ImageRecord record{data, 4, 7, 7};
    EXPECT_FALSE(file.NextRecord(record));
    EXPECT_EQ(record.length, 0u);
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(data[0], 0);
}

}  // namespace
}  // namespace vantrel
