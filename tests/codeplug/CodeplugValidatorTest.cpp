#include "codeplug/CodeplugValidator.h"

#include "sim/CodeplugGenerator.h"
#include "upgrade/CodeplugTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

using testing::CodeplugView;

// True when some problem mentions `what`.
bool Mentions(const CodeplugProblems& problems, const std::string& what)
{
    for (const std::string& p : problems)
        if (p.find(what) != std::string::npos) return true;
    return false;
}

TEST(CodeplugValidatorTest, GeneratedImagesAreSound)
{
    for (bool phase3 : {false, true})
        for (int version : {2, 3}) {
            const std::vector<uint8_t> old = GenerateOldCodeplugImage({.phase3 = phase3, .layoutVersion = version});
            EXPECT_TRUE(ValidateCodeplugImage(old, ApplicationLayout::Old).empty());
            // An old layout is not the new one: block 1 holds 65 bytes, blocks are missing.
            EXPECT_FALSE(ValidateCodeplugImage(old, ApplicationLayout::New).empty());
        }
    for (bool entry17 : {false, true})
        EXPECT_TRUE(
            ValidateCodeplugImage(GenerateNewCodeplugImage({.withEntry17 = entry17}), ApplicationLayout::New).empty());
    EXPECT_TRUE(ValidateEepromDataFile(GenerateEepromDataFile(5)).empty());
    const std::vector<uint8_t> hardware = GenerateHardwareCodeplug(false, 8);
    EXPECT_EQ(hardware.size(), 512u);
    EXPECT_EQ(hardware[22], 91);
    EXPECT_EQ(GenerateHardwareCodeplug(true, 8)[22], 97);
    EXPECT_TRUE(ValidateHardwareCodeplug(hardware).empty());
}

TEST(CodeplugValidatorTest, FindsDamageInTheHardwareCodeplug)
{
    for (bool phase3 : {false, true}) {
        std::vector<uint8_t> image = GenerateOldCodeplugImage({.phase3 = phase3});
        image[phase3 ? 400 : 300] ^= 1; // inside hardware block 5
        EXPECT_TRUE(Mentions(ValidateCodeplugImage(image, ApplicationLayout::Old), "hardware block 5 checksum"));

        std::vector<uint8_t> tuning = GenerateHardwareCodeplug(phase3, 2, phase3 ? 98 : 92);
        EXPECT_TRUE(Mentions(ValidateHardwareCodeplug(tuning), "tuning run length"));
    }
    std::vector<uint8_t> length = GenerateHardwareCodeplug(true, 1);
    length[1] = 0x81;
    EXPECT_TRUE(Mentions(ValidateHardwareCodeplug(length), "not 512 or 640"));
    EXPECT_FALSE(ValidateHardwareCodeplug(std::vector<uint8_t>(300, 0)).empty());
}

TEST(CodeplugValidatorTest, FindsDamageInTheApplicationCodeplug)
{
    const std::vector<uint8_t> sound = GenerateNewCodeplugImage({});
    const CodeplugView view(sound, 640);
    const auto damaged = [&](auto edit) {
        std::vector<uint8_t> image = sound;
        edit(image);
        return ValidateCodeplugImage(image, ApplicationLayout::New);
    };
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.Entry(14) + 6] ^= 4; }), "entry 14 checksum"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.Entry(5)] ^= 4; }), "entry 5 checksum"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.TrailerAddress() + 4] ^= 4; }), "trailer checksum"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.TrailerAddress() + 1] = 8; }), "trailer length"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.DirectoryAddress() + 20] ^= 1; }), "directory checksum"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.DirectoryAddress() + 1] = 31; }), "directory count"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[645 + 1] ^= 2; }), "application length"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i.pop_back(); }), "beyond the image"));
    EXPECT_TRUE(Mentions(damaged([&](auto& i) { i[view.Entry(9) + 1] = 0x02; }), "record length"));
}

TEST(CodeplugValidatorTest, FindsMisplacedAndOverlappingBlocks)
{
    CodeplugDescription gap = DescribeNewCodeplug({});
    const std::vector<uint8_t> sound = BuildCodeplugImage(gap);
    const CodeplugView view(sound, 640);

    // Entry 10 pointing at block 9: two pieces share bytes, and the new layout is no longer packed.
    std::vector<uint8_t> shared = sound;
    WriteBigEndian16(shared, view.DirectoryAddress() + 20, view.Entry(9));
    shared.back() =
        static_cast<uint8_t>(shared.back() + sound[view.DirectoryAddress() + 20] + sound[view.DirectoryAddress() + 21] -
                             shared[view.DirectoryAddress() + 20] - shared[view.DirectoryAddress() + 21]);
    const CodeplugProblems problems = ValidateCodeplugImage(shared, ApplicationLayout::New);
    EXPECT_TRUE(Mentions(problems, "overlaps"));
    EXPECT_FALSE(Mentions(problems, "directory checksum"));

    // Blocks in another order are a sound old layout but not the new one.
    std::vector<uint8_t> reordered = GenerateOldCodeplugImage({.phase3 = true, .reverseOrder = true});
    EXPECT_TRUE(ValidateCodeplugImage(reordered, ApplicationLayout::Old).empty());

    // A missing block the layout always has.
    gap.RemoveBlock(11);
    EXPECT_TRUE(
        Mentions(ValidateCodeplugImage(BuildCodeplugImage(gap), ApplicationLayout::New), "entry 11 is missing"));
    gap.Block(1)->recordLength = 65;
    gap.Block(1)->records.resize(65);
    EXPECT_TRUE(Mentions(ValidateCodeplugImage(BuildCodeplugImage(gap), ApplicationLayout::New), "not 67"));
}

TEST(CodeplugValidatorTest, EepromDataFileProblems)
{
    std::vector<uint8_t> file = GenerateEepromDataFile(3);
    EXPECT_EQ(file.size(), 723u);
    file.pop_back();
    EXPECT_TRUE(Mentions(ValidateEepromDataFile(file), "fewer than 723"));
    file = GenerateEepromDataFile(3);
    file[700] ^= 1;
    EXPECT_TRUE(Mentions(ValidateEepromDataFile(file), "block 1 checksum"));
    EXPECT_FALSE(ValidateEepromDataFile(GenerateOldCodeplugImage({.phase3 = false})).empty());
}

} // namespace
} // namespace vantrel
