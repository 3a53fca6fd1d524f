// What the Windows backend makes of names, error codes, read limits and line
// settings. Plain code: these run on every platform.

#include "platform/win32/Win32SerialDevice.h"

#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct PathCase {
    const char* label;
    std::string name;
    std::string path;
};

class DevicePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(DevicePathTest, BareNamesGoIntoTheDeviceNamespace)
{
    EXPECT_EQ(Win32DevicePath(GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Names, DevicePathTest,
                         testing::Values(PathCase{"LowPort", "COM1", "\\\\.\\COM1"},
                                         // COM10 and above are reachable only this way.
                                         PathCase{"TwoDigitPort", "COM12", "\\\\.\\COM12"},
                                         PathCase{"ThreeDigitPort", "COM256", "\\\\.\\COM256"},
                                         PathCase{"LowerCase", "com3", "\\\\.\\com3"},
                                         PathCase{"VirtualPortPairName", "CNCA0", "\\\\.\\CNCA0"},
                                         PathCase{"AlreadyInTheDeviceNamespace", "\\\\.\\COM7", "\\\\.\\COM7"},
                                         PathCase{"InterfacePath", "\\\\?\\usb#vid_0403&pid_6001#A1#{86e0d1e0}",
                                                  "\\\\?\\usb#vid_0403&pid_6001#A1#{86e0d1e0}"},
                                         PathCase{"ForwardSlashes", "//./COM4", "//./COM4"}, PathCase{"Empty", "", ""}),
                         [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.label); });

struct OpenErrorCase {
    const char* label;
    uint32_t code;
    OpenError error;
    std::string message;
};

class OpenFailureTest : public testing::TestWithParam<OpenErrorCase> {};

TEST_P(OpenFailureTest, SystemErrorsBecomeTheirCause)
{
    const OpenResult result = Win32OpenFailure(GetParam().code);
    EXPECT_EQ(result.error, GetParam().error);
    EXPECT_EQ(result.message, GetParam().message);
    EXPECT_FALSE(result.Ok());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OpenFailureTest,
    testing::Values(
        OpenErrorCase{"FileNotFound", comm::kErrorFileNotFound, OpenError::NoSuchDevice, "no such port"},
        OpenErrorCase{"PathNotFound", comm::kErrorPathNotFound, OpenError::NoSuchDevice, "no such port"},
        OpenErrorCase{"InvalidName", comm::kErrorInvalidName, OpenError::NoSuchDevice, "no such port"},
        OpenErrorCase{"DeviceGone", comm::kErrorDevNotExist, OpenError::NoSuchDevice, "no such port"},
        OpenErrorCase{"NotConnected", comm::kErrorDeviceNotConnected, OpenError::NoSuchDevice, "no such port"},
        OpenErrorCase{"SharingViolation", comm::kErrorSharingViolation, OpenError::InUse, "in use by another program"},
        OpenErrorCase{"AccessDenied", comm::kErrorAccessDenied, OpenError::InUse,
                      "in use by another program, or access denied"},
        OpenErrorCase{"DeviceNotWorking", comm::kErrorGenFailure, OpenError::Other,
                      "the port refused to open (the device does not respond)"},
        OpenErrorCase{"NotReady", comm::kErrorNotReady, OpenError::Other,
                      "the port refused to open (the device does not respond)"},
        OpenErrorCase{"Unknown", 1234, OpenError::Other, "the port refused to open (system error 1234)"}),
    [](const testing::TestParamInfo<OpenErrorCase>& info) { return std::string(info.param.label); });

struct TimeoutCase {
    const char* label;
    ReadLimits limits;
    uint32_t interval, multiplier, constant;
};

class TimeoutsTest : public testing::TestWithParam<TimeoutCase> {};

TEST_P(TimeoutsTest, ReadLimitsAreTheCommunicationTimeOuts)
{
    const CommTimeouts t = Win32Timeouts(GetParam().limits);
    EXPECT_EQ(t.readInterval, GetParam().interval);
    EXPECT_EQ(t.readTotalMultiplier, GetParam().multiplier);
    EXPECT_EQ(t.readTotalConstant, GetParam().constant);
    // Writes always end: 5 s more than 1 KiB takes at 2400 Bd (4.2 ms a byte).
    EXPECT_GT(t.writeTotalMultiplier, 0u);
    EXPECT_GT(t.writeTotalConstant + 1024 * t.writeTotalMultiplier, 1024 * 10'000u / 2400 + 5000);
}

INSTANTIATE_TEST_SUITE_P(Limits, TimeoutsTest,
                         testing::Values(TimeoutCase{"TheLinksLimits", {250, 0, 1000}, 250, 0, 1000},
                                         TimeoutCase{"NoLimitBlocks", {0, 0, 0}, 0, 0, 0},
                                         TimeoutCase{"ReturnAtOnce", {UINT32_MAX, 0, 0}, UINT32_MAX, 0, 0},
                                         TimeoutCase{"PerByte", {0, 10, 100}, 0, 10, 100}),
                         [](const testing::TestParamInfo<TimeoutCase>& info) { return std::string(info.param.label); });

// One line setting and the device-control block field it must reach.
struct SettingCase {
    const char* label;
    std::function<void(LineSettings&)> change;
    std::function<bool(const CommState&)> applied;
};

class SettingsToStateTest : public testing::TestWithParam<SettingCase> {};

TEST_P(SettingsToStateTest, EachSettingReachesItsFieldAndComesBack)
{
    CommState plain;
    ASSERT_TRUE(Win32StateFromSettings(LineSettings{}, plain));
    EXPECT_FALSE(GetParam().applied(plain)) << "the default settings must not already show the change";

    LineSettings changed;
    GetParam().change(changed);
    CommState state;
    ASSERT_TRUE(Win32StateFromSettings(changed, state));
    EXPECT_TRUE(GetParam().applied(state));

    LineSettings back;
    ASSERT_TRUE(Win32SettingsFromState(state, back));
    CommState again;
    ASSERT_TRUE(Win32StateFromSettings(back, again));
    EXPECT_TRUE(GetParam().applied(again)) << "reading the block back loses the setting";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SettingsToStateTest,
    testing::Values(SettingCase{"Rate", [](LineSettings& s) { s.baudRate = 115200; },
                                [](const CommState& c) { return c.baudRate == 115200; }},
                    SettingCase{"SevenDataBits", [](LineSettings& s) { s.dataBits = 7; },
                                [](const CommState& c) { return c.byteSize == 7; }},
                    SettingCase{"OddParity", [](LineSettings& s) { s.parity = Parity::Odd; },
                                [](const CommState& c) { return c.parity == comm::kOddParity && c.parityCheck; }},
                    SettingCase{"EvenParity", [](LineSettings& s) { s.parity = Parity::Even; },
                                [](const CommState& c) { return c.parity == comm::kEvenParity && c.parityCheck; }},
                    SettingCase{"TwoStopBits", [](LineSettings& s) { s.stopBits = 2; },
                                [](const CommState& c) { return c.stopBits == comm::kTwoStopBits; }},
                    SettingCase{"CtsFlow", [](LineSettings& s) { s.ctsOutFlow = true; },
                                [](const CommState& c) { return c.outxCtsFlow; }},
                    SettingCase{"DsrFlow", [](LineSettings& s) { s.dsrOutFlow = true; },
                                [](const CommState& c) { return c.outxDsrFlow; }},
                    SettingCase{"DsrSensitivity", [](LineSettings& s) { s.dsrSensitivity = true; },
                                [](const CommState& c) { return c.dsrSensitivity; }},
                    SettingCase{"DtrOn", [](LineSettings& s) { s.dtrOn = true; },
                                [](const CommState& c) { return c.dtrControl == comm::kDtrControlEnable; }},
                    SettingCase{"RtsOn", [](LineSettings& s) { s.rtsOn = true; },
                                [](const CommState& c) { return c.rtsControl == comm::kRtsControlEnable; }},
                    SettingCase{"XonXoffOut", [](LineSettings& s) { s.xonXoffOut = true; },
                                [](const CommState& c) { return c.outX; }},
                    SettingCase{"XonXoffIn", [](LineSettings& s) { s.xonXoffIn = true; },
                                [](const CommState& c) { return c.inX; }},
                    SettingCase{"StopAfterXoff", [](LineSettings& s) { s.txContinueOnXoff = false; },
                                [](const CommState& c) { return !c.txContinueOnXoff; }},
                    SettingCase{"ErrorReplace", [](LineSettings& s) { s.errorReplace = true; },
                                [](const CommState& c) { return c.errorChar; }},
                    SettingCase{"NullStrip", [](LineSettings& s) { s.nullStrip = true; },
                                [](const CommState& c) { return c.nullStrip; }},
                    SettingCase{"AbortOnError", [](LineSettings& s) { s.abortOnError = true; },
                                [](const CommState& c) { return c.abortOnError; }}),
    [](const testing::TestParamInfo<SettingCase>& info) { return std::string(info.param.label); });

TEST(Win32LineSettingsTest, TheLinksSettingsAreARawEightNOneLine)
{
    // What the port applies at every rate, from a driver left with anything.
    CommState state;
    state.parity = comm::kEvenParity;
    state.parityCheck = true;
    state.outX = state.inX = true;
    state.dtrControl = 2; // handshake
    state.rtsControl = 3; // toggle
    state.byteSize = 7;
    LineSettings link;
    link.baudRate = 2400;
    ASSERT_TRUE(Win32StateFromSettings(link, state));
    EXPECT_EQ(state.baudRate, 2400u);
    EXPECT_EQ(state.byteSize, 8);
    EXPECT_EQ(state.parity, comm::kNoParity);
    EXPECT_FALSE(state.parityCheck);
    EXPECT_EQ(state.stopBits, comm::kOneStopBit);
    EXPECT_TRUE(state.binary);
    EXPECT_FALSE(state.outxCtsFlow || state.outxDsrFlow || state.dsrSensitivity || state.outX || state.inX);
    EXPECT_EQ(state.dtrControl, comm::kDtrControlDisable);
    EXPECT_EQ(state.rtsControl, comm::kRtsControlDisable);
    EXPECT_TRUE(state.txContinueOnXoff);
    EXPECT_FALSE(state.errorChar || state.nullStrip || state.abortOnError);
}

TEST(Win32LineSettingsTest, WhatTheBlockCannotCarryIsRefusedUntouched)
{
    const std::vector<std::pair<const char*, std::function<void(LineSettings&)>>> refused = {
        {"no rate", [](LineSettings& s) { s.baudRate = 0; }},
        {"four data bits", [](LineSettings& s) { s.dataBits = 4; }},
        {"nine data bits", [](LineSettings& s) { s.dataBits = 9; }},
        {"three stop bits", [](LineSettings& s) { s.stopBits = 3; }},
        {"no stop bit", [](LineSettings& s) { s.stopBits = 0; }},
    };
    for (const auto& [label, change] : refused) {
        SCOPED_TRACE(label);
        LineSettings s;
        change(s);
        CommState state;
        state.baudRate = 4800;
        EXPECT_FALSE(Win32StateFromSettings(s, state));
        EXPECT_EQ(state.baudRate, 4800u) << "a refused change must leave the block as it was";
    }

    // The other way: driver states the settings have no words for.
    CommState mark;
    mark.parity = 3;
    CommState oneAndAHalf;
    oneAndAHalf.byteSize = 5;
    oneAndAHalf.stopBits = comm::kOne5StopBits;
    CommState wide;
    wide.byteSize = 16;
    for (const CommState& state : {mark, oneAndAHalf, wide}) {
        LineSettings s;
        s.baudRate = 1234;
        EXPECT_FALSE(Win32SettingsFromState(state, s));
        EXPECT_EQ(s.baudRate, 1234u);
    }
}

TEST(Win32LineErrorsTest, OnlyLineErrorsPassAndBreakIsTheLinksFlag)
{
    EXPECT_EQ(Win32LineErrors(comm::kCeBreak), kLineErrorBreak);
    EXPECT_EQ(Win32LineErrors(comm::kCeBreak | comm::kCeFrame | comm::kCeOverrun),
              kLineErrorBreak | comm::kCeFrame | comm::kCeOverrun);
    // Transmit-queue full (0x100) and the mode error (0x8000) are no line errors.
    EXPECT_EQ(Win32LineErrors(0x0100 | 0x8000), 0u);
    EXPECT_EQ(Win32LineErrors(0x8000 | comm::kCeRxParity), comm::kCeRxParity);
}

} // namespace
} // namespace vantrel
