#include <gtest/gtest.h>

#include "operations/RadioInfoFormat.h"

namespace vantrel {
namespace {

TEST(RadioInfoFormatTest, ModelNumberIsTextUnlessTwoBytes)
{
    const uint8_t id[] = {0x4A, 0x01};
    EXPECT_EQ(FormatModelNumber(id, 2), "ID = $4A $01");
    const uint8_t text[] = "H98QDH9PW5";
    EXPECT_EQ(FormatModelNumber(text, 10), "H98QDH9PW5");
    // Text stops at the first zero byte, whatever the length says.
    const uint8_t embedded[] = {'A', 'B', 0, 'C'};
    EXPECT_EQ(FormatModelNumber(embedded, 4), "AB");
}

TEST(RadioInfoFormatTest, EsnNeedsExactlyFiveBytes)
{
    const uint8_t esn[] = {0x0C, 0x31, 0x30, 0x39, 0x00};
    EXPECT_EQ(FormatEsn(esn, 5), "012/03/077881");
    const uint8_t all[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(FormatEsn(all, 5), "255/15/262143");
    EXPECT_EQ(FormatEsn(esn, 4), "?");
    const uint8_t six[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(FormatEsn(six, 6), "?");
}

TEST(RadioInfoFormatTest, RegionNames)
{
    const uint8_t na[] = {0x01};
    EXPECT_EQ(FormatRegion(na, 1), "North America");
    const uint8_t none[] = {0xFF};
    EXPECT_EQ(FormatRegion(none, 1), "No Region defined");
    const uint8_t bad[] = {0x07};
    EXPECT_EQ(FormatRegion(bad, 1), "Invalid Region");
    const uint8_t two[] = {0x01, 0x02};
    EXPECT_EQ(FormatRegion(two, 2), "?");
    EXPECT_EQ(FormatRegion(two, 0), "?");
}

TEST(RadioInfoFormatTest, IcVersionsEachByteWithTrailingSpace)
{
    const uint8_t ic[] = {0x12, 0xFE, 0x03};
    EXPECT_EQ(FormatIcVersions(ic, 3), "$12 $FE $03 ");
    EXPECT_EQ(FormatIcVersions(ic, 0), "");
}

}  // namespace
}  // namespace vantrel
