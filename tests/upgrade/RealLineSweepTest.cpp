// Whole upgrades on the bench a technician really has: a machine that stalls
// the program in the middle of a request, a USB adapter with its latency timer
// and jitter. Every run must end as a clean run does, with the radio holding
// the same EEPROM and flash.

#include "images/Export.h"
#include "images/SRecordWriter.h"
#include "upgrade/UpgradeRig.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>

namespace vantrel {
namespace {

constexpr uint32_t kFirmwareRecords = 40;
constexpr uint32_t kRecordBytes = 32;

// A firmware of enough records for a stall at every tenth of them.
void UseLongFirmware(UpgradeRig& rig)
{
    const std::vector<uint8_t> bytes = test::PseudoRandomBytes(kFirmwareRecords * kRecordBytes, 41);
    std::string source;
    AppendSRecordData(source, 0x001000, bytes, kRecordBytes);
    AppendSRecord(source, '9', 0, {});
    rig.program.folder.Write("torva5t.0", source);
    SilentFeedback silent;
    ScopedFeedback scoped(silent);
    ASSERT_TRUE(SaveFirmwareAsBinary(rig.program.Path()));
    rig.program.firmware = {{0x001000, bytes}};
}

struct RadioContents {
    std::vector<uint8_t> eeprom;
    std::map<uint32_t, SimFlash::Page> flash;
    uint32_t firstFlashWrite = 0; // the request number of the first firmware record
};

RadioContents CleanRun(uint32_t rate)
{
    static std::map<uint32_t, RadioContents> runs;
    if (const auto it = runs.find(rate); it != runs.end()) return it->second;
    UpgradeRig rig("phase12-r2");
    UseLongFirmware(rig);
    rig.settings.flashRate = rate;
    EXPECT_EQ(rig.Run().outcome, UpgradeOutcome::Succeeded);
    EXPECT_TRUE(rig.FlashHoldsFirmware());
    RadioContents clean{rig.Radio().State().eeprom, rig.Radio().State().flash.Pages(), 0};
    const auto& requests = rig.Radio().Requests();
    for (size_t i = 0; i < requests.size() && clean.firstFlashWrite == 0; ++i) {
        const RadioRequest r = DecodeRadioRequest(requests[i]);
        if (r.opcode == 0x17 && (r.address & 0x400000) != 0) clean.firstFlashWrite = static_cast<uint32_t>(i + 1);
    }
    runs.emplace(rate, clean);
    return clean;
}

enum class Adapter { Native, LowLatency, DefaultLatency };

struct SweepCase {
    uint32_t rate;
    uint32_t stallMs; // 0: none
    Adapter adapter;
    uint32_t jitterUs;
};

std::string SweepName(const ::testing::TestParamInfo<SweepCase>& info)
{
    const SweepCase& c = info.param;
    std::string name = std::to_string(c.rate) + "Bd";
    if (c.stallMs != 0) name += "_Stall" + std::to_string(c.stallMs) + "msEveryTenthRecord";
    if (c.adapter == Adapter::LowLatency) name += "_LowLatencyAdapter";
    if (c.adapter == Adapter::DefaultLatency) name += "_DefaultLatencyAdapter";
    if (c.jitterUs != 0) name += "_Jitter" + std::to_string(c.jitterUs) + "us";
    return name;
}

class RealLineSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(RealLineSweep, UpgradeEndsLikeACleanRun)
{
    const SweepCase& c = GetParam();
    const RadioContents clean = CleanRun(c.rate);
    ASSERT_NE(clean.firstFlashWrite, 0u);
    std::string faults;
    if (c.stallMs != 0) {
        // In the middle of the address, of every tenth firmware record.
        const uint32_t last = clean.firstFlashWrite + kFirmwareRecords - 1;
        faults = "stall:" + std::to_string(c.stallMs) + ":6@msg:" + std::to_string(clean.firstFlashWrite) + "-" +
                 std::to_string(last) + "/10";
    }
    UpgradeRig rig("phase12-r2", faults);
    UseLongFirmware(rig);
    rig.settings.flashRate = c.rate;
    if (c.adapter != Adapter::Native) {
        SimUsbAdapter adapter;
        adapter.honoursLowLatency = c.adapter == Adapter::LowLatency;
        adapter.jitterUs = c.jitterUs;
        rig.line->SetAdapter(adapter);
    }

    const UpgradeResult result = rig.Run();
    EXPECT_EQ(result.outcome, UpgradeOutcome::Succeeded);
    ASSERT_FALSE(rig.feedback.Messages().empty());
    EXPECT_EQ(rig.feedback.Messages().back(), 20154u);
    EXPECT_EQ(rig.feedback.Messages(), std::vector<uint32_t>({20133, 20154})) << "no failed step on the way";
    EXPECT_EQ(rig.Radio().State().eeprom, clean.eeprom);
    EXPECT_TRUE(rig.Radio().State().flash.Pages() == clean.flash);
}

std::vector<SweepCase> SweepCases()
{
    std::vector<SweepCase> cases;
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        for (uint32_t stall : {50u, 150u, 500u})
            cases.push_back({rate, stall, Adapter::Native, 0});
        cases.push_back({rate, 0, Adapter::LowLatency, 2000});
        cases.push_back({rate, 0, Adapter::DefaultLatency, 2000});
        cases.push_back({rate, 150, Adapter::DefaultLatency, 2000});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Bench, RealLineSweep, ::testing::ValuesIn(SweepCases()), SweepName);

} // namespace
} // namespace vantrel
