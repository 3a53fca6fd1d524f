#include "support/TestSimRadio.h"

#include "sim/SimFaults.h"
#include "sim/SimProfiles.h"

#include <gtest/gtest.h>

namespace vantrel {

std::unique_ptr<SimRadio> MakeTestSimRadio(const std::string& profile, const std::string& faults)
{
    SimRadioConfig config;
    EXPECT_TRUE(MakeSimProfile(profile, config)) << profile;
    auto radio = std::make_unique<SimRadio>(std::move(config));
    SimFaultPlan plan;
    std::string error;
    EXPECT_TRUE(ParseSimFaults(faults, plan, error)) << error;
    radio->SetFaults(plan);
    return radio;
}

} // namespace vantrel
