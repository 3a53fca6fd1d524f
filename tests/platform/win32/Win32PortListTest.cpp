// The Windows port list from the system's serial-port map and friendly names.

#include "platform/win32/Win32PortList.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct PortListCase {
    const char* label;
    std::vector<SystemSerialPort> map;
    std::map<std::string, std::string> friendly;
    std::vector<std::pair<std::string, std::string>> listed; // path, description
};

class Win32PortListTest : public testing::TestWithParam<PortListCase> {};

TEST_P(Win32PortListTest, ListsEachPortOnceInNumberOrder)
{
    std::vector<std::pair<std::string, std::string>> listed;
    for (const SerialPortInfo& port : Win32SerialPortList(GetParam().map, GetParam().friendly)) {
        EXPECT_TRUE(port.byIdPath.empty());
        listed.emplace_back(port.path, port.description);
    }
    EXPECT_EQ(listed, GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, Win32PortListTest,
    testing::Values(
        PortListCase{"Empty", {}, {}, {}},
        PortListCase{"NumbersNotText",
                     {{"\\Device\\VCP0", "COM10"}, {"\\Device\\Serial1", "COM2"}, {"\\Device\\Serial0", "COM1"}},
                     {},
                     {{"COM1", "\\Device\\Serial0"}, {"COM2", "\\Device\\Serial1"}, {"COM10", "\\Device\\VCP0"}}},
        PortListCase{"FriendlyNamesWithoutTheirPortSuffix",
                     {{"\\Device\\VCP0", "COM3"}, {"\\Device\\Serial0", "COM1"}},
                     {{"COM3", "USB Serial Port (COM3)"}, {"COM1", "Communications Port (COM1)"}},
                     {{"COM1", "Communications Port"}, {"COM3", "USB Serial Port"}}},
        PortListCase{"SuffixOfAnotherPortStays",
                     {{"\\Device\\VCP0", "COM3"}},
                     {{"COM3", "Adapter (COM4)"}},
                     {{"COM3", "Adapter (COM4)"}}},
        PortListCase{"CaseOfTheNameDoesNotMatter",
                     {{"\\Device\\VCP0", "com5"}, {"\\Device\\VCP1", "COM5"}},
                     {{"COM5", "Prolific USB-to-Serial Comm Port (COM5)"}},
                     {{"com5", "Prolific USB-to-Serial Comm Port"}}},
        PortListCase{
            "OtherNamesAfterTheComPorts",
            {{"\\Device\\com0com10", "CNCB0"},
             {"\\Device\\com0com11", "CNCA0"},
             {"\\Device\\Serial0", "COM1"},
             {"\\Device\\Odd", ""}},
            {},
            {{"COM1", "\\Device\\Serial0"}, {"CNCA0", "\\Device\\com0com11"}, {"CNCB0", "\\Device\\com0com10"}}},
        PortListCase{"NotQuiteComNumbers",
                     {{"\\Device\\A", "COMX"}, {"\\Device\\B", "COM"}, {"\\Device\\C", "COM4"}},
                     {},
                     {{"COM4", "\\Device\\C"}, {"COM", "\\Device\\B"}, {"COMX", "\\Device\\A"}}}),
    [](const testing::TestParamInfo<PortListCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace vantrel
