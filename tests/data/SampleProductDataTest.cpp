#include "data/ModelTable.h"
#include "data/ModelTableRules.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace vantrel {
namespace {

// The sample data serve the simulated radio only: a real radio must never be
// taken for a sample model. Every sample model number begins with a prefix no
// real radio reports, and the sample platform identifier, which the lookup
// checks first, is no real radio's either.
TEST(SampleProductData, NoRealRadioCanMatchASampleRow)
{
    if (!IsSampleProductData()) GTEST_SKIP() << "the product data are compiled in";
    const std::string_view prefix = kSampleModelPrefix;
    int filled = 0;
    for (int j = 0; j < kModelTableRows; ++j) {
        const ModelRow& row = ModelTableRow(j);
        if (IsEmptyModelRow(row)) continue;
        ++filled;
        EXPECT_TRUE(std::string_view(row.modelNumber).starts_with(prefix)) << "row " << j << ": " << row.modelNumber;
        // The lookup compares ten characters: a shorter number could not hold
        // the prefix and still name a model.
        EXPECT_EQ(std::string_view(row.modelNumber).size(), 10u) << "row " << j;
    }
    EXPECT_GT(filled, 0);
    const std::string_view platform(reinterpret_cast<const char*>(PlatformIdentifier()), kPlatformIdentifierSize);
    EXPECT_TRUE(platform.starts_with(prefix)) << platform;
}

} // namespace
} // namespace vantrel
