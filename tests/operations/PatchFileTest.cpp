#include "operations/PatchFile.h"

#include "images/ImageTestSupport.h"
#include "sim/SimProfiles.h"
#include "sim/SimSamplePatch.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr const char* kGood = "# a comment\r\n"
                              "\n"
                              "mendkit-patch 1\n"
                              "name  Squelch fix 2\n"
                              "model H25TVA*\n"
                              "model H25MEQ0A1B\n"
                              "codeplug R03.07.*\n"
                              "set phase3 0 0x5A\n"
                              "set phase3 104 255\n"
                              "\tset phase12 86 0x0f\n";

TEST(PatchFile, ReadsWhatThePatchIsForAndWhatItSets)
{
    PatchDescription patch;
    std::string error;
    ASSERT_TRUE(ParsePatchFile(kGood, patch, error)) << error;
    EXPECT_EQ(patch.name, "Squelch fix 2");
    EXPECT_EQ(patch.phase3, (std::vector<PatchByte>{{0, 0x5A}, {104, 0xFF}}));
    EXPECT_EQ(patch.phase12, (std::vector<PatchByte>{{86, 0x0F}}));

    EXPECT_TRUE(patch.Supports("H25TVA0A1B", "R03.07.00", true));
    EXPECT_TRUE(patch.Supports("H25MEQ0A1B", "R03.07.11", false));
    EXPECT_FALSE(patch.Supports("H25MEQ0A1BX", "R03.07.00", true)) << "a pattern without '*' is exact";
    EXPECT_FALSE(patch.Supports("H25TV", "R03.07.00", true)) << "shorter than the prefix";
    EXPECT_FALSE(patch.Supports("H25TVA0A1B", "R03.06.00", true));
    EXPECT_FALSE(patch.Supports("", "R03.07.00", true)) << "a radio that gives no model number";
    EXPECT_FALSE(patch.Supports("H25TVA0A1B", "", true));

    ASSERT_TRUE(ParsePatchFile("mendkit-patch 1\nmodel *\ncodeplug *\nset phase3 5 1\n", patch, error));
    EXPECT_TRUE(patch.Supports("anything", "R01", true));
    EXPECT_FALSE(patch.Supports("anything", "R01", false)) << "no bytes for Phase 1/2: not supported";
}

TEST(PatchFile, MalformedFilesSayWhereAndWhy)
{
    struct Case {
        std::string text;
        const char* error;
    };
    const std::string head = "mendkit-patch 1\nmodel H25*\ncodeplug R03*\n";
    const std::vector<Case> cases = {
        {"", "missing"},
        {"model H25*\n", "line 1: expected \"mendkit-patch 1\""},
        {"mendkit-patch 2\n", "line 1: patch file version"},
        {head + "set phase3 105 1\n", "line 4: the offset must be 0 to 104"},
        {head + "set phase12 87 1\n", "line 4: the offset must be 0 to 86"},
        {head + "set phase3 1 256\n", "line 4: the value must be 0 to 255"},
        {head + "set phase3 1 0x\n", "line 4: the value"},
        {head + "set phase3 -1 1\n", "line 4: the offset"},
        {head + "set phase3 99999999999 1\n", "line 4: the offset"},
        {head + "set phase3 1 1\nset phase3 0x01 2\n", "line 5: the offset is set twice"},
        {head + "set phase4 1 1\n", "line 4: the generation"},
        {head + "set phase3 1\n", "line 4: expected \"set"},
        {head + "sets phase3 1 1\n", "line 4: unknown keyword"},
        {head + "model H*5\n", "line 4: expected one value"},
        {head + "model\n", "line 4: expected one value"},
        {head + "model " + std::string(40, 'A') + "\n", "line 4"},
        {head + "# " + std::string(300, 'x') + "\n", "line 4: the line is too long"},
        {head, "no \"set\" line"},
        {"mendkit-patch 1\ncodeplug R03*\nset phase3 1 1\n", "no \"model\" line"},
        {"mendkit-patch 1\nmodel H25*\nset phase3 1 1\n", "no \"codeplug\" line"},
        {std::string(20000, '#'), "too large"},
    };
    for (const Case& c : cases) {
        PatchDescription patch;
        patch.name = "untouched";
        std::string error;
        EXPECT_FALSE(ParsePatchFile(c.text, patch, error)) << c.error;
        EXPECT_NE(error.find(c.error), std::string::npos) << "expected \"" << c.error << "\", got \"" << error << "\"";
        EXPECT_EQ(patch.name, "untouched");
    }
}

TEST(PatchFile, TheShippedSampleFitsTheSimulatedRadios)
{
    PatchDescription patch;
    std::string error;
    ASSERT_TRUE(ParsePatchFile(SimSamplePatchText(), patch, error)) << error;
    auto supports = [&](const char* profile, bool phase3) {
        SimRadioConfig config;
        EXPECT_TRUE(MakeSimProfile(profile, config));
        const auto& model = config.state.items[0].value;
        const auto& codeplug = config.state.items[4].value;
        return patch.Supports({model.begin(), model.end()}, {codeplug.begin(), codeplug.end()}, phase3);
    };
    EXPECT_TRUE(supports(kSimDefaultProfile, true));
    EXPECT_TRUE(supports("phase12-r2", false));
    EXPECT_FALSE(supports("unsupported", true));
    EXPECT_FALSE(supports("phase3-r2", true)) << "another codeplug release";

    test::TempFolder folder;
    const std::string text = SimSamplePatchText();
    folder.Write(kPatchFileName, text);
    EXPECT_TRUE(LoadPatchFile(folder.File(kPatchFileName), patch, error)) << error;
    EXPECT_FALSE(LoadPatchFile(folder.File("none.patch"), patch, error));
    EXPECT_NE(error.find("none.patch"), std::string::npos) << error;
}

} // namespace
} // namespace vantrel
