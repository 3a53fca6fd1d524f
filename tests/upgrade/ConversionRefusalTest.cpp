#include "sim/CodeplugGenerator.h"
#include "codeplug/BlockChecksum.h"
#include "upgrade/CodeplugConversion.h"
#include "upgrade/CodeplugTestSupport.h"
#include "upgrade/UpgradeImage.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using testing::CodeplugView;

// The radio's old image in a 20,000-byte buffer, `read` bytes of it from the radio.
struct OldImage {
    std::vector<uint8_t> bytes;
    size_t read;
    bool phase3 = false;

    explicit OldImage(std::vector<uint8_t> old, bool p3 = false) : bytes(std::move(old)), read(bytes.size()), phase3(p3)
    {
        bytes.resize(kImageSize, 0);
    }
    CodeplugView View() const { return CodeplugView(bytes, HardwareLength(phase3)); }
    void SetWord(size_t at, uint16_t value) { WriteBigEndian16(bytes, at, value); }
    void SetEntry(int n, uint16_t value) { SetWord(View().DirectoryAddress() + 2u * n, value); }

    // Converts a copy; a refused image must come back untouched.
    ConversionRefusal Refusal() const
    {
        std::vector<uint8_t> image = bytes;
        const ConversionOutcome outcome = ConvertApplicationCodeplugChecked(image, phase3, read);
        EXPECT_EQ(outcome.imageLength == 0, outcome.refusal != ConversionRefusal::None);
        if (outcome.imageLength == 0) {
            EXPECT_EQ(image, bytes);
        }
        return outcome.refusal;
    }
};

OldImage Radio(const OldCodeplugOptions& options = {})
{
    return OldImage(GenerateOldCodeplugImage(options), options.phase3);
}
OldImage Radio(const CodeplugDescription& d)
{
    return OldImage(BuildCodeplugImage(d));
}

TEST(ConversionRefusalTest, ShapesTheNewFirmwareCannotTake)
{
    CodeplugDescription longRecords = DescribeOldCodeplug({});
    longRecords.Block(9)->recordLength = 301;
    longRecords.Block(9)->count = 1;
    longRecords.Block(9)->records.assign(301, 1);
    EXPECT_EQ(Radio(longRecords).Refusal(), ConversionRefusal::RecordTooLong);

    OldImage trailer = Radio();
    trailer.SetWord(trailer.View().TrailerAddress(), 8);
    EXPECT_EQ(trailer.Refusal(), ConversionRefusal::TrailerLengthWrong);

    OldImage directory = Radio();
    directory.SetWord(directory.View().DirectoryAddress(), 31);
    EXPECT_EQ(directory.Refusal(), ConversionRefusal::DirectoryCountWrong);

    OldImage firstBlock = Radio();
    firstBlock.SetEntry(1, 530);
    EXPECT_EQ(firstBlock.Refusal(), ConversionRefusal::FirstBlockMisplaced);

    CodeplugDescription twoRecords = DescribeOldCodeplug({});
    twoRecords.Block(1)->count = 2;
    twoRecords.Block(1)->records.resize(65u * 2);
    EXPECT_EQ(Radio(twoRecords).Refusal(), ConversionRefusal::FirstBlockNotOneRecord);
}

TEST(ConversionRefusalTest, AddressesOutsideTheBytesRead)
{
    OldImage header = Radio();
    header.read = 520;
    EXPECT_EQ(header.Refusal(), ConversionRefusal::HeaderOutsideRead);

    // The directory's last byte is one past what was read.
    OldImage directory = Radio();
    directory.read -= 1;
    EXPECT_EQ(directory.Refusal(), ConversionRefusal::DirectoryOutsideRead);
    OldImage farDirectory = Radio();
    farDirectory.SetWord(512 + kDirectoryAddressOffset, 0xFFF0);
    EXPECT_EQ(farDirectory.Refusal(), ConversionRefusal::DirectoryOutsideRead);

    OldImage block = Radio();
    block.SetEntry(9, static_cast<uint16_t>(block.read - 2));
    EXPECT_EQ(block.Refusal(), ConversionRefusal::BlockOutsideRead);

    // A count that runs the records past the end of what was read.
    OldImage records = Radio();
    records.bytes[records.View().Entry(9) + kBlockCountOffset] = 255;
    EXPECT_EQ(records.Refusal(), ConversionRefusal::BlockOutsideRead);

    OldImage trailer = Radio();
    trailer.SetWord(512 + kTrailerAddressOffset, static_cast<uint16_t>(trailer.read - 3));
    EXPECT_EQ(trailer.Refusal(), ConversionRefusal::TrailerOutsideRead);
}

TEST(ConversionRefusalTest, OverlappingPieces)
{
    OldImage shared = Radio();
    shared.SetEntry(10, shared.View().Entry(9));
    EXPECT_EQ(shared.Refusal(), ConversionRefusal::PiecesOverlap);

    // A block every codeplug has, with entry 0, would be read from the hardware codeplug.
    OldImage missing = Radio();
    missing.SetEntry(9, 0);
    EXPECT_EQ(missing.Refusal(), ConversionRefusal::PiecesOverlap);

    // A trailer inside block 12, where its record length reads as a trailer length of 7.
    CodeplugDescription d = DescribeOldCodeplug({});
    d.Block(12)->recordLength = 7;
    d.Block(12)->records.resize(7u * d.Block(12)->count);
    OldImage trailer = Radio(d);
    trailer.SetWord(512 + kTrailerAddressOffset, static_cast<uint16_t>(trailer.View().Entry(12) + 1));
    EXPECT_EQ(trailer.Refusal(), ConversionRefusal::PiecesOverlap);

    // A sound directory copied into block 9's records.
    OldImage directory = Radio();
    const uint16_t from = directory.View().DirectoryAddress();
    const uint16_t to = static_cast<uint16_t>(directory.View().Entry(9) + kBlockRecordsOffset);
    std::copy_n(directory.bytes.begin() + from, kDirectorySize, directory.bytes.begin() + to);
    directory.SetWord(512 + kDirectoryAddressOffset, to);
    EXPECT_EQ(directory.Refusal(), ConversionRefusal::PiecesOverlap);
}

// A block the conversion does not edit goes over as read, wrong checksum and
// all, and is named; the run is not refused for it.
TEST(ConversionRefusalTest, DamagedBlockCarriedOverUneditedAsRead)
{
    OldImage radio = Radio();
    const uint16_t at = radio.View().Entry(9);
    radio.bytes[at + kBlockRecordsOffset + 3] ^= 0x10;
    radio.bytes[radio.View().Entry(12) + kBlockRecordsOffset] ^= 0x01;
    const uint32_t size = BlockSize(ReadBigEndian16(radio.bytes, at + kBlockRecordLengthOffset), radio.bytes[at + 3]);

    std::vector<uint8_t> image = radio.bytes;
    const ConversionOutcome outcome = ConvertApplicationCodeplugChecked(image, false, radio.read);
    EXPECT_EQ(outcome.refusal, ConversionRefusal::None);
    EXPECT_EQ(outcome.damagedBlocks, (std::vector<int>{9, 12}));
    const uint16_t now = CodeplugView(image, kPhase3HardwareLength).Entry(9);
    EXPECT_TRUE(std::equal(image.begin() + now, image.begin() + now + size, radio.bytes.begin() + at));
    EXPECT_EQ(
        DamagedBlocksNote(outcome.damagedBlocks),
        "Blocks 9 and 12 of the radio's application codeplug have a wrong checksum and were carried over as read.");
    EXPECT_EQ(DamagedBlocksNote({9, 11, 12}), "Blocks 9, 11 and 12 of the radio's application codeplug have a wrong "
                                              "checksum and were carried over as read.");
}

TEST(ConversionRefusalTest, NewLayoutLargerThanTheImage)
{
    // 255 one-byte records in the last block grow to 296 bytes each: 75,485 bytes.
    CodeplugDescription d = DescribeOldCodeplug({});
    d.Block(32)->recordLength = 1;
    d.Block(32)->count = 255;
    d.Block(32)->records.assign(255, 7);
    EXPECT_EQ(Radio(d).Refusal(), ConversionRefusal::ResultTooLarge);

    // Slot 2 grows from 120 to 199 bytes a record: 255 records no longer fit 20,000 bytes.
    CodeplugDescription settings = DescribeOldCodeplug({});
    settings.Block(2)->count = 110;
    settings.Block(2)->records.assign(120u * 110, 0);
    OldImage grown = Radio(settings);
    ASSERT_LT(grown.read, kImageSize);
    EXPECT_EQ(grown.Refusal(), ConversionRefusal::ResultTooLarge);

    // The new codeplug never runs past the buffer it is given, however short.
    std::vector<uint8_t> exact = GenerateOldCodeplugImage({});
    const std::vector<uint8_t> before = exact;
    EXPECT_EQ(ConvertApplicationCodeplug(exact, false, exact.size()), 0);
    EXPECT_EQ(exact, before);
    std::vector<uint8_t> tiny(100, 0);
    EXPECT_EQ(ConvertApplicationCodeplugChecked(tiny, false, tiny.size()).refusal, ConversionRefusal::ImageTooShort);
}

TEST(ConversionRefusalTest, WrongPhaseIsRefused)
{
    OldImage asPhase12 = Radio({.phase3 = true});
    asPhase12.phase3 = false;
    EXPECT_NE(asPhase12.Refusal(), ConversionRefusal::None);
    OldImage asPhase3 = Radio({.phase3 = false});
    asPhase3.phase3 = true;
    EXPECT_NE(asPhase3.Refusal(), ConversionRefusal::None);
}

} // namespace
} // namespace vantrel
