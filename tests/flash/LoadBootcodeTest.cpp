#include "flash/FlashLoader.h"
#include "flash/FlashTestBench.h"
#include "link/StringTable.h"

#include <gtest/gtest.h>
#include <numeric>

namespace vantrel {
namespace {

constexpr uint32_t kPrompt = 20133;
using P = std::pair<uint32_t, uint32_t>;
using Ids = std::vector<uint32_t>;

class LoadBootcodeTest : public FlashTestBench {
protected:
    void SetUp() override
    {
        FlashTestBench::SetUp();
        code.resize(13);
        std::iota(code.begin(), code.end(), uint8_t{0x21});
        files.bootcodePath = WriteFile("bt38.mot", code);
        bootstrap.expectedBlocks = 2;
        // The operator's OK puts the radio into bootstrap mode: it sends its break.
        listener = AddOperatorActionListener([this](uint32_t id, int answer) {
            if (id != kPrompt) return;
            promptAnsweredMs = clock.NowMs();
            if (answer != 0 && radioObeys) device.RaiseBreak();
        });
    }
    void TearDown() override
    {
        RemoveOperatorActionListener(listener);
        FlashTestBench::TearDown();
    }

    bool Load(bool prompt)
    {
        CFlashLoader loader(files, 38400, 2);
        const bool ok = loader.LoadBootcode(prompt);
        cancelled = loader.cancelled;
        return ok;
    }

    void ExpectPortClosed()
    {
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.CloseCount(), 1);
    }

    Bytes code;
    FlashFileSet files;
    int listener = 0;
    bool radioObeys = true;
    bool cancelled = false;
    uint64_t promptAnsweredMs = 0;
};

TEST_F(LoadBootcodeTest, PromptedDownloadEndsWithTheReadyByteAtTheFlashRate)
{
    ASSERT_TRUE(Load(true));
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(factory.Requested(), std::vector<std::string>{"COM3"});

    Bytes padded = code;
    padded.insert(padded.end(), {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(bootstrap.Downloaded(), padded);
    EXPECT_EQ(feedback.Messages(), Ids{kPrompt});
    EXPECT_EQ(feedback.Events().front().value, static_cast<uint32_t>(kMsgWarningOkCancel));
    EXPECT_EQ(feedback.Progress(), (std::vector<P>{{WM_PROGRESS_SHOWBAR, 0},
                                                   {WM_PROGRESS_RANGE, 2},
                                                   {WM_PROGRESS_TEXT, 20127},
                                                   {WM_PROGRESS_POS, 1},
                                                   {WM_PROGRESS_POS, 2}}));
    // 1500 ms for the radio to start, 1000 ms for the line to settle.
    EXPECT_GE(device.Sent().front().writtenUs / 1000, promptAnsweredMs + 2500);
    EXPECT_EQ(device.Settings().baudRate, 38400u);
    ExpectPortClosed();
}

TEST_F(LoadBootcodeTest, RetryWithoutPromptStartsAtOnceOnTheBootstrapRate)
{
    device.RaiseBreak(); // the radio was put into bootstrap mode before the call
    const uint64_t start = clock.NowMs();
    ASSERT_TRUE(Load(false));
    EXPECT_TRUE(feedback.Messages().empty());
    EXPECT_LT(device.Sent().front().writtenUs / 1000, start + 200);
    EXPECT_EQ(bootstrap.blocks.size(), 2u);
    ExpectPortClosed();
}

TEST_F(LoadBootcodeTest, CancelOnThePromptClosesTheProgressAndShowsNothingElse)
{
    feedback.QueueAnswer(0);
    EXPECT_FALSE(Load(true));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(feedback.Messages(), Ids{kPrompt});
    EXPECT_EQ(feedback.Progress(), (std::vector<P>{{WM_PROGRESS_CLOSE, 0}}));
    EXPECT_TRUE(device.SentBytes().empty());
    ExpectPortClosed();
}

TEST_F(LoadBootcodeTest, EmptyBootcodeSendsNoBlockButStillAwaitsTheReadyByte)
{
    files.bootcodePath = WriteFile("empty.mot", {});
    bootstrap.expectedBlocks = 0;
    ASSERT_TRUE(Load(true));
    EXPECT_EQ(device.SentBytes(), Bytes{0xFD});

    // Without the ready byte the same download fails.
    BootstrapRadio silent;
    silent.Attach(device, clock);
    silent.readyByte.reset();
    feedback.Clear();
    EXPECT_FALSE(Load(true));
    EXPECT_EQ(feedback.Messages(), (Ids{kPrompt, 20113}));
}

TEST_F(LoadBootcodeTest, ReadyByteIsTakenWithin700MsOfTheSwitch)
{
    device.RaiseBreak();
    bootstrap.readyDelayMs = 650; // after the last block, so about 620 ms after the switch
    ASSERT_TRUE(Load(false));
    EXPECT_GE(device.LastReadMs() - bootstrap.blockHeardMs.back(), 650u);
    EXPECT_EQ(clock.NowMs(), device.LastReadMs());
}

TEST_F(LoadBootcodeTest, AnyOtherReadyByteOrNoneFails)
{
    bootstrap.readyByte = 'Q';
    EXPECT_FALSE(Load(true));
    EXPECT_EQ(feedback.Messages(), (Ids{kPrompt, 20113}));
    ExpectPortClosed();

    BootstrapRadio mute;
    mute.Attach(device, clock);
    mute.expectedBlocks = 2;
    mute.readyByte.reset();
    feedback.Clear();
    EXPECT_FALSE(Load(true));
    EXPECT_EQ(feedback.Messages(), (Ids{kPrompt, 20113}));
    // The whole time limit was given to the loader.
    EXPECT_GE(clock.NowMs() - mute.blockHeardMs.back(), 700u);
}

TEST_F(LoadBootcodeTest, BootcodeOfMoreThan5000BytesIsRefusedBeforeAnythingIsSent)
{
    files.bootcodePath = WriteFile("big.mot", Bytes(5001, 0x42));
    EXPECT_FALSE(Load(true));
    EXPECT_EQ(feedback.Messages(), (Ids{kPrompt, 20185}));
    EXPECT_TRUE(HasMessageText(20185));
    EXPECT_TRUE(device.SentBytes().empty());
    ExpectPortClosed();
}

TEST_F(LoadBootcodeTest, BootcodeOfExactly5000BytesGoesAs625Blocks)
{
    Bytes big(5000);
    std::iota(big.begin(), big.end(), uint8_t{0});
    files.bootcodePath = WriteFile("full.mot", big);
    bootstrap.expectedBlocks = 625;
    ASSERT_TRUE(Load(true));
    EXPECT_EQ(bootstrap.Downloaded(), big);
    EXPECT_EQ(feedback.Progress().back(), (P{WM_PROGRESS_POS, 625}));
}

TEST_F(LoadBootcodeTest, BootcodePathThatIsAFolderCannotBeOpened)
{
    files.bootcodePath = folder.string();
    EXPECT_FALSE(Load(false));
    EXPECT_EQ(feedback.Messages(), Ids{20109});
    EXPECT_TRUE(device.SentBytes().empty());
}

// Faults stacked in the order their messages can arise; taking them away one
// by one from the front shows every message of the list in its place, and
// each failure leaves the port closed.
TEST_F(LoadBootcodeTest, FailuresAreReportedInTheirOrderOneMessageEach)
{
    struct Step {
        const char* fault;
        uint32_t message;
    };
    const std::vector<Step> steps{
        {"port missing", 20110}, {"no bootcode", 20109}, {"wrong rate", 20121}, {"held break", 20124},
        {"sync refused", 20122}, {"late echo", 20123},   {"bad echo", 20125},   {"no ready byte", 20113},
    };
    for (size_t first = 0; first <= steps.size(); ++first) {
        SCOPED_TRACE(first < steps.size() ? steps[first].fault : "none");
        auto faulty = [&](const char* name) {
            for (size_t i = first; i < steps.size(); ++i)
                if (std::string(steps[i].fault) == name) return true;
            return false;
        };
        FakeSerialDevice line(clock);
        FakeDeviceFactory lineFactory(line);
        ScopedRuntime lineRuntime(clock, lineFactory);
        BootstrapRadio radio;
        radio.Attach(line, clock);
        radio.expectedBlocks = 2;
        radio.replyDelayMs = 100;
        if (faulty("port missing")) lineFactory.MarkMissing("COM3");
        files.bootcodePath = faulty("no bootcode") ? "" : WriteFile("bt38.mot", code);
        files.bootstrapRate = faulty("wrong rate") ? 19200 : kBootstrapRate;
        line.HoldBreak(faulty("held break"));
        if (faulty("sync refused")) radio.syncAnswer = 0x7F;
        line.SetEchoLatencyMs(faulty("late echo") ? 95 : 0);
        if (faulty("bad echo")) radio.corruptBlock = 1;
        if (faulty("no ready byte")) radio.readyByte.reset();
        const int handle = AddOperatorActionListener([&](uint32_t id, int answer) {
            if (id == kPrompt && answer != 0) line.RaiseBreak();
        });

        feedback.Clear();
        CFlashLoader loader(files, 38400, 2);
        const bool ok = loader.LoadBootcode(true);
        RemoveOperatorActionListener(handle);

        Ids expected;
        if (first != 0) expected.push_back(kPrompt);
        if (first < steps.size()) expected.push_back(steps[first].message);
        EXPECT_EQ(ok, first == steps.size());
        EXPECT_EQ(feedback.Messages(), expected);
        EXPECT_FALSE(line.IsOpen());
        EXPECT_FALSE(loader.cancelled);
    }
}

} // namespace
} // namespace vantrel
