#include "sim/SimProfiles.h"

#include "codeplug/CodeplugValidator.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

uint8_t ByteSum(const std::vector<uint8_t>& e, uint32_t start, uint32_t length)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; i < length; ++i)
        sum = static_cast<uint8_t>(sum + e[start + i]);
    return sum;
}

TEST(SimProfiles, EveryProfileIsAConsistentRadio)
{
    const auto names = SimProfileNames();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names.front(), kSimDefaultProfile);
    for (const auto& name : names) {
        SimRadioConfig config;
        ASSERT_TRUE(MakeSimProfile(name, config)) << name;
        const auto& s = config.state;
        ASSERT_EQ(s.eeprom.size(), kSimEepromSize) << name;
        const uint32_t hw = (s.eeprom[0] << 8) | s.eeprom[1];
        ASSERT_TRUE(hw == 512 || hw == 640) << name;
        // Every hardware block carries 0x5A minus the sum of its other bytes.
        const uint32_t phase3[] = {4, 21, 123, 229, 310, 508, 545, 640};
        const uint32_t phase12[] = {4, 21, 117, 205, 285, 438, 475, 512};
        const uint32_t* edges = hw == 640 ? phase3 : phase12;
        for (int b = 0; b < 7; ++b) {
            const uint32_t length = edges[b + 1] - edges[b];
            EXPECT_EQ(s.eeprom[edges[b] + length - 1],
                      static_cast<uint8_t>(0x5A - ByteSum(s.eeprom, edges[b], length - 1)))
                << name << " block " << b + 1;
        }
        // Release 3 firmware keeps the new application layout with the marker
        // set; older firmware the old layout, with the marker below 127.
        const bool release3 = s.items[3].value.at(2) == '3';
        const ApplicationLayout layout = release3 ? ApplicationLayout::New : ApplicationLayout::Old;
        EXPECT_EQ(ValidateCodeplugImage(s.eeprom, layout), CodeplugProblems{}) << name;
        EXPECT_EQ(s.eeprom[hw == 640 ? 683 : 555] >= 127, release3) << name << ": marker";
        EXPECT_EQ(s.items[2].value.size(), 5u) << name << ": ESN";
        if (!name.starts_with("platform-")) {
            EXPECT_EQ(s.items[15].value.size(), 16u) << name << ": platform identifier";
        }
        EXPECT_EQ(s.mode, SimMode::Normal);
    }
    SimRadioConfig config;
    EXPECT_FALSE(MakeSimProfile("nonesuch", config));
    ASSERT_TRUE(MakeSimProfile("low-battery", config));
    EXPECT_NE(config.state.items[kSimItemBattery].value.at(0), 0);
    ASSERT_TRUE(MakeSimProfile("partial-info", config));
    EXPECT_FALSE(config.state.items[10].supported);
    EXPECT_TRUE(config.state.items[0].supported);
}

} // namespace
} // namespace vantrel
