// The layer over the real Windows functions, where no serial hardware is
// needed: opening ports that are not there, the clock, the folders.

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/PortProbe.h"
#include "platform/win32/Win32SerialDevice.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct MissingPortCase {
    const char* label;
    std::string name;
};

class NativeMissingPortTest : public testing::TestWithParam<MissingPortCase> {};

TEST_P(NativeMissingPortTest, IsReportedAsNoSuchPort)
{
    const auto device = MakeWin32SerialDevice(GetParam().name);
    const OpenResult result = device->Open(GetParam().name);
    EXPECT_EQ(result.error, OpenError::NoSuchDevice) << result.message;
    EXPECT_EQ(result.message, "no such port");
    EXPECT_FALSE(device->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Names, NativeMissingPortTest,
                         testing::Values(MissingPortCase{"HighNumber", "COM231"},
                                         MissingPortCase{"DeviceNamespace", "\\\\.\\COM232"},
                                         MissingPortCase{"NoSuchDevice", "VANTRELNOPORT"}),
                         [](const testing::TestParamInfo<MissingPortCase>& info) {
                             return std::string(info.param.label);
                         });

TEST(NativeWin32Test, RealClockSleepsAtLeastItsTimeAndNeverRunsBack)
{
    RealClock clock;
    uint64_t last = clock.NowUs();
    for (const uint32_t ms : {1u, 5u, 12u}) {
        const uint64_t start = clock.NowUs();
        EXPECT_GE(start, last);
        clock.Sleep(ms);
        last = clock.NowUs();
        EXPECT_GE(last - start, uint64_t{ms} * 1000) << ms << " ms";
    }
    EXPECT_EQ(static_cast<uint32_t>(clock.NowMs()), clock.TickCount());
}

TEST(NativeWin32Test, ProgramFolderIsTheExecutablesFolderWithItsSeparator)
{
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(folder + "vantrel_tests.exe"))) << folder;
}

TEST(NativeWin32Test, UserDataFolderLivesInTheLocalApplicationData)
{
    SetUserDataFolder("");
    const std::string folder = UserDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.substr(folder.size() > 9 ? folder.size() - 9 : 0), "\\Vantrel\\");
    EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(folder))) << folder;
}

TEST(NativeWin32Test, EveryListedPortHasAName)
{
    const auto ports = ListSerialPorts();
    for (const SerialPortInfo& port : ports) {
        EXPECT_FALSE(port.path.empty());
        EXPECT_FALSE(port.description.empty()) << port.path << ": a friendly name or at least the device's";
    }
}

} // namespace
} // namespace vantrel
