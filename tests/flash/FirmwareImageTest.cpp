#include "flash/FirmwareImage.h"

#include "flash/FlashTestBench.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

FirmwareFileError Parse(const Bytes& file, FirmwareImage& image)
{
    return ParseFirmwareRecordFile(file.data(), file.size(), image);
}

TEST(FirmwareImageTest, RecordFileIsDecodedLittleEndianInFileOrder)
{
    const Bytes file{0x02, 0x00, 0x00, 0x00,                   // two records
                     0x02, 0x34, 0x12, 0x00, 0x00, 0xAA, 0xBB, // 2 bytes at 0x1234
                     0x00, 0x56, 0x34, 0x12, 0x00};            // no data at 0x123456
    FirmwareImage image;
    ASSERT_EQ(Parse(file, image), FirmwareFileError::None);
    ASSERT_EQ(image.records.size(), 2u);
    EXPECT_EQ(image.records[0].address, 0x1234u);
    EXPECT_EQ(image.RadioAddress(image.records[0]), 0x401234u);
    EXPECT_EQ(Bytes(image.Data(image.records[0]), image.Data(image.records[0]) + 2), (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(image.records[1].length, 0u);
    EXPECT_EQ(image.RadioAddress(image.records[1]), 0x523456u);
    EXPECT_EQ(EncodeFirmwareRecordFile(image), file);
}

TEST(FirmwareImageTest, RecordLengthIsLimitedToOneWriteCommand)
{
    FirmwareImage image;
    EXPECT_EQ(Parse(RecordFile({{0, Bytes(45, 1)}}), image), FirmwareFileError::None);
    EXPECT_EQ(Parse(RecordFile({{0, Bytes(46, 1)}}), image), FirmwareFileError::RecordTooLong);
    EXPECT_TRUE(image.records.empty());
    // A long record is refused even when the file ends inside it.
    Bytes cut = RecordFile({{0, Bytes(200, 1)}});
    cut.resize(20);
    EXPECT_EQ(Parse(cut, image), FirmwareFileError::RecordTooLong);
}

TEST(FirmwareImageTest, RecordCountMustMatchTheRecords)
{
    FirmwareImage image;
    EXPECT_EQ(Parse({}, image), FirmwareFileError::CountMismatch);
    EXPECT_EQ(Parse({0, 0, 0}, image), FirmwareFileError::CountMismatch);
    EXPECT_EQ(Parse({0, 0, 0, 0}, image), FirmwareFileError::None);

    Bytes file = RecordFile({{0, Bytes(4, 1)}, {4, Bytes(4, 2)}});
    file[0] = 3; // one record more than the file holds
    EXPECT_EQ(Parse(file, image), FirmwareFileError::CountMismatch);
    file[0] = 1; // one record fewer: the second one is left over
    EXPECT_EQ(Parse(file, image), FirmwareFileError::CountMismatch);
    EXPECT_TRUE(image.records.empty());

    // A count no file of this size can hold is refused before anything is reserved for it.
    EXPECT_EQ(Parse({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}, image), FirmwareFileError::CountMismatch);
}

TEST(FirmwareImageTest, RecordMustLieInsideTheRadioAddressSpace)
{
    EXPECT_EQ(CheckFirmwareRecord(0xBFFFF0, 16), FirmwareFileError::None); // ends at 0xFFFFFF
    EXPECT_EQ(CheckFirmwareRecord(0xBFFFF0, 17), FirmwareFileError::AddressOutOfRange);
    EXPECT_EQ(CheckFirmwareRecord(0xFFFFFF, 1), FirmwareFileError::None);
    EXPECT_EQ(CheckFirmwareRecord(0x1000000, 0), FirmwareFileError::AddressOutOfRange);
    EXPECT_EQ(CheckFirmwareRecord(0xFFFFFFFF, 45), FirmwareFileError::AddressOutOfRange);
}

} // namespace
} // namespace vantrel
