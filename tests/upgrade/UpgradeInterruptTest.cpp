// An upgrade the operator stops (Ctrl+C, a terminate signal) ends at the next
// request it would send: nothing reaches the radio after the stop, the port is
// closed, and the result tells how far the run got.

#include "platform/StopRequest.h"
#include "upgrade/UpgradeRig.h"

#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

struct StopCase {
    const char* name;
    const char* radioSays; // the radio's log line at which the operator stops the run
    UpgradeStage stage;
    bool eepromAsBefore; // apart from the marker and the tag byte
    uint32_t erases;
};

class UpgradeInterrupt : public ::testing::TestWithParam<StopCase> {};

TEST_P(UpgradeInterrupt, StopsBeforeTheNextRequestAndTellsTheStage)
{
    const StopCase& c = GetParam();
    UpgradeRig rig("phase12-r2");
    size_t requestsAtStop = 0;
    rig.Radio().SetLog([&](const std::string& line) {
        if (line.rfind(c.radioSays, 0) == 0 && !StopRequested()) {
            RequestStop();
            requestsAtStop = rig.Radio().Requests().size();
        }
    });
    const UpgradeResult result = rig.Run();
    const bool stopped = StopRequested();
    ClearStopRequest();
    ASSERT_TRUE(stopped) << "the radio never said \"" << c.radioSays << "\"";

    EXPECT_EQ(result.outcome, UpgradeOutcome::Failed);
    EXPECT_EQ(result.stage, c.stage);
    EXPECT_EQ(rig.Radio().Requests().size(), requestsAtStop) << "a request went out after the stop";
    EXPECT_FALSE(rig.line->HostOpen()) << "the port is closed";
    EXPECT_EQ(rig.Radio().EraseCount(), c.erases);
    if (c.eepromAsBefore) {
        std::vector<uint8_t> eeprom = rig.Radio().State().eeprom;
        std::vector<uint8_t> before = rig.eepromBefore;
        for (uint32_t address : {555u, 683u, 0x3FF0u})
            eeprom[address] = before[address] = 0;
        EXPECT_EQ(eeprom, before);
    }
    // Nothing is asked of the operator once the run is stopping but whether to go on.
    for (uint32_t id : rig.feedback.Messages())
        EXPECT_NE(id, 20153u);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, UpgradeInterrupt,
    ::testing::Values(StopCase{"WhileEnteringBootstrapMode", "bootstrap mode", UpgradeStage::Bootstrap, true, 0},
                      StopCase{"OnceTheLoaderRuns", "loader running", UpgradeStage::Bootstrap, true, 0},
                      StopCase{"DuringTheErase", "erasing flash", UpgradeStage::Flashing, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
