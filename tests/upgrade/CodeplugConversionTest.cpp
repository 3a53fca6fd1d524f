#include "sim/CodeplugGenerator.h"
#include "codeplug/BlockChecksum.h"
#include "upgrade/CodeplugTestSupport.h"
#include "codeplug/CodeplugValidator.h"
#include "upgrade/HardwareMigration.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using testing::BlockView;
using testing::Conversion;
using testing::Convert;

std::vector<uint8_t> Bytes(std::span<const uint8_t> s)
{
    return {s.begin(), s.end()};
}

void ExpectValidNewLayout(const Conversion& c)
{
    ASSERT_NE(c.outcome.imageLength, 0) << static_cast<int>(c.outcome.refusal);
    const auto converted = std::span<const uint8_t>(c.image).first(c.outcome.imageLength);
    const CodeplugProblems problems = ValidateApplicationCodeplug(converted, 640, ApplicationLayout::New);
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
}

TEST(CodeplugConversionTest, Phase12ImageMovesEveryBlockBy128PlusTheGrowthBeforeIt)
{
    const Conversion c = Convert(GenerateOldCodeplugImage({.phase3 = false}), false);
    ExpectValidNewLayout(c);
    EXPECT_EQ(c.Old(false).Entry(1), 523);
    EXPECT_EQ(c.New().Entry(1), 651);

    int32_t growth = 0;
    for (const BlockSlot& slot : kBlockSlots) {
        const uint16_t oldAddress = c.Old(false).Entry(slot.entry);
        const uint32_t oldSize = oldAddress != 0 ? c.Old(false).Block(slot.entry).Size() : 0;
        if (c.New().Entry(slot.entry) == 0) continue;
        if (oldAddress != 0) {
            EXPECT_EQ(c.New().Entry(slot.entry), oldAddress + 128 + growth) << "entry " << int{slot.entry};
        }
        growth += static_cast<int32_t>(c.New().Block(slot.entry).Size()) - static_cast<int32_t>(oldSize);
    }
    // The image length ends just after the directory checksum.
    EXPECT_EQ(c.outcome.imageLength, c.New().DirectoryAddress() + kDirectorySize);
    EXPECT_EQ(ReadBigEndian16(c.image, 645) + 643, c.outcome.imageLength);
    // The header bytes travel unchanged; the hardware codeplug is not touched.
    EXPECT_TRUE(std::equal(c.image.begin() + 640, c.image.begin() + 645, c.old.begin() + 512));
    EXPECT_TRUE(std::equal(c.image.begin(), c.image.begin() + 512, c.old.begin()));
}

TEST(CodeplugConversionTest, Phase3ImageKeepsBlock1At651)
{
    const Conversion c = Convert(GenerateOldCodeplugImage({.phase3 = true, .layoutVersion = 3}), true);
    ExpectValidNewLayout(c);
    EXPECT_EQ(c.Old(true).Entry(1), 651);
    EXPECT_EQ(c.New().Entry(1), 651);
    EXPECT_TRUE(std::equal(c.image.begin(), c.image.begin() + 645, c.old.begin()));
}

TEST(CodeplugConversionTest, Entry17DecidesSlot17AndTheTrailer)
{
    const Conversion without = Convert(GenerateOldCodeplugImage({.withEntry17 = false}), false);
    ExpectValidNewLayout(without);
    EXPECT_EQ(without.New().Entry(17), 0);
    EXPECT_EQ(without.New().Entry(18), without.New().Entry(16) + without.New().Block(16).Size());
    EXPECT_EQ(Bytes(without.New().TrailerData()), (std::vector<uint8_t>{0xFF, 0xFF, 0xF2, 0x81}));

    const Conversion with = Convert(GenerateOldCodeplugImage({.withEntry17 = true}), false);
    ExpectValidNewLayout(with);
    ASSERT_NE(with.New().Entry(17), 0);
    EXPECT_EQ(Bytes(with.New().Block(17).Whole(with.image)), Bytes(with.Old(false).Block(17).Whole(with.old)));
    EXPECT_EQ(Bytes(with.New().TrailerData()), (std::vector<uint8_t>{0xFF, 0xFF, 0xF3, 0x81}));
}

TEST(CodeplugConversionTest, Version3KeepsItsBlocksAndSetsItsDefaults)
{
    const Conversion c = Convert(GenerateOldCodeplugImage({.layoutVersion = 3, .withEntry17 = true}), false);
    ExpectValidNewLayout(c);
    for (int entry : {3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 18, 21, 23, 32})
        EXPECT_EQ(Bytes(c.New().Block(entry).Whole(c.image)), Bytes(c.Old(false).Block(entry).Whole(c.old)))
            << "entry " << entry;

    const BlockView oldSettings = c.Old(false).Block(2);
    const BlockView settings = c.New().Block(2);
    EXPECT_EQ(settings.recordLength, oldSettings.recordLength);
    EXPECT_EQ(settings.Record(0)[150], 70);
    EXPECT_EQ(settings.Record(0)[151], 100);
    EXPECT_EQ(settings.Record(0)[17], oldSettings.Record(0)[17]);
    EXPECT_EQ(settings.Record(0)[149], oldSettings.Record(0)[149]);
    EXPECT_EQ(c.New().Block(13).Record(0)[8], 30);
    EXPECT_EQ(c.New().Block(13).Record(0)[7], c.Old(false).Block(13).Record(0)[7]);
}

TEST(CodeplugConversionTest, Version2ReshapesAndReplacesBlocks)
{
    const Conversion c = Convert(GenerateOldCodeplugImage({}), false);
    ExpectValidNewLayout(c);

    const BlockView first = c.New().Block(1);
    EXPECT_EQ(first.recordLength, 67);
    EXPECT_TRUE(std::ranges::equal(first.Record(0).first(65), c.Old(false).Block(1).Record(0)));
    EXPECT_EQ(first.Record(0)[65], 0);
    EXPECT_EQ(first.Record(0)[66], 0);

    const auto settings = c.New().Block(2).Record(0);
    ASSERT_EQ(settings.size(), 199u);
    EXPECT_EQ(settings[17], 25); // was 0
    EXPECT_EQ(settings[16], c.Old(false).Block(2).Record(0)[16]);
    EXPECT_EQ(settings[78], 0x20);
    EXPECT_EQ(settings[82], 16);
    EXPECT_EQ(settings[150], 70);
    EXPECT_EQ(settings[151], 100);
    EXPECT_TRUE(std::all_of(settings.begin() + 152, settings.end(), [](uint8_t b) { return b == 0; }));

    const struct {
        int entry;
        uint16_t length;
    } replaced[] = {{4, 29}, {5, 17}, {6, 17}, {7, 50}, {13, 12}, {24, 17}, {25, 1}};
    for (const auto& r : replaced) {
        const BlockView b = c.New().Block(r.entry);
        EXPECT_EQ(b.identifier, 129) << "entry " << r.entry;
        EXPECT_EQ(b.recordLength, r.length) << "entry " << r.entry;
        EXPECT_EQ(b.count, 1) << "entry " << r.entry;
    }
    EXPECT_EQ(Bytes(c.New().Block(4).Record(0).subspan(16, 9)),
              (std::vector<uint8_t>{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
    EXPECT_EQ(Bytes(c.New().Block(7).Record(0).subspan(32, 13)),
              (std::vector<uint8_t>{0, 0x0F, 0x99, 0x9F, 0, 0x0F, 0x99, 0x9F, 0, 0x0F, 0x99, 0x9F, 0}));
    EXPECT_EQ(Bytes(c.New().Block(13).Record(0)),
              (std::vector<uint8_t>{30, 10, 30, 30, 30, 30, 30, 0xFF, 30, 0, 0, 0}));

    const auto last = c.New().Block(32).Record(0);
    ASSERT_EQ(last.size(), 296u);
    EXPECT_EQ(last[0], 0xFF);
    EXPECT_TRUE(std::all_of(last.begin() + 1, last.end(), [](uint8_t b) { return b == 0; }));

    const auto oldKeys = c.Old(false).Block(22).Record(0);
    const auto keys = c.New().Block(22).Record(0);
    ASSERT_EQ(keys.size(), 15u);
    EXPECT_TRUE(std::ranges::equal(keys.first(13), oldKeys.first(13)));
    EXPECT_EQ(keys[13], 0);
    EXPECT_EQ(keys[14], 0);
}

TEST(CodeplugConversionTest, LengthenedRecordsGainZerosInEveryRecord)
{
    CodeplugDescription d = DescribeOldCodeplug({});
    GeneratedBlock* keys = d.Block(22);
    keys->count = 3;
    keys->records.assign(13u * 3, 0xAB);
    GeneratedBlock* settings = d.Block(2);
    settings->count = 2;
    settings->records.assign(120u * 2, 0xCD);
    const Conversion c = Convert(BuildCodeplugImage(d), false);
    ExpectValidNewLayout(c);

    for (int k = 1; k < 3; ++k) {
        const auto r = c.New().Block(22).Record(k);
        EXPECT_TRUE(std::all_of(r.begin(), r.begin() + 13, [](uint8_t b) { return b == 0xAB; }));
        EXPECT_EQ(r[13], 0);
        EXPECT_EQ(r[14], 0);
    }
    const auto second = c.New().Block(2).Record(1);
    EXPECT_TRUE(std::all_of(second.begin(), second.begin() + 120, [](uint8_t b) { return b == 0xCD; }));
    EXPECT_TRUE(std::all_of(second.begin() + 120, second.end(), [](uint8_t b) { return b == 0; }));
}

TEST(CodeplugConversionTest, ValueClampsAndRemaps)
{
    CodeplugDescription d = DescribeOldCodeplug({.seed = 9});
    uint8_t* levels = d.Block(14)->Record(0);
    levels[2] = 63;
    d.Block(14)->Record(1)[2] = 64;
    d.Block(14)->Record(2)[2] = 10;
    uint8_t* channel = d.Block(8)->Record(0);
    channel[5] = 0x02, channel[6] = 0x59;  // 601
    channel[9] = 0x02, channel[10] = 0x58; // 600
    channel[21] = 0xFF, channel[22] = 0xFF;
    d.Block(8)->Record(15)[13] = 0x03, d.Block(8)->Record(15)[14] = 0x00;
    uint8_t* limits = d.Block(18)->Record(7);
    limits[4] = 0x02, limits[5] = 0x59;
    uint8_t* flags = d.Block(15)->Record(3);
    flags[1] = 0xC5;
    d.Block(15)->Record(4)[1] = 0x45;
    d.Block(3)->Record(0)[7] = 64;
    uint8_t* keys = d.Block(21)->Record(0);
    keys[0] = 5, keys[1] = 41, keys[2] = 6, keys[3] = 38;

    const Conversion c = Convert(BuildCodeplugImage(d), false);
    ExpectValidNewLayout(c);
    EXPECT_EQ(c.New().Block(14).Record(0)[2], 0xFC);
    EXPECT_EQ(c.New().Block(14).Record(1)[2], 0xFF);
    EXPECT_EQ(c.New().Block(14).Record(2)[2], 40);
    const auto ch = c.New().Block(8).Record(0);
    EXPECT_EQ(ReadBigEndian16(ch, 5), 600);
    EXPECT_EQ(ReadBigEndian16(ch, 9), 600);
    EXPECT_EQ(ReadBigEndian16(ch, 21), 600);
    EXPECT_EQ(ReadBigEndian16(c.New().Block(8).Record(15), 13), 600);
    EXPECT_EQ(ReadBigEndian16(c.New().Block(18).Record(7), 4), 600);
    EXPECT_EQ(c.New().Block(15).Record(3)[1], 0x85);
    EXPECT_EQ(c.New().Block(15).Record(4)[1], 0x45);
    EXPECT_EQ(c.New().Block(3).Record(0)[7], 63);
    EXPECT_EQ(Bytes(c.New().Block(21).Record(0).first(4)), (std::vector<uint8_t>{16, 16, 6, 16}));

    // Without the old key table marker in block 1 the keys stay; version 3 clamps nothing but slot 14.
    d.Block(1)->Record(0)[kRecordConversionTest] = 0x31;
    const Conversion unmarked = Convert(BuildCodeplugImage(d), false);
    EXPECT_EQ(Bytes(unmarked.New().Block(21).Record(0).first(4)), (std::vector<uint8_t>{5, 41, 6, 38}));
    d.Block(1)->Record(0)[kRecordLayoutVersion] = 3;
    const Conversion v3 = Convert(BuildCodeplugImage(d), false);
    ExpectValidNewLayout(v3);
    EXPECT_EQ(ReadBigEndian16(v3.New().Block(8).Record(0), 5), 601);
    EXPECT_EQ(v3.New().Block(14).Record(0)[2], 0xFC);
}

TEST(CodeplugConversionTest, AbsentBlocksOfOtherVersionsBecomeEmptyBlocks)
{
    for (int version : {3, 7}) {
        const Conversion c =
            Convert(GenerateOldCodeplugImage({.layoutVersion = version, .withOptionalBlocks = false}), false);
        ExpectValidNewLayout(c);
        const struct {
            int entry;
            uint16_t length;
        } empty[] = {{4, 29}, {5, 17}, {6, 17}, {7, 50}, {13, 12}};
        for (const auto& e : empty) {
            const BlockView b = c.New().Block(e.entry);
            EXPECT_EQ(b.identifier, 129);
            EXPECT_EQ(b.recordLength, e.length);
            EXPECT_EQ(b.count, 0);
            EXPECT_EQ(b.Size(), 5u);
        }
    }
    // Version 2 gives them their full replacement whether or not they were there.
    const Conversion v2 = Convert(GenerateOldCodeplugImage({.withOptionalBlocks = false}), false);
    ExpectValidNewLayout(v2);
    EXPECT_EQ(v2.New().Block(7).count, 1);
}

TEST(CodeplugConversionTest, ReadsNothingBeyondTheBytesReadAndWritesOnlyTheNewCodeplug)
{
    const std::vector<uint8_t> old = GenerateOldCodeplugImage({.phase3 = false, .withEntry17 = true});
    const Conversion a = Convert(old, false, 0x00);
    const Conversion b = Convert(old, false, 0xFF);
    ASSERT_NE(a.outcome.imageLength, 0);
    EXPECT_EQ(a.outcome.imageLength, b.outcome.imageLength);
    EXPECT_TRUE(std::equal(a.image.begin(), a.image.begin() + a.outcome.imageLength, b.image.begin()));
    EXPECT_TRUE(std::all_of(b.image.begin() + std::max<size_t>(old.size(), b.outcome.imageLength), b.image.end(),
                            [](uint8_t x) { return x == 0xFF; }));
}

TEST(CodeplugConversionTest, EveryGeneratedRadioConvertsIntoASoundImage)
{
    for (bool phase3 : {false, true})
        for (int version : {2, 3, 5})
            for (bool entry17 : {false, true})
                for (bool optional : {false, true})
                    for (bool reverse : {false, true})
                        for (uint32_t seed : {1u, 2u}) {
                            SCOPED_TRACE(::testing::Message()
                                         << "phase3 " << phase3 << " version " << version << " entry17 " << entry17
                                         << " optional " << optional << " reverse " << reverse << " seed " << seed);
                            const std::vector<uint8_t> old = GenerateOldCodeplugImage({.phase3 = phase3,
                                                                                       .layoutVersion = version,
                                                                                       .withEntry17 = entry17,
                                                                                       .withOptionalBlocks = optional,
                                                                                       .reverseOrder = reverse,
                                                                                       .seed = seed});
                            ASSERT_TRUE(ValidateCodeplugImage(old, ApplicationLayout::Old).empty());
                            Conversion c = Convert(old, phase3);
                            ExpectValidNewLayout(c);

                            // The rest of the upgrade's image work makes the whole image sound.
                            const std::vector<uint8_t> file = GenerateEepromDataFile(seed + 40);
                            ASSERT_EQ(MigrateHardwareCodeplug(c.image, file, phase3, 3), HardwareMigrationResult::Done);
                            ASSERT_TRUE(PatchFirstBlock(c.image, file));
                            const CodeplugProblems problems = ValidateCodeplugImage(
                                std::span<const uint8_t>(c.image).first(c.outcome.imageLength), ApplicationLayout::New);
                            EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
                        }
}

} // namespace
} // namespace vantrel
