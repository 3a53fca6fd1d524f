// Long files: images are loaded in runs of records, while reading record by
// record takes one record at a time. Both must agree on every record and on
// every fault, wherever it lies in the file and in the read buffer.

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

// What a reader makes of a file.
struct Outcome {
    std::vector<uint8_t> bytes;
    SRecordError error = SRecordError::None;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o)
{
    return os << o.bytes.size() << " bytes, error " << static_cast<int>(o.error);
}

// Record by record: the reference.
Outcome ByRecords(const std::string& path, uint32_t capacity)
{
    CSRecordFile file(capacity);
    EXPECT_TRUE(file.Open(path));
    Outcome o;
    std::array<uint8_t, kMaxRecordData> data{};
    ImageRecord record{data.data(), kMaxRecordData};
    while (file.NextRecord(record)) o.bytes.insert(o.bytes.end(), data.begin(), data.begin() + record.length);
    o.error = file.Error();
    return o;
}

// The whole image at once; guard bytes after the capacity must stay untouched.
Outcome WholeImage(const std::string& path, uint32_t capacity, uint32_t imageCapacity = 1u << 18)
{
    CSRecordFile file(capacity);
    EXPECT_TRUE(file.Open(path));
    std::vector<uint8_t> image(imageCapacity + 64, 0xEE);
    ImageBuffer buffer{image.data(), imageCapacity};
    const bool ok = file.LoadImage(buffer);
    EXPECT_EQ(ok, !file.Failed());
    EXPECT_TRUE(std::all_of(image.begin() + imageCapacity, image.end(), [](uint8_t b) { return b == 0xEE; }));
    return {{image.begin(), image.begin() + buffer.length}, file.Error()};
}

// Through a buffer of chunk bytes, written out whenever it is full.
Outcome InChunks(const std::string& path, uint32_t capacity, uint32_t chunk)
{
    CSRecordFile file(capacity);
    EXPECT_TRUE(file.Open(path));
    std::vector<uint8_t> part(chunk);
    ImageBuffer buffer{part.data(), chunk};
    Outcome o;
    bool ok = true;
    for (int calls = 0; ok && !file.AtEnd() && calls < 100000; ++calls) {
        buffer.length = 0;
        ok = file.LoadImagePart(buffer);
        o.bytes.insert(o.bytes.end(), part.begin(), part.begin() + buffer.length);
    }
    o.error = file.Error();
    return o;
}

// Records of recordSize data bytes (the last one shorter) carrying the bytes.
std::string Records(std::span<const uint8_t> bytes, size_t recordSize, const char* end, char type = '2')
{
    std::string text;
    for (size_t offset = 0; offset < bytes.size(); offset += recordSize) {
        const size_t n = std::min(recordSize, bytes.size() - offset);
        AppendSRecord(text, type, static_cast<uint32_t>(offset), bytes.subspan(offset, n), end);
    }
    return text;
}

class LongFiles : public testing::TestWithParam<uint32_t> {
protected:
    // Every way of reading gives the expected outcome.
    void ExpectEverywhere(const std::string& text, const Outcome& expected)
    {
        folder.Write("in.0", text);
        const std::string path = folder.File("in.0");
        EXPECT_EQ(ByRecords(path, GetParam()), expected);
        EXPECT_EQ(WholeImage(path, GetParam()), expected);
        for (const uint32_t chunk : {4096u, 300u}) {
            // A fault ends the reading at its record; the chunks before it are all in.
            EXPECT_EQ(InChunks(path, GetParam(), chunk), expected) << "chunks of " << chunk;
        }
    }
    TempFolder folder;
};

INSTANTIATE_TEST_SUITE_P(Paths, LongFiles, testing::Values(1u << 18, 0u),
                         [](const auto& info) { return info.param == 0 ? "FromDisk" : "Buffered"; });

TEST_P(LongFiles, RecordShapesAndLineEnds)
{
    const std::vector<uint8_t> bytes = PseudoRandomBytes(60000, 11);  // several read buffers of text
    for (const size_t size : {16u, 17u, 31u, 32u, 45u, 251u}) {
        for (const char* end : {"\n", "\r", "\r\n"}) {
            SCOPED_TRACE(testing::Message() << size << " bytes a record");
            ExpectEverywhere(Records(bytes, size, end) + "S9030000FC" + end, {bytes, SRecordError::None});
        }
    }
    // S1 records and changing shapes and line ends from record to record.
    std::string text;
    const char* ends[] = {"\n", "\r\n", "\r"};
    size_t offset = 0;
    for (size_t i = 0; offset < bytes.size(); ++i) {
        const size_t n = std::min<size_t>(i % 7 == 0 ? 15 + i % 40 : 32, bytes.size() - offset);
        const char type = "1208"[i % 4];
        AppendSRecord(text, type, static_cast<uint32_t>(offset), std::span(bytes).subspan(offset, n), ends[i / 3 % 3]);
        offset += n;
    }
    ExpectEverywhere(text, {bytes, SRecordError::None});
}

TEST_P(LongFiles, EveryDigitInEveryPlace)
{
    // Each data character runs through all 22 digits, upper and lower case.
    const std::string digits = "0123456789abcdefABCDEF";
    std::vector<uint8_t> expected;
    std::string text;
    for (size_t r = 0; r < 200; ++r) {
        std::string record = "S22C000000";  // 40 data bytes
        for (size_t i = 0; i < 40; ++i) {
            const char hi = digits[(r + 2 * i) % digits.size()];
            const char lo = digits[(r * 3 + 2 * i + 1) % digits.size()];
            record += hi;
            record += lo;
            expected.push_back(static_cast<uint8_t>(std::stoi(std::string{hi, lo}, nullptr, 16)));
        }
        record += digits[r % digits.size()];  // the checksum, not checked
        record += digits[(r + 5) % digits.size()];
        text += record + "\r\n";
    }
    ExpectEverywhere(text, {expected, SRecordError::None});
}

TEST_P(LongFiles, FaultsAnywhereInARecord)
{
    // Two long runs of good records around a spoiled one: everything before it
    // is loaded, and the fault is the one record-by-record reading reports.
    const std::vector<uint8_t> bytes = PseudoRandomBytes(32 * 100, 5);
    const std::string before = Records(std::span(bytes).first(32 * 50), 32, "\r\n");
    const std::string after = Records(std::span(bytes).subspan(32 * 50), 32, "\r\n");
    const std::vector<uint8_t> good(bytes.begin(), bytes.begin() + 32 * 50);
    std::string record;
    AppendSRecord(record, '2', 0x123456, std::span(bytes).subspan(32 * 50, 32), "");
    ASSERT_EQ(record.substr(0, 4), "S224");
    ASSERT_EQ(record.size(), 4u + 6 + 64 + 2);

    // Every character that is not a hex digit, in the count, the address,
    // the first, middle and last data and the checksum.
    for (int c = 0; c < 256; c += (c < 128 ? 1 : 7)) {
        if (std::isxdigit(c)) continue;
        for (const size_t at : {2u, 4u, 9u, 10u, 11u, 41u, 73u, 74u, 75u}) {
            std::string bad = record;
            bad[at] = static_cast<char>(c);
            // A line end inside the record cuts it short.
            const SRecordError error =
                c == '\r' || c == '\n' ? SRecordError::Truncated : SRecordError::BadCharacter;
            SCOPED_TRACE(testing::Message() << "character " << c << " at " << at);
            folder.Write("in.0", before + bad + "\r\n" + after);
            const std::string path = folder.File("in.0");
            const Outcome reference = ByRecords(path, GetParam());
            EXPECT_EQ(reference.bytes, good);
            EXPECT_EQ(reference.error, error);
            EXPECT_EQ(WholeImage(path, GetParam()), reference);
            EXPECT_EQ(InChunks(path, GetParam(), 4096), reference);
        }
    }

    const std::string s1Short = "S1020000FD";  // count below address and checksum
    const struct {
        const char* name;
        std::string text;
        SRecordError error;
    } cases[] = {
        {"line longer than its count", record + "00\r\n", SRecordError::LineTooLong},
        {"count one short", record.substr(0, 2) + "23" + record.substr(4) + "\r\n", SRecordError::LineTooLong},
        {"count one long", record.substr(0, 2) + "25" + record.substr(4) + "\r\n", SRecordError::Truncated},
        {"count below the address", s1Short + "\r\n", SRecordError::BadCount},
        {"type not a digit", "SX" + record.substr(2) + "\r\n", SRecordError::BadCharacter},
        {"trailing blank", record + " \r\n", SRecordError::LineTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectEverywhere(before + c.text + after, {good, c.error});
    }
    // A blank line, a line that is not a record and an S9 all end the data
    // quietly, at the start of a file too.
    const std::string stops[] = {"\r\n", ":00000001FF\r\n", "S9030000FC\r\n", std::string(8, '\0') + "\r\n"};
    for (const std::string& stop : stops) {
        ExpectEverywhere(before + stop + after, {good, SRecordError::None});
        ExpectEverywhere(stop + after, {{}, SRecordError::None});
    }
}

TEST_P(LongFiles, LinesAcrossTheReadBuffersEdge)
{
    // A first record of every length moves the later lines across the edges
    // of the read buffer (64 KiB) one character at a time, a CR LF split
    // between two reads included.
    const std::vector<uint8_t> bytes = PseudoRandomBytes(30000, 9);  // over 64 KiB of text
    for (size_t first = 0; first < 40; ++first) {
        SCOPED_TRACE(testing::Message() << "first record of " << first << " bytes");
        std::string text;
        AppendSRecord(text, '2', 0, std::span(bytes).first(first), "\r\n");
        text += Records(std::span(bytes).subspan(first), 32, "\r\n");
        ExpectEverywhere(text, {bytes, SRecordError::None});
    }
    // A record cut short at the very end of a long file.
    const std::string whole = Records(bytes, 32, "\n");
    ASSERT_GT(whole.size(), 65536u);
    ExpectEverywhere(whole.substr(0, whole.size() - 10),
                     {{bytes.begin(), bytes.begin() + (bytes.size() - 1) / 32 * 32}, SRecordError::Truncated});
}

TEST_P(LongFiles, ImageFullInTheMiddle)
{
    const std::vector<uint8_t> bytes = PseudoRandomBytes(32 * 3000, 4);
    folder.Write("in.0", Records(bytes, 32, "\n"));
    const std::string path = folder.File("in.0");
    for (const uint32_t capacity : {32u * 1000, 32u * 1000 + 31, 32u * 1000 - 1}) {
        SCOPED_TRACE(capacity);
        const Outcome o = WholeImage(path, GetParam(), capacity);
        EXPECT_EQ(o.error, SRecordError::ImageTooLarge);
        EXPECT_EQ(o.bytes.size(), capacity / 32 * 32);
        EXPECT_TRUE(std::equal(o.bytes.begin(), o.bytes.end(), bytes.begin()));
    }
    EXPECT_EQ(InChunks(path, GetParam(), 100), (Outcome{bytes, SRecordError::None}));
}

TEST(SRecordLongFileTest, FileOfExactlyTheCapacity)
{
    // Read whole, the data run to the very last character of the buffer.
    TempFolder folder;
    const std::vector<uint8_t> bytes = PseudoRandomBytes(32 * 2000, 8);
    std::string text = Records(bytes, 32, "\r\n");
    text.resize(text.size() - 2);  // the last line without its line end
    folder.Write("in.0", text);
    const std::string path = folder.File("in.0");
    const auto size = static_cast<uint32_t>(text.size());

    CSRecordFile exact(size);
    ASSERT_TRUE(exact.Open(path));
    EXPECT_TRUE(exact.IsBuffered());
    CSRecordFile oneShort(size - 1);
    ASSERT_TRUE(oneShort.Open(path));
    EXPECT_FALSE(oneShort.IsBuffered());
    for (const uint32_t capacity : {size, size - 1}) {
        EXPECT_EQ(WholeImage(path, capacity), (Outcome{bytes, SRecordError::None}));
        EXPECT_EQ(InChunks(path, capacity, 4096), (Outcome{bytes, SRecordError::None}));
    }
}

}  // namespace
}  // namespace vantrel
