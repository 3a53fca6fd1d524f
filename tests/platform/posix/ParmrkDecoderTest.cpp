#include "platform/posix/ParmrkDecoder.h"

#include <gtest/gtest.h>
#include <vector>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes TakeAll(ParmrkDecoder& decoder)
{
    Bytes out(decoder.Available());
    out.resize(decoder.Take(out.data(), out.size()));
    return out;
}

void Feed(ParmrkDecoder& decoder, const Bytes& bytes)
{
    decoder.Feed(bytes.data(), bytes.size());
}

TEST(ParmrkDecoderTest, UndoesTheDoubledFfAndKeepsEveryOtherByte)
{
    ParmrkDecoder decoder;
    Feed(decoder, {0x00, 0x41, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x0A});
    EXPECT_EQ(TakeAll(decoder), (Bytes{0x00, 0x41, 0xFF, 0xFE, 0xFF, 0xFF, 0x0A}));
    EXPECT_FALSE(decoder.TakeBreak());
}

TEST(ParmrkDecoderTest, BreakMarkRaisesTheFlagOnceAndAddsNoData)
{
    ParmrkDecoder decoder;
    Feed(decoder, {0x41, 0xFF, 0x00, 0x00, 0x42});
    EXPECT_EQ(TakeAll(decoder), (Bytes{0x41, 0x42}));
    EXPECT_TRUE(decoder.TakeBreak());
    EXPECT_FALSE(decoder.TakeBreak()); // reading clears it
}

TEST(ParmrkDecoderTest, FramingOrParityMarkKeepsTheDataByte)
{
    ParmrkDecoder decoder;
    Feed(decoder, {0xFF, 0x00, 0x7E, 0xFF, 0x00, 0xFF});
    EXPECT_EQ(TakeAll(decoder), (Bytes{0x7E, 0xFF}));
    EXPECT_FALSE(decoder.TakeBreak());
}

TEST(ParmrkDecoderTest, MarksSplitAcrossReadsDecodeAsInOnePiece)
{
    const Bytes stream{0x41, 0xFF, 0xFF, 0x42, 0xFF, 0x00, 0x00, 0x43, 0xFF, 0x00, 0x7E, 0xFF, 0xFF};
    const Bytes expected{0x41, 0xFF, 0x42, 0x43, 0x7E, 0xFF};
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        ParmrkDecoder decoder;
        Feed(decoder, Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)));
        Bytes out = TakeAll(decoder);
        Feed(decoder, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end()));
        const Bytes rest = TakeAll(decoder);
        out.insert(out.end(), rest.begin(), rest.end());
        EXPECT_EQ(out, expected) << "cut at " << cut;
        EXPECT_TRUE(decoder.TakeBreak()) << "cut at " << cut;
    }
    ParmrkDecoder oneByOne;
    for (uint8_t byte : stream)
        oneByOne.Feed(&byte, 1);
    EXPECT_EQ(TakeAll(oneByOne), expected);
    EXPECT_TRUE(oneByOne.TakeBreak());
}

TEST(ParmrkDecoderTest, AnIncompleteMarkIsNotCountedUntilDecided)
{
    ParmrkDecoder decoder;
    Feed(decoder, {0x10, 0xFF});
    EXPECT_EQ(decoder.Available(), 1u); // the FF may still be the start of a break
    Feed(decoder, {0x00});
    EXPECT_EQ(decoder.Available(), 1u);
    Feed(decoder, {0x00});
    EXPECT_EQ(decoder.Available(), 1u);
    EXPECT_TRUE(decoder.TakeBreak());
    Feed(decoder, {0xFF});
    Feed(decoder, {0xFF});
    EXPECT_EQ(TakeAll(decoder), (Bytes{0x10, 0xFF}));
}

TEST(ParmrkDecoderTest, ClearForgetsDataAndAHalfMark)
{
    ParmrkDecoder decoder;
    Feed(decoder, {0x01, 0x02, 0xFF, 0x00});
    decoder.Clear();
    EXPECT_EQ(decoder.Available(), 0u);
    // After the purge the two zeros are data, not the end of a break.
    Feed(decoder, {0x00, 0x00});
    EXPECT_EQ(TakeAll(decoder), (Bytes{0x00, 0x00}));
    EXPECT_FALSE(decoder.TakeBreak());
}

TEST(ParmrkDecoderTest, TakeHandsOutAtMostWhatIsAskedInOrder)
{
    ParmrkDecoder decoder;
    Feed(decoder, {1, 2, 3, 4, 5});
    uint8_t out[3]{};
    EXPECT_EQ(decoder.Take(out, 3), 3u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(decoder.Available(), 2u);
    EXPECT_EQ(TakeAll(decoder), (Bytes{4, 5}));
}

} // namespace
} // namespace vantrel
