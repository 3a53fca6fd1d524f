#include "sim/SimRig.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(SimNormalMode, ReadInfoExampleIsByteExact)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    rig.WriteRaw(Bytes({0xF2, 0x23, 0x10, 0xDA}));
    EXPECT_EQ(rig.Read(4), Bytes({0xF2, 0x23, 0x10, 0xDA}));
    EXPECT_EQ(rig.Read(1), Bytes({0x50}));
    EXPECT_EQ(rig.Read(5), Bytes({0xF3, 0x8B, 0x10, 0x01, 0x70}));
}

TEST(SimNormalMode, IdentityItemsAndNotSupported)
{
    SimRig rig("partial-info");
    ASSERT_TRUE(rig.Open());
    const auto& item0 = rig.Radio().State().items[0].value;
    const std::string model(item0.begin(), item0.end());
    const std::string reply = std::string(1, '\0') + model;  // item number, then the value
    const std::vector<uint8_t> expected(reply.begin(), reply.end());
    EXPECT_EQ(rig.Transact(0x23, {0x00}), AckThen(0x8B, expected));
    EXPECT_EQ(rig.Transact(0x23, {0x02}), AckThen(0x8B, Bytes({0x02, 0x8A, 0x12, 0x34, 0x56, 0x78})));
    // Items this radio does not know, and items past 16, are answered 0x86 after the ACK.
    EXPECT_EQ(rig.Transact(0x23, {0x0A}), Bytes({0x50, 0xF1, 0x86, 0x88}));
    EXPECT_EQ(rig.Transact(0x23, {0x07}), Bytes({0x50, 0xF1, 0x86, 0x88}));
    EXPECT_EQ(rig.Transact(0x23, {0x20}), Bytes({0x50, 0xF1, 0x86, 0x88}));
    // An opcode the radio does not have.
    EXPECT_EQ(rig.Transact(0x42, {}), Bytes({0x50, 0xF1, 0x86, 0x88}));
}

TEST(SimNormalMode, RegionalIdIsWrittenAndChecked)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Transact(0x18, {0x04, 0x03}), AckThen(0x87, {0x00}));
    EXPECT_EQ(rig.Radio().Region(), 3);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x03}));
    EXPECT_EQ(rig.Transact(0x18, {0x04, 0xFF}), AckThen(0x87, {0x00}));
    EXPECT_EQ(rig.Radio().Region(), 0xFF);
    // Out-of-range values and values of the wrong length are rejected and change nothing.
    EXPECT_EQ(rig.Transact(0x18, {0x04, 0x05}), AckThen(0x87, {0x01}));
    EXPECT_EQ(rig.Transact(0x18, {0x04, 0x01, 0x01}), AckThen(0x87, {0x01}));
    EXPECT_EQ(rig.Radio().Region(), 0xFF);
    EXPECT_EQ(rig.Transact(0x18, {0x03, 0x01}), Bytes({0x50, 0xF1, 0x86, 0x88}));
}

TEST(SimNormalMode, MemoryWriteThenReadBack)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    std::vector<uint8_t> data(30);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(0xA0 + i);
    std::vector<uint8_t> write{0x00, 0x3F, 0xE0};
    write.insert(write.end(), data.begin(), data.end());
    // The 30-byte write uses the extended-both header; the answer is ACK, then F1 84 8A.
    EXPECT_EQ(rig.Send(0x17, write).size(), 38u);
    EXPECT_EQ(rig.Read(38).size(), 38u);
    EXPECT_EQ(rig.Read(1), Bytes({0x50}));
    const uint64_t ackAt = rig.clock.NowMs();
    EXPECT_EQ(rig.Read(3), Bytes({0xF1, 0x84, 0x8A}));
    // The EEPROM takes its time per byte before the completion reply.
    EXPECT_GE(rig.clock.NowMs() - ackAt, 30u * rig.Radio().Timing().eepromWritePerByteUs / 1000);

    std::vector<uint8_t> reply{0x00, 0x3F, 0xE0};
    reply.insert(reply.end(), data.begin(), data.end());
    EXPECT_EQ(rig.Transact(0x11, {30, 0x00, 0x3F, 0xE0}), AckThen(0x80, reply));
    // The read-memory example request of the protocol.
    EXPECT_EQ(rig.Send(0x11, {0x1E, 0x00, 0x02, 0x00}), Bytes({0xF5, 0x11, 0x1E, 0x00, 0x02, 0x00, 0xD9}));
}

TEST(SimNormalMode, RequestsOutsideTheEepromOrLimitsAreRefused)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    const auto before = rig.Radio().State().eeprom;
    EXPECT_EQ(rig.Transact(0x11, {38, 0x00, 0x00, 0x00}), Bytes({0x60})); // over 37 bytes
    EXPECT_EQ(rig.Transact(0x11, {0, 0x00, 0x00, 0x00}), Bytes({0x60}));
    EXPECT_EQ(rig.Transact(0x11, {2, 0x00, 0x7F, 0xFF}), Bytes({0x60})); // runs past 32 KiB
    EXPECT_EQ(rig.Transact(0x11, {2, 0x40, 0x00, 0x00}), Bytes({0x60})); // flash: only the loader
    EXPECT_EQ(rig.Transact(0x17, {0x00, 0x7F, 0xFF, 1, 2}), Bytes({0x60}));
    EXPECT_EQ(rig.Transact(0x17, std::vector<uint8_t>(3 + 46, 0x00)), Bytes({0x60})); // over 45 bytes
    EXPECT_EQ(rig.Radio().State().eeprom, before);
    // The last EEPROM byte itself is fine.
    EXPECT_EQ(rig.Transact(0x11, {1, 0x00, 0x7F, 0xFF}), AckThen(0x80, {0x00, 0x7F, 0xFF, 0xFF}));
}

TEST(SimNormalMode, DamagedRequestsAreNakedAndTheRadioResynchronises)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    rig.WriteRaw(Bytes({0xF2, 0x23, 0x10, 0xDB})); // wrong checksum
    EXPECT_EQ(rig.Read(4).size(), 4u);
    EXPECT_EQ(rig.Read(16), Bytes({0x60}));
    // A header announcing no body after an escaped length cannot be a request.
    rig.WriteRaw(Bytes({0xFF, 0x23, 0x00, 0x00}));
    EXPECT_EQ(rig.Read(4).size(), 4u);
    EXPECT_EQ(rig.Read(16), Bytes({0x60}));
    // A request that stops halfway is refused once the radio's limit between
    // two characters has passed, so that it is sent again; the next one is answered.
    rig.WriteRaw(Bytes({0xF2, 0x23}));
    EXPECT_EQ(rig.Read(2).size(), 2u);
    const uint64_t lastByteUs = rig.clock.NowUs();
    EXPECT_EQ(rig.Read(16), Bytes({0x60}));
    EXPECT_GT(rig.clock.NowUs() - lastByteUs, rig.Radio().Timing().interByteGapUs);
    rig.Pass(500);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
    // A request longer than the radio's buffer is refused once (while the rest
    // is still being sent), then ignored.
    std::vector<uint8_t> huge(300, 0x00);
    rig.WriteRaw(EncodeMessage(0x17, huge.data(), 300));
    const auto echoAndNak = rig.Read(400);
    EXPECT_EQ(echoAndNak.size(), 305u + 1u);
    EXPECT_EQ(std::count(echoAndNak.begin(), echoAndNak.end(), 0x60), 1);
    rig.Pass(500);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
}

TEST(SimNormalMode, ResetRestartsTheRadio)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    rig.Send(0x10, {});
    EXPECT_EQ(rig.Read(3), Bytes({0xF1, 0x10, 0xFE}));
    EXPECT_EQ(rig.Read(1), Bytes({0x50}));
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Starting);
    // Deaf while it restarts.
    EXPECT_EQ(rig.Transact(0x23, {0x10}), Bytes({}));
    rig.Pass(rig.Radio().Timing().restartUs / 1000);
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Normal);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
}

} // namespace
} // namespace vantrel
