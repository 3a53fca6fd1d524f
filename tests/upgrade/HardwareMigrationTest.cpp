#include "upgrade/HardwareMigration.h"

#include "sim/CodeplugGenerator.h"
#include "codeplug/BlockChecksum.h"
#include "codeplug/CodeplugLayout.h"
#include "codeplug/CodeplugValidator.h"

#include <gtest/gtest.h>
#include <numeric>

namespace vantrel {
namespace {

TEST(BlockChecksumTest, KnownValuesAndTheSumRule)
{
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(BlockChecksum(abc), 0x34);
    const std::vector<uint8_t> zeros(101, 0);
    EXPECT_EQ(BlockChecksum(zeros.data(), static_cast<uint16_t>(zeros.size())), 0x5A);
    EXPECT_EQ(BlockChecksum(std::span<const uint8_t>()), 0x5A);

    // Covered bytes plus the checksum always sum to 0x5A, whatever the run.
    std::vector<uint8_t> run(1000);
    std::iota(run.begin(), run.end(), uint8_t{7});
    run.push_back(BlockChecksum(run));
    EXPECT_EQ(std::accumulate(run.begin(), run.end(), 0u) & 0xFF, 0x5Au);
}

// A radio image (old hardware codeplug in a 20,000-byte buffer) and a model file.
struct Migration {
    std::vector<uint8_t> image;
    std::vector<uint8_t> file;
    bool phase3;

    Migration(bool radioPhase3, int radioTuning, int templateTuning, uint32_t seed = 3)
        : image(GenerateHardwareCodeplug(radioPhase3, seed, radioTuning)),
          file(GenerateEepromDataFile(seed + 100, templateTuning)), phase3(radioPhase3)
    {
        image.resize(kImageSize, 0xEE);
    }
    HardwareMigrationResult Run(int column = 0) { return MigrateHardwareCodeplug(image, file, phase3, column); }
};

TEST(HardwareMigrationTest, Phase3RadioKeepsItsWholeTuningRun)
{
    Migration m(true, 97, 97);
    const std::vector<uint8_t> radio = m.image;
    ASSERT_EQ(m.Run(), HardwareMigrationResult::Done);
    for (int a = 24; a <= 121; ++a)
        if (a != kTuningAdjustAddress) {
            EXPECT_EQ(m.image[a], radio[a]) << "address " << a;
        }
    // Everything else of 0..639 is the template's; beyond 640 nothing changes.
    for (int a : {0, 1, 4, 20, 21, 22, 123, 300, 639})
        EXPECT_EQ(m.image[a], m.file[a]) << "address " << a;
    EXPECT_EQ(m.image[640], 0xEE);
    EXPECT_TRUE(ValidateHardwareCodeplug(m.image).empty());
}

TEST(HardwareMigrationTest, Phase12RunGainsSixZerosAfterItsFirst41Bytes)
{
    Migration m(false, 91, 97);
    const std::vector<uint8_t> radio = m.image;
    ASSERT_EQ(m.Run(), HardwareMigrationResult::Done);
    for (int a = 24; a <= 64; ++a)
        EXPECT_EQ(m.image[a], radio[a]) << "address " << a;
    for (int a = 65; a <= 70; ++a)
        EXPECT_EQ(m.image[a], 0) << "address " << a;
    for (int a = 65; a <= 115; ++a)
        if (a + 6 != kTuningAdjustAddress) {
            EXPECT_EQ(m.image[a + 6], radio[a]) << "radio address " << a;
        }
    EXPECT_EQ(m.image[kTuningLengthAddress], 97);
    // The old Phase 1/2 hardware blocks are gone: the result is a sound Phase 3 codeplug.
    EXPECT_EQ(ReadBigEndian16(m.image, 0), 640);
    EXPECT_TRUE(ValidateHardwareCodeplug(m.image).empty());
}

TEST(HardwareMigrationTest, ShorterTemplateRunTakesOnlyWhatItNeeds)
{
    Migration m(true, 97, 60);
    const std::vector<uint8_t> radio = m.image;
    ASSERT_EQ(m.Run(), HardwareMigrationResult::Done);
    for (int a = 24; a <= 84; ++a)
        EXPECT_EQ(m.image[a], radio[a]);
    for (int a = 85; a <= 121; ++a)
        if (a != kTuningAdjustAddress) {
            EXPECT_EQ(m.image[a], m.file[a]) << "address " << a;
        }
    EXPECT_TRUE(ValidateHardwareCodeplug(m.image).empty());
}

TEST(HardwareMigrationTest, VariantColumnFixUps)
{
    const auto byte112 = [](int column, uint8_t radioValue) {
        Migration m(true, 97, 97);
        m.image[kTuningAdjustAddress] = radioValue;
        EXPECT_EQ(m.Run(column), HardwareMigrationResult::Done);
        EXPECT_TRUE(ValidateHardwareCodeplug(m.image).empty());
        return m.image[kTuningAdjustAddress];
    };
    EXPECT_EQ(byte112(3, 0xBD), 0xE2);
    EXPECT_EQ(byte112(3, 0xBE), 0xBE);
    EXPECT_EQ(byte112(7, 0x00), 0x25);
    EXPECT_EQ(byte112(0, 0xBD), 0xBD);
    EXPECT_EQ(byte112(8, 0x10), 0x10);

    Migration six(true, 97, 97);
    const std::vector<uint8_t> radio = six.image;
    ASSERT_EQ(six.Run(6), HardwareMigrationResult::Done);
    EXPECT_EQ(six.image[57], radio[57]);
    EXPECT_EQ(six.image[58], 0x60);
    EXPECT_EQ(six.image[59], 0x6F);
    EXPECT_EQ(six.image[60], 0x6F);
    EXPECT_EQ(six.image[61], 0x6F);
    EXPECT_EQ(six.image[62], radio[62]);
    EXPECT_TRUE(ValidateHardwareCodeplug(six.image).empty());

    Migration five(true, 97, 97);
    ASSERT_EQ(five.Run(5), HardwareMigrationResult::Done);
    EXPECT_EQ(five.image[58], radio[58]);
}

TEST(HardwareMigrationTest, RefusalsLeaveTheImageUntouched)
{
    const auto refused = [](Migration m, int column, HardwareMigrationResult expected) {
        const std::vector<uint8_t> before = m.image;
        EXPECT_EQ(m.Run(column), expected);
        EXPECT_EQ(m.image, before);
    };
    Migration shortFile(true, 97, 97);
    shortFile.file.resize(kEepromDataFileMinSize - 1);
    refused(shortFile, 0, HardwareMigrationResult::DataFileTooShort);
    EXPECT_FALSE(IsEepromDataFileLongEnough(shortFile.file));

    // A radio's N beyond its own tuning block would pull hardware block 3 into the run.
    Migration phase12Long(false, 92, 97);
    refused(phase12Long, 0, HardwareMigrationResult::RadioTuningTooLong);
    Migration phase3Long(true, 98, 97);
    refused(phase3Long, 0, HardwareMigrationResult::RadioTuningTooLong);

    Migration templateLong(true, 97, 98);
    refused(templateLong, 0, HardwareMigrationResult::TemplateTuningTooLong);
    Migration phase3Short(true, 90, 97);
    refused(phase3Short, 0, HardwareMigrationResult::TemplateNeedsMoreTuning);
    Migration phase12Short(false, 90, 97);
    refused(phase12Short, 0, HardwareMigrationResult::TemplateNeedsMoreTuning);

    Migration notPhase3(true, 97, 97);
    notPhase3.file[1] = 0x00;
    refused(notPhase3, 0, HardwareMigrationResult::TemplateNotPhase3);

    refused(Migration(true, 97, 97), 9, HardwareMigrationResult::UnknownColumn);
    refused(Migration(true, 97, 97), -1, HardwareMigrationResult::UnknownColumn);

    Migration tiny(true, 97, 97);
    tiny.image.resize(639);
    refused(tiny, 0, HardwareMigrationResult::ImageTooShort);
}

TEST(FirstBlockPatchTest, RenewsOnlyItsBytesAndTheChecksum)
{
    std::vector<uint8_t> image = GenerateNewCodeplugImage({});
    const std::vector<uint8_t> before = image;
    const std::vector<uint8_t> file = GenerateEepromDataFile(77);
    ASSERT_TRUE(PatchFirstBlock(image, file));
    for (size_t a = 0; a < image.size(); ++a) {
        const bool renewed = a == 681 || a == 682 || (a >= 698 && a <= 707);
        if (renewed) {
            EXPECT_EQ(image[a], file[a]) << "address " << a;
        } else if (a != 722) {
            EXPECT_EQ(image[a], before[a]) << "address " << a;
        }
    }
    EXPECT_TRUE(ValidateCodeplugImage(image, ApplicationLayout::New).empty());

    std::vector<uint8_t> shortFile(file.begin(), file.end() - 1);
    std::vector<uint8_t> untouched = before;
    EXPECT_FALSE(PatchFirstBlock(untouched, shortFile));
    EXPECT_EQ(untouched, before);
}

} // namespace
} // namespace vantrel
