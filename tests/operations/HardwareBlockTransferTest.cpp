#include "operations/HardwareBlockTransfer.h"

#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "support/OperationRig.h"
#include "codeplug/BlockChecksum.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

// The transfer's positions, where no block range sends positions of its own.
std::vector<uint32_t> Positions(const RecordingFeedback& feedback)
{
    std::vector<uint32_t> out;
    for (const auto& [message, value] : feedback.Progress()) {
        if (message == WM_PROGRESS_POS && value >= 1 && value <= 14) out.push_back(value);
    }
    return out;
}

// The Phase 3 block 3 of the radio, with a changed byte and a stale checksum.
HardwareCodeplugImage ChangedBlock(OperationRig& rig)
{
    HardwareCodeplugImage image;
    image.generation = 1;
    std::copy(rig.Eeprom().begin() + 123, rig.Eeprom().begin() + 229, image.At(123));
    *image.At(130) ^= 0xFF;
    return image;
}

TEST(HardwareBlockTransfer, WriteRepeatsTheWholeBlockUpToFourTimesThenResets)
{
    OperationRig rig(kSimDefaultProfile, "silence@1-");
    HardwareCodeplugImage image = ChangedBlock(rig);
    EXPECT_FALSE(CHardwareBlockTransfer(0, image).Write());

    // Each attempt fails on its first 30-byte piece and the next starts over.
    const std::vector<RequestLog::Access> writes(4, {123, 30});
    EXPECT_EQ(rig.requests.Writes(), writes);
    ASSERT_FALSE(rig.requests.Requests().empty());
    EXPECT_EQ(rig.requests.Requests().back().opcode, kOpReset);
    EXPECT_EQ(rig.requests.Count(kOpReset), 1u);

    std::vector<uint32_t> positions;
    for (int attempt = 0; attempt < 4; ++attempt) {
        for (uint32_t p = 8; p <= 14; ++p)
            positions.push_back(p);
    }
    EXPECT_EQ(Positions(rig.feedback), positions);
    const auto progress = rig.feedback.Progress();
    ASSERT_GE(progress.size(), 3u);
    const std::vector<std::pair<uint32_t, uint32_t>> end(progress.end() - 3, progress.end());
    EXPECT_EQ(end, (std::vector<std::pair<uint32_t, uint32_t>>{
                       {WM_PROGRESS_TEXT, 20135}, {WM_PROGRESS_HIDEBAR, 0}, {WM_PROGRESS_CLOSE, 0}}));
    EXPECT_TRUE(rig.feedback.Messages().empty()) << "the transfer shows no message of its own";
}

TEST(HardwareBlockTransfer, SucceedsOnlyWhenTheWriteAndTheResetDo)
{
    {
        OperationRig rig;
        HardwareCodeplugImage image = ChangedBlock(rig);
        EXPECT_TRUE(CHardwareBlockTransfer(0, image).Write());
        const Bytes& e = rig.Eeprom();
        EXPECT_TRUE(std::equal(e.begin() + 123, e.begin() + 228, image.At(123)));
        EXPECT_EQ(e[228], BlockChecksum(std::span<const uint8_t>(e).subspan(123, 105))) << "checksum refreshed";
        EXPECT_EQ(TouchedAddresses(rig.requests.Writes()), AddressRun(123, 229));
    }
    {
        // Four silent attempts, then a reset that works: still a failure.
        OperationRig rig(kSimDefaultProfile, "silence@1-4");
        HardwareCodeplugImage image = ChangedBlock(rig);
        EXPECT_FALSE(CHardwareBlockTransfer(0, image).Write());
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 4u);
        EXPECT_EQ(rig.requests.Count(kOpReset), 1u);
    }
    {
        // The block goes in (four pieces), the reset is not answered.
        OperationRig rig(kSimDefaultProfile, "silence@5");
        HardwareCodeplugImage image = ChangedBlock(rig);
        EXPECT_FALSE(CHardwareBlockTransfer(0, image).Write());
        EXPECT_EQ(rig.requests.Count(kOpWriteMemory), 4u);
        EXPECT_EQ(rig.Eeprom()[130], *image.At(130));
    }
}

TEST(HardwareBlockTransfer, Phase12ReadTouchesOnlyBlock3AndLeavesTheWindowOpen)
{
    OperationRig rig("phase12-r2");
    HardwareCodeplugImage image;
    image.generation = 0;
    EXPECT_TRUE(CHardwareBlockTransfer(0, image).Read());
    EXPECT_EQ(TouchedAddresses(rig.requests.Reads()), AddressRun(117, 205));
    EXPECT_EQ(rig.requests.Count(kOpReset), 0u);
    const Bytes& e = rig.Eeprom();
    EXPECT_TRUE(std::equal(e.begin() + 117, e.begin() + 205, image.bytes.begin() + 113)) << "offset = address - 4";
    EXPECT_TRUE(std::all_of(image.bytes.begin(), image.bytes.begin() + 113, [](uint8_t b) { return b == 0; }));

    // The block's own range and positions (88 bytes: three passes) come
    // between positions 3 and 4; no reset, and the window is not closed.
    constexpr uint32_t kRange = WM_PROGRESS_RANGE;
    constexpr uint32_t kPos = WM_PROGRESS_POS;
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{kRange, 14}, {kPos, 1}, {kPos, 2}, {kPos, 3},
                                                                 {kRange, 1},  {kPos, 0}, {kPos, 1}, {kPos, 2},
                                                                 {kPos, 4},    {kPos, 5}, {kPos, 6}, {kPos, 7}};
    EXPECT_EQ(rig.feedback.Progress(), expected);
}

TEST(HardwareBlockTransfer, PortThatDoesNotOpenFailsAtOnceWithoutMessages)
{
    OperationRig rig;
    rig.router.SetSlotTarget(0, "sim:nonesuch");
    HardwareCodeplugImage image;
    EXPECT_FALSE(CHardwareBlockTransfer(0, image).Read());
    EXPECT_FALSE(CHardwareBlockTransfer(0, image).Write());
    EXPECT_TRUE(rig.feedback.Messages().empty()) << "not one \"no port\" box per command";
    EXPECT_EQ(rig.feedback.Progress().back().first, uint32_t{WM_PROGRESS_CLOSE});
}

TEST(HardwareBlockTransfer, FailedReadIsNotRepeatedButFinishesItsPositions)
{
    OperationRig rig(kSimDefaultProfile, "silence@1-");
    HardwareCodeplugImage image;
    EXPECT_FALSE(CHardwareBlockTransfer(0, image).Read());
    EXPECT_EQ(rig.requests.Count(kOpReadMemory), 1u);
    EXPECT_EQ(Positions(rig.feedback), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7}));
}

} // namespace
} // namespace vantrel
