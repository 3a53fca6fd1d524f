#include "sim/SimStateFile.h"

#include "sim/SimBench.h"
#include "sim/SimRig.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

std::string TempPath(const std::string& name)
{
    const auto dir = std::filesystem::temp_directory_path() / "vantrel-sim-tests";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

SimRadioState SampleState()
{
    SimRadioConfig config;
    MakeSimProfile("partial-info", config);
    SimRadioState state = config.state;
    state.items[kSimItemRegion].value = {3};
    state.eeprom[0x7FFF] = 0x12;
    const uint8_t code[] = {0xDE, 0xAD, 0xBE, 0xEF};
    state.flash.Program(0x0FE, code, 4); // straddles two pages
    state.flash.Program(0x3FFF00, code, 1);
    state.mode = SimMode::Loader;
    state.adapterFlashMode = true;
    state.loaderRate = 38400;
    state.firmwareErased = true;
    return state;
}

void ExpectSameState(const SimRadioState& a, const SimRadioState& b)
{
    for (uint32_t i = 0; i < kSimInfoItems; ++i) {
        EXPECT_EQ(a.items[i].supported, b.items[i].supported) << i;
        EXPECT_EQ(a.items[i].value, b.items[i].value) << i;
    }
    EXPECT_EQ(a.eeprom, b.eeprom);
    EXPECT_EQ(a.flash.Pages(), b.flash.Pages());
    EXPECT_EQ(a.mode, b.mode);
    EXPECT_EQ(a.adapterFlashMode, b.adapterFlashMode);
    EXPECT_EQ(a.loaderRate, b.loaderRate);
    EXPECT_EQ(a.firmwareErased, b.firmwareErased);
}

TEST(SimStateFile, RoundTripKeepsEverythingAndStaysSmall)
{
    const SimRadioState state = SampleState();
    const std::string path = TempPath("round-trip.state");
    std::string error;
    ASSERT_TRUE(SaveSimState(path, "partial-info", state, error)) << error;
    std::string profile;
    SimRadioState loaded;
    ASSERT_TRUE(LoadSimState(path, profile, loaded, error)) << error;
    EXPECT_EQ(profile, "partial-info");
    ExpectSameState(state, loaded);
    // Three programmed flash pages are stored, not four megabytes.
    EXPECT_LT(std::filesystem::file_size(path), 34000u);
}

TEST(SimStateFile, DamagedFilesAreRefusedWithAReason)
{
    const auto good = EncodeSimState("default", SampleState());
    std::string profile, error;
    SimRadioState state;
    // Every truncation, and a flipped bit anywhere.
    for (size_t length = 0; length < good.size(); length += 97) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(length));
        EXPECT_FALSE(DecodeSimState(cut, profile, state, error)) << length;
    }
    for (size_t at = 0; at < good.size(); at += 131) {
        auto flipped = good;
        flipped[at] ^= 0x04;
        error.clear();
        EXPECT_FALSE(DecodeSimState(flipped, profile, state, error)) << at;
        EXPECT_FALSE(error.empty());
    }
    // Intact checksum but impossible contents: an identity item 20.
    auto forged = EncodeSimState("default", SampleState());
    forged.resize(forged.size() - 4);
    const size_t itemsSection = 8 + 4 + 5 + 7; // magic, version, profile section ("default")
    ASSERT_EQ(forged[itemsSection], 2);
    forged[itemsSection + 5] = 20;
    const uint32_t crc = SimStateChecksum(forged.data(), forged.size());
    for (int i = 0; i < 4; ++i)
        forged.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    EXPECT_FALSE(DecodeSimState(forged, profile, state, error));
    EXPECT_NE(error.find("item 20"), std::string::npos) << error;
    // Nothing was taken over from any refused file.
    EXPECT_TRUE(state.flash.IsErased());
    EXPECT_FALSE(LoadSimState(TempPath("does-not-exist.state"), profile, state, error));
}

TEST(SimBench, SuccessiveRunsSeeWhatEarlierRunsWrote)
{
    const std::string path = TempPath("bench.state");
    std::filesystem::remove(path);
    std::string error;
    {
        VirtualClock clock;
        SimBench bench(clock);
        bench.SetStateFile(path);
        auto device = bench.Maker()("sim:no-region");
        ASSERT_TRUE(device->Open("sim:no-region").Ok());
        device->SetReadLimits(ReadLimits{250, 0, 1000});
        const auto request = EncodeMessage(0x18, Bytes({0x04, 0x02}).data(), 2);
        device->Write(request.data(), static_cast<uint32_t>(request.size()));
        std::vector<uint8_t> answer(20);
        EXPECT_EQ(device->Read(answer.data(), 20), 5 + 1 + 4); // echo, ACK, F2 87 00 86
        ASSERT_TRUE(bench.SaveState(error)) << error;
    }
    {
        VirtualClock clock;
        SimBench bench(clock);
        bench.SetStateFile(path);
        // The file decides which radio it is, whatever the target says.
        auto line = bench.LineFor("sim:low-battery", error);
        ASSERT_TRUE(line) << error;
        EXPECT_EQ(line->Radio().Profile(), "no-region");
        EXPECT_EQ(line->Radio().Region(), 2);
    }
    {
        // A damaged file: the port cannot be opened, and the reason says so.
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_TRUE(f);
        std::fseek(f, 100, SEEK_SET);
        const int old = std::fgetc(f);
        std::fseek(f, 100, SEEK_SET);
        std::fputc(old ^ 0xFF, f);
        std::fclose(f);
        VirtualClock clock;
        SimBench bench(clock);
        bench.SetStateFile(path);
        const OpenResult result = bench.Maker()("sim")->Open("sim");
        EXPECT_EQ(result.error, OpenError::NoSuchDevice);
        EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
    }
}

TEST(SimBench, TargetsChooseProfilesAndKeepTheirRadio)
{
    VirtualClock clock;
    SimBench bench(clock);
    std::string error;
    PortRouter router;
    router.SetSimMaker(bench.Maker());
    router.SetSlotTarget(1, "sim:low-battery");
    std::string deviceName;
    auto low = router.CreateDevice("COM2", deviceName);
    ASSERT_TRUE(low);
    EXPECT_EQ(deviceName, "sim:low-battery");
    ASSERT_TRUE(low->Open(deviceName).Ok());
    EXPECT_EQ(bench.LineFor("sim:low-battery", error)->Radio().State().items[kSimItemBattery].value, Bytes({0x01}));
    // The same target twice is the same radio: the second opener is refused.
    auto again = router.CreateDevice("sim:low-battery", deviceName);
    EXPECT_EQ(again->Open(deviceName).error, OpenError::InUse);
    // "sim" is the default radio, a different one.
    EXPECT_TRUE(router.CreateDevice("sim", deviceName)->Open(deviceName).Ok());
    EXPECT_EQ(bench.LineFor("sim", error)->Radio().Profile(), kSimDefaultProfile);
    // An unknown profile names the known ones.
    const OpenResult unknown = router.CreateDevice("sim:nonesuch", deviceName)->Open(deviceName);
    EXPECT_EQ(unknown.error, OpenError::NoSuchDevice);
    EXPECT_NE(unknown.message.find("low-battery"), std::string::npos) << unknown.message;
    EXPECT_FALSE(bench.SetFaults("nak@", error));
}

} // namespace
} // namespace vantrel
