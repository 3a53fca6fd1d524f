#include "data/SampleBootcode.h"
#include "flash/FirmwareImage.h"
#include "flash/FlashLoader.h"
#include "images/Export.h"
#include "link/Feedback.h"
#include "platform/Files.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "sim/SimBench.h"
#include "support/RecordingFeedback.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vantrel {
namespace {

using ByteVector = std::vector<uint8_t>;

// The bootcode download and the flashing against the simulated radio on COM1,
// with the simulated operator answering the bootstrap prompt.
// A simulated radio of its own for one case, reached through COM1 while Routed lives.
struct FaultyBench {
    VirtualClock clock{5000};
    SimBench bench{clock};

    struct Routed {
        explicit Routed(FaultyBench& faulty) : runtime(faulty.clock, Route(router, faulty.bench)) {}
        static PortRouter& Route(PortRouter& router, SimBench& bench)
        {
            router.SetSlotTarget(0, "sim");
            router.SetSimMaker(bench.Maker());
            return router;
        }
        PortRouter router;
        ScopedRuntime runtime;
    };
};

class FlashEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        router.SetSlotTarget(0, "sim");
        router.SetSimMaker(bench.Maker());
        std::string error;
        line = bench.LineFor("sim", error);
        ASSERT_TRUE(line) << error;
        folder =
            std::filesystem::temp_directory_path() / ("vantrel-flash-e2e-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string Write(const std::string& name, const ByteVector& bytes)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // A loader the simulated radio starts: the mark, the rate it switches to, code.
    static ByteVector Bootcode(uint32_t flashRate)
    {
        ByteVector code(kSampleBootcodeMark, kSampleBootcodeMark + sizeof kSampleBootcodeMark);
        for (int shift = 0; shift < 32; shift += 8)
            code.push_back(static_cast<uint8_t>(flashRate >> shift));
        for (uint8_t i = 0; i < 13; ++i)
            code.push_back(static_cast<uint8_t>(0xA0 + i));
        return code;
    }

    static FirmwareImage Firmware()
    {
        FirmwareImage image;
        const auto add = [&](uint32_t address, uint32_t length, uint8_t seed) {
            ByteVector data(length);
            for (uint32_t i = 0; i < length; ++i)
                data[i] = static_cast<uint8_t>(seed + i * 7);
            EXPECT_EQ(AddFirmwareRecord(image, address, data.data(), length), FirmwareFileError::None);
        };
        add(0x000000, 45, 0x11);
        add(0x00002D, 20, 0x52);
        add(0x412000, 16, 0x03); // bit 22 already set
        add(0x013000, 0, 0);     // no data
        add(0x3FFFF0, 16, 0x99); // the last bytes of the flash
        return image;
    }

    FlashFileSet Files(uint32_t flashRate)
    {
        FlashFileSet files;
        files.bootcodePath = Write(BootcodeFileName(flashRate), Bootcode(flashRate));
        files.firmwarePath = Write(kFirmwareRecordFileName, EncodeFirmwareRecordFile(Firmware()));
        return files;
    }

    void ExpectFlashHolds(const FirmwareImage& image)
    {
        for (const FirmwareRecord& record : image.records) {
            ByteVector flashed(record.length);
            line->Radio().State().flash.Read(record.address & ~kFlashAddressBit, record.length, flashed.data());
            EXPECT_EQ(flashed, ByteVector(image.Data(record), image.Data(record) + record.length)) << record.address;
        }
    }

    VirtualClock clock{5000};
    SimBench bench{clock};
    PortRouter router;
    ScopedRuntime runtime{clock, router};
    RecordingFeedback feedback;
    ScopedFeedback scopedFeedback{feedback};
    std::shared_ptr<SimLine> line;
    std::filesystem::path folder;
};

TEST_F(FlashEndToEndTest, BootcodeAndFirmwareAtEveryFlashRate)
{
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        SCOPED_TRACE(rate);
        feedback.Clear();
        CFlashLoader loader(Files(rate), rate, 0);
        ASSERT_TRUE(loader.LoadBootcode(true));
        EXPECT_EQ(line->Radio().Mode(), SimMode::Loader);
        EXPECT_EQ(line->Radio().State().loaderRate, rate);
        ByteVector padded = Bootcode(rate);
        padded.resize(24, 0xFF); // 21 bytes in 3 blocks
        EXPECT_EQ(line->Radio().DownloadedBootcode(), padded);

        ASSERT_TRUE(loader.FlashFirmware());
        ExpectFlashHolds(Firmware());
        EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20133});
        EXPECT_EQ(feedback.Progress().back(), (std::pair<uint32_t, uint32_t>{WM_PROGRESS_POS, 5}));

        // The operator switches back for the next round.
        ShowMessage(kMsgInformation, 20154);
        clock.Sleep(1000);
    }
}

// The shipped sample sources, exported the way the operator does it, then
// downloaded and flashed from the folder as the upgrade finds them.
TEST_F(FlashEndToEndTest, ExportedSampleImages)
{
    std::vector<std::string> sources{kFirmwareSourceName};
    for (const BootcodeNames& names : kBootcodeNames)
        sources.push_back(names.source);
    for (const std::string& name : sources)
        std::filesystem::copy_file(std::filesystem::path(VANTREL_BIN_DIR) / name, folder / name);
    const std::string dir = folder.string() + "/";
    ASSERT_TRUE(SaveFirmwareAsBinary(dir));
    ASSERT_TRUE(SaveBootcodesAsBinary(dir));
    ByteVector file;
    ASSERT_TRUE(ReadWholeFile(dir + kFirmwareRecordFileName, file));
    FirmwareImage firmware;
    ASSERT_EQ(ParseFirmwareRecordFile(file.data(), file.size(), firmware), FirmwareFileError::None);
    ASSERT_FALSE(firmware.records.empty());

    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        SCOPED_TRACE(rate);
        feedback.Clear();
        CFlashLoader loader(CarriedFlashFiles(dir, rate), rate, 0);
        const uint64_t start = clock.NowMs();
        ASSERT_TRUE(loader.LoadBootcode(true));
        EXPECT_EQ(line->Radio().State().loaderRate, rate);
        RecordProperty("bootcode_ms_" + std::to_string(rate), std::to_string(clock.NowMs() - start));
        // The whole sample firmware once (thousands of records); every rate's
        // write pacing is covered by the smaller firmware above.
        if (rate == 38400) {
            const uint64_t loaded = clock.NowMs();
            ASSERT_TRUE(loader.FlashFirmware());
            ExpectFlashHolds(firmware);
            RecordProperty("flashing_ms_" + std::to_string(rate), std::to_string(clock.NowMs() - loaded));
        }
        EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20133});
        ShowMessage(kMsgInformation, 20154);
        clock.Sleep(1000);
    }
}

TEST_F(FlashEndToEndTest, DamagedFirmwareFileLeavesTheOldFirmwareInPlace)
{
    CFlashLoader first(Files(38400), 38400, 0);
    ASSERT_TRUE(first.LoadBootcode(true));
    ASSERT_TRUE(first.FlashFirmware());
    ASSERT_EQ(line->Radio().EraseCount(), 1u);

    FlashFileSet damaged = Files(38400);
    ByteVector file = EncodeFirmwareRecordFile(Firmware());
    file.pop_back();
    damaged.firmwarePath = Write("cut.mot", file);
    CFlashLoader second(damaged, 38400, 0);
    feedback.Clear();
    EXPECT_FALSE(second.FlashFirmware());
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20186});
    EXPECT_EQ(line->Radio().EraseCount(), 1u);
    ExpectFlashHolds(Firmware());
}

TEST_F(FlashEndToEndTest, FailedWriteIsRecoveredByANewBootstrapAndAFullFlashing)
{
    // Loader requests: 1 is the erase, 2 the first record, 3 to 7 every attempt at the second.
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults("nak@msg:3-7", plan, error)) << error;
    line->Radio().SetFaults(plan);
    CFlashLoader loader(Files(115200), 115200, 0);
    ASSERT_TRUE(loader.LoadBootcode(true));
    EXPECT_FALSE(loader.FlashFirmware());
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20133});

    // The retry notice: the operator reconnects the power with the adapter still ON.
    ShowMessage(kMsgWarning, 20159);
    ASSERT_TRUE(loader.LoadBootcode(false));
    ASSERT_TRUE(loader.FlashFirmware());
    EXPECT_EQ(line->Radio().EraseCount(), 2u);
    ExpectFlashHolds(Firmware());
}

TEST_F(FlashEndToEndTest, RadioFaultsEndTheDownloadWithTheirMessages)
{
    const std::vector<std::pair<std::string, uint32_t>> cases{
        {"wrongecho@block:2", 20125},
        {"stuckbreak", 20124},
    };
    for (const auto& [faults, message] : cases) {
        SCOPED_TRACE(faults);
        FaultyBench faulty;
        std::string error;
        ASSERT_TRUE(faulty.bench.SetFaults(faults, error)) << error;
        const FaultyBench::Routed routed(faulty);
        feedback.Clear();
        CFlashLoader loader(Files(38400), 38400, 0);
        EXPECT_FALSE(loader.LoadBootcode(true));
        EXPECT_EQ(feedback.Messages(), (std::vector<uint32_t>{20133, message}));
    }
}

// A USB adapter reports a line held in break once per latency period, not at
// every look: the check that the announcing break has ended looks long enough
// to see a held one come again, and a real announcement still passes.
TEST_F(FlashEndToEndTest, AUsbAdapterStillTellsTheAnnouncementFromALineHeldInBreak)
{
    struct Case {
        bool honoursLowLatency;
        const char* faults;
        std::vector<uint32_t> messages;
    };
    const Case cases[] = {
        {false, "stuckbreak", {20133, 20124}},
        {true, "stuckbreak", {20133, 20124}},
        {false, "", {20133}},
        {true, "", {20133}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.honoursLowLatency ? "low-latency adapter, " : "default-latency adapter, ") +
                     c.faults);
        FaultyBench faulty;
        std::string error;
        ASSERT_TRUE(faulty.bench.SetFaults(c.faults, error)) << error;
        const auto adapterLine = faulty.bench.LineFor("sim", error);
        ASSERT_TRUE(adapterLine) << error;
        SimUsbAdapter adapter;
        adapter.honoursLowLatency = c.honoursLowLatency;
        adapterLine->SetAdapter(adapter);
        const FaultyBench::Routed routed(faulty);
        feedback.Clear();
        CFlashLoader loader(Files(38400), 38400, 0);
        EXPECT_EQ(loader.LoadBootcode(true), c.messages.size() == 1);
        EXPECT_EQ(feedback.Messages(), c.messages);
    }
}

} // namespace
} // namespace vantrel
