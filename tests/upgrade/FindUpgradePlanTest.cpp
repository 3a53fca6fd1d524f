#include "upgrade/FindUpgradePlan.h"

#include "data/ModelTable.h"
#include "data/ModelTableRules.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "support/SimPortRig.h"

#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

constexpr UpgradePlan kNo{};
constexpr UpgradePlan kFull{1, 1, 1, 1};
constexpr UpgradePlan kKeepApp{1, 1, 0, 1};

Request ReadItem(uint8_t item)
{
    return {kOpReadInfo, {item}};
}
const Request kIc = ReadItem(kItemIcVersions);
const Request kPlatform = ReadItem(kItemPlatformIdentifier);
const Request kModel = ReadItem(kItemModelNumber);
const Request kPart = ReadItem(kItemCodeplugPartNumber);
const Request kVersion = ReadItem(kItemSoftwareVersion);

// The lookup runs inside an operation that holds the port open at 9600 Bd.
class PlanOnSimRadio : public ::testing::Test {
protected:
    void Use(const std::string& profile, const std::string& faults = "")
    {
        rig.reset();
        rig = std::make_unique<SimPortRig>(profile, faults);
    }

    UpgradeLookup Lookup()
    {
        CSerialPort port;
        EXPECT_TRUE(port.Open("COM1", 9600));
        TheRadioLink().Attach(&port);
        const UpgradeLookup lookup = FindUpgradePlan();
        TheRadioLink().Attach(nullptr);
        TheRadioLink().TakeStatus();
        return lookup;
    }

    std::string Item(uint8_t item)
    {
        const auto& value = rig->Radio().State().items[item].value;
        return {value.begin(), value.end()};
    }
    void SetItem(uint8_t item, const std::string& text)
    {
        rig->Radio().MutableState().items[item].value.assign(text.begin(), text.end());
    }

    // The row of the radio's model carrying the key; -1 when there is none.
    int RowOf(const std::string& key)
    {
        const std::string model = Item(kItemModelNumber);
        for (int j = 0; j < kModelTableRows; ++j) {
            if (model == ModelTableRow(j).modelNumber && key == ModelTableRow(j).codeplugKey) return j;
        }
        return -1;
    }

    void ExpectMatched(const UpgradeLookup& lookup, int row, const UpgradePlan& plan)
    {
        ASSERT_GE(row, 0);
        EXPECT_EQ(lookup.modelRow, row);
        EXPECT_EQ(lookup.column, row % kModelColumns);
        EXPECT_EQ(lookup.plan, plan);
        EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform, kModel, kPart, kVersion}));
    }

    void ExpectNoModel(const UpgradeLookup& lookup)
    {
        EXPECT_EQ(lookup.plan, kNo);
        EXPECT_EQ(lookup.modelRow, -1);
        EXPECT_EQ(lookup.column, -1);
    }

    std::unique_ptr<SimPortRig> rig;
};

TEST_F(PlanOnSimRadio, RadioMatchedByItsPartNumber)
{
    Use(kSimDefaultProfile);
    const UpgradeLookup lookup = Lookup();
    ExpectMatched(lookup, RowOf(Item(kItemCodeplugPartNumber)), kKeepApp);
    EXPECT_FALSE(IsCatchAllKey(ModelTableRow(lookup.modelRow).codeplugKey));
    // The lookup only reads: the radio is neither reset nor changed.
    EXPECT_EQ(rig->Restarts(), 0);
}

TEST_F(PlanOnSimRadio, RadiosMatchedByDefaultKeyOrWildcards)
{
    Use("default-key");
    ExpectMatched(Lookup(), RowOf(std::string(kTorvaDefaultKey)), kKeepApp);
    Use("meq");
    ExpectMatched(Lookup(), RowOf(std::string(kMeqDefaultKey)), kKeepApp);
    Use("wildcard");
    ExpectMatched(Lookup(), RowOf(std::string(kWildcardKey)), kKeepApp);
}

TEST_F(PlanOnSimRadio, PlanFollowsTheFirmwareVersion)
{
    Use("phase12-r1");
    ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kFull);
    Use("r03-04-00");
    ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kKeepApp);

    // Only the first nine characters of the version count.
    Use(kSimDefaultProfile);
    SetItem(kItemSoftwareVersion, "R02.00.18 special build");
    ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kFull);

    // A release the table does not know: the model row is found, the plan is empty.
    Use(kSimDefaultProfile);
    SetItem(kItemSoftwareVersion, "R03.09.00");
    ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kNo);
    Use(kSimDefaultProfile);
    SetItem(kItemSoftwareVersion, "R03.08");
    ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kNo);
}

// The platform decides which default key a radio's part number is read with:
// a MEQ radio whose item 14 fails, or says nothing about byte 1, is TORVA and
// so no longer matches its model's "MEQ_DEF***" row.
TEST_F(PlanOnSimRadio, FailedOrShortItem14CountsAsTorva)
{
    for (const char* fault : {"nak@1", "unsupported@1", "silence@1"}) {
        SCOPED_TRACE(fault);
        Use("meq", fault);
        ExpectNoModel(Lookup());
        EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform, kModel, kPart}));

        Use(kSimDefaultProfile, fault);
        ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kKeepApp);
    }
    Use("meq");
    rig->Radio().MutableState().items[kItemIcVersions].value = {0xFE};
    ExpectNoModel(Lookup());
}

TEST_F(PlanOnSimRadio, PlatformIdentifierMustBeExactly16MatchingBytes)
{
    for (const char* profile : {"platform-15", "platform-17"}) {
        SCOPED_TRACE(profile);
        Use(profile);
        ExpectNoModel(Lookup());
        EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform}));
    }
    Use(kSimDefaultProfile);
    rig->Radio().MutableState().items[kItemPlatformIdentifier].value.back() ^= 0x01;
    ExpectNoModel(Lookup());
    Use(kSimDefaultProfile, "nak@2");
    ExpectNoModel(Lookup());
    EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform}));
}

TEST_F(PlanOnSimRadio, UnknownModelIsNotSupported)
{
    Use("unsupported");
    ExpectNoModel(Lookup());
    EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform, kModel, kPart}));

    // An empty model number and part number never meet an empty row.
    Use(kSimDefaultProfile);
    SetItem(kItemModelNumber, "");
    SetItem(kItemCodeplugPartNumber, "");
    ExpectNoModel(Lookup());
}

TEST_F(PlanOnSimRadio, FailedItemReadEndsTheLookup)
{
    Use(kSimDefaultProfile, "nak@3");
    ExpectNoModel(Lookup());
    EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform, kModel}));
    Use(kSimDefaultProfile, "nak@4");
    ExpectNoModel(Lookup());
    EXPECT_EQ(rig->Sent(), RequestBytes({kIc, kPlatform, kModel, kPart}));
    // The version read fails after the model row matched: row and column stay set.
    Use(kSimDefaultProfile, "nak@5");
    ExpectMatched(Lookup(), RowOf(Item(kItemCodeplugPartNumber)), kNo);
}

} // namespace
} // namespace vantrel
