#include "sim/SimOperator.h"
#include "sim/SimRig.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(SimBootstrap, BreakSyncEchoedBlocksThenReadyAtTheFlashRate)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(2400));
    SimOperator::PutIntoBootstrap(*rig.line);
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Bootstrap);
    // 13 code bytes after the 8-byte header: three blocks, the last one padded.
    EXPECT_EQ(DownloadBootcode(rig, SampleLoader(38400), 38400), 'P');
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Loader);
    EXPECT_EQ(rig.Radio().State().loaderRate, 38400u);
    EXPECT_EQ(rig.Radio().BlockCount(), 3u);
    EXPECT_EQ(rig.Radio().DownloadedBootcode().size(), 24u);
    // The loader speaks the framed protocol at its rate: read the tag byte.
    EXPECT_EQ(rig.Transact(0x11, {1, 0x00, 0x3F, 0xF0}), AckThen(0x80, {0x00, 0x3F, 0xF0, 0xFF}));
    // The radio's firmware commands are gone.
    EXPECT_EQ(rig.Transact(0x23, {0x10}), Bytes({0x50, 0xF1, 0x86, 0x88}));
}

TEST(SimBootstrap, OnlyTheRightSyncAtTheRightRateIsAnswered)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(9600));
    SimOperator::PutIntoBootstrap(*rig.line);
    rig.Pass(50);
    // 0xFD sent at 9600 Bd is something else at 2400 Bd: no answer.
    rig.WriteRaw({0xFD});
    EXPECT_EQ(rig.Read(4), Bytes({0xFD}));
    rig.SetRate(2400);
    rig.WriteRaw({0xFF});
    EXPECT_EQ(rig.Read(4), Bytes({0xFF}));
    rig.WriteRaw({0xFD});
    EXPECT_EQ(rig.Read(4), Bytes({0xFD, 0xFF}));
    // A repeated sync before the first block is answered again.
    rig.WriteRaw({0xFD});
    EXPECT_EQ(rig.Read(4), Bytes({0xFD, 0xFF}));
}

TEST(SimBootstrap, CodeWithoutTheLoaderMarkHaltsTheRadio)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(2400));
    SimOperator::PutIntoBootstrap(*rig.line);
    std::vector<uint8_t> foreign = SampleLoader(38400);
    foreign[0] = 'X';
    EXPECT_EQ(DownloadBootcode(rig, foreign, 38400), -1);
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Halted);
    // A mark with a nonsense rate does not start either.
    SimOperator::PutIntoBootstrap(*rig.line);
    rig.SetRate(2400);
    EXPECT_EQ(DownloadBootcode(rig, SampleLoader(7), 38400), -1);
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Halted);
    // Only the operator can bring it back.
    SimOperator::ReturnToNormal(*rig.line);
    rig.Pass(500);
    rig.SetRate(9600);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
}

TEST(SimBootstrap, BreakIsHeldUntilReadOnlyByAnOpenPort)
{
    SimRig rig;
    // Sent while nobody has the port open: lost.
    SimOperator::PutIntoBootstrap(*rig.line);
    rig.Pass(100);
    ASSERT_TRUE(rig.Open(2400));
    LineStatus status;
    rig.device->GetStatus(status);
    EXPECT_EQ(status.errors & kLineErrorBreak, 0u);
    // Sent while the port is open: held through purges and rate changes until read once.
    SimOperator::PutIntoBootstrap(*rig.line);
    rig.Pass(1000);
    rig.device->Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear);
    rig.SetRate(2400);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.errors & kLineErrorBreak, kLineErrorBreak);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.errors & kLineErrorBreak, 0u);
}

TEST(SimLoader, EraseThenProgramFlashOnlyWhereErased)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(2400));
    SimOperator::PutIntoBootstrap(*rig.line);
    ASSERT_EQ(DownloadBootcode(rig, SampleLoader(115200), 115200), 'P');
    const std::vector<uint8_t> code{0x12, 0x34, 0x56, 0x78};
    std::vector<uint8_t> write{0x40, 0x00, 0x10, code[0], code[1], code[2], code[3]};
    EXPECT_EQ(rig.Transact(0x17, write), Bytes({0x50, 0xF1, 0x84, 0x8A}));

    // The erase: request F2 15 40 B8, ACK only after the erase time, then the completion reply.
    EXPECT_EQ(rig.Send(0x15, {0x40}), Bytes({0xF2, 0x15, 0x40, 0xB8}));
    EXPECT_EQ(rig.Read(4).size(), 4u);
    const uint64_t sent = rig.clock.NowMs();
    rig.device->SetReadLimits(ReadLimits{250, 0, 30000});
    EXPECT_EQ(rig.Read(1), Bytes({0x50}));
    EXPECT_GE(rig.clock.NowMs() - sent, rig.Radio().Timing().eraseUs / 1000);
    EXPECT_EQ(rig.Read(3), Bytes({0xF1, 0x84, 0x8A}));
    rig.device->SetReadLimits(ReadLimits{250, 0, 1000});
    EXPECT_TRUE(rig.Radio().State().flash.IsErased());
    EXPECT_EQ(rig.Radio().EraseCount(), 1u);

    // Programmed at its address with bit 22 set, and read back the same way.
    EXPECT_EQ(rig.Transact(0x17, write), Bytes({0x50, 0xF1, 0x84, 0x8A}));
    EXPECT_EQ(rig.Transact(0x11, {6, 0x40, 0x00, 0x0F}),
              AckThen(0x80, {0x40, 0x00, 0x0F, 0xFF, 0x12, 0x34, 0x56, 0x78, 0xFF}));
    // A second write over programmed cells is refused after the ACK.
    write[3] = 0x11;
    EXPECT_EQ(rig.Transact(0x17, write), Bytes({0x50, 0x60}));
    // EEPROM below bit 22 is still reachable; a write with no data is fine.
    EXPECT_EQ(rig.Transact(0x17, {0x00, 0x3F, 0xF0, 0x5C}), Bytes({0x50, 0xF1, 0x84, 0x8A}));
    EXPECT_EQ(rig.Radio().State().eeprom[0x3FF0], 0x5C);
    EXPECT_EQ(rig.Transact(0x17, {0x40, 0x00, 0x00}), Bytes({0x50, 0xF1, 0x84, 0x8A}));
    // Bit 23 is outside every memory.
    EXPECT_EQ(rig.Transact(0x11, {1, 0xC0, 0x00, 0x00}), Bytes({0x60}));
    EXPECT_EQ(rig.Transact(0x15, {0x41}), Bytes({0x60}));
}

TEST(SimLoader, ResetRestartsIntoTheModeTheAdapterSelects)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(2400));
    SimOperator::PutIntoBootstrap(*rig.line);
    ASSERT_EQ(DownloadBootcode(rig, SampleLoader(19200), 19200), 'P');
    // Adapter still ON(Flash Mode): the restart lands in bootstrap mode again, with a break.
    EXPECT_EQ(rig.Transact(0x10, {}), Bytes({0x50}));
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Bootstrap);
    LineStatus status;
    rig.device->GetStatus(status);
    EXPECT_EQ(status.errors & kLineErrorBreak, kLineErrorBreak);
    // The operator switches the adapter OFF and power-cycles: normal operation at 9600 Bd.
    SimOperator::ReturnToNormal(*rig.line);
    rig.Pass(300);
    rig.SetRate(9600);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
}

// What happens to the radio in loader mode, in order.
enum class LoaderStep {
    Erase,
    Program,
    Reset,     // the loader's reset command; the adapter is still ON(Flash Mode)
    PowerLoss, // power lost and back, the bootcode downloaded again
};

struct FirmwareCase {
    const char* name;
    std::vector<LoaderStep> steps;
    bool answersInNormalMode;
};

class SimFirmwareErased : public ::testing::TestWithParam<FirmwareCase> {};

TEST_P(SimFirmwareErased, RadioAnswersInNormalModeOnlyWithCompleteFirmware)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(2400));
    SimOperator::PutIntoBootstrap(*rig.line);
    ASSERT_EQ(DownloadBootcode(rig, SampleLoader(19200), 19200), 'P');
    for (LoaderStep step : GetParam().steps) {
        switch (step) {
        case LoaderStep::Erase:
            rig.device->SetReadLimits(ReadLimits{250, 0, 30000});
            EXPECT_EQ(rig.Transact(0x15, {0x40}), Bytes({0x50, 0xF1, 0x84, 0x8A}));
            rig.device->SetReadLimits(ReadLimits{250, 0, 1000});
            break;
        case LoaderStep::Program:
            EXPECT_EQ(rig.Transact(0x17, {0x40, 0x00, 0x10, 0x12, 0x34}), Bytes({0x50, 0xF1, 0x84, 0x8A}));
            break;
        case LoaderStep::Reset:
            EXPECT_EQ(rig.Transact(0x10, {}), Bytes({0x50}));
            break;
        case LoaderStep::PowerLoss:
            rig.Radio().PowerOff();
            rig.Radio().PowerOn();
            rig.SetRate(2400);
            ASSERT_EQ(DownloadBootcode(rig, SampleLoader(19200), 19200), 'P');
            break;
        }
    }
    SimOperator::ReturnToNormal(*rig.line);
    rig.Pass(300);
    rig.SetRate(9600);
    const std::vector<uint8_t> answer = rig.Transact(0x23, {0x10});
    if (GetParam().answersInNormalMode) {
        EXPECT_EQ(answer, AckThen(0x8B, {0x10, 0x01}));
    } else {
        EXPECT_TRUE(answer.empty());
    }
    EXPECT_EQ(rig.Radio().State().firmwareErased, !GetParam().answersInNormalMode);
}

using enum LoaderStep;
INSTANTIATE_TEST_SUITE_P(
    Steps, SimFirmwareErased,
    ::testing::Values(FirmwareCase{"NoErase", {Reset}, true},
                      FirmwareCase{"EraseFlashReset", {Erase, Program, Reset}, true},
                      FirmwareCase{"EraseOnly", {Erase, Reset}, false},
                      FirmwareCase{"PowerLostWhileFlashing", {Erase, Program, PowerLoss}, false},
                      // The loader's reset alone does not finish a flashing that lost its power.
                      FirmwareCase{"ProgramAfterPowerLoss", {Erase, PowerLoss, Program, Reset}, false},
                      FirmwareCase{"FlashedAgainFromTheErase", {Erase, PowerLoss, Erase, Program, Reset}, true}),
    [](const ::testing::TestParamInfo<FirmwareCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
