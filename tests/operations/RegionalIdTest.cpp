#include "operations/RegionalId.h"

#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/StringTable.h"
#include "support/SimPortRig.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Event = RecordingFeedback::Event;

const Request kReadRegion{kOpReadInfo, {kItemRegionalId}};
const Request kReset{kOpReset, {}};
Request WriteRegion(uint8_t value)
{
    return {kOpWriteInfo, {kWriteItemRegionalId, value}};
}

// What an operation looked like from outside: the message boxes with the
// radio's restarts and the link's port at the moment each was shown.
struct ShownMessage {
    uint32_t id;
    int restartsBefore;
    bool portAttached;
    bool operator==(const ShownMessage&) const = default;
};

class RegionalIdOnSimRadio : public ::testing::Test {
protected:
    void Use(const std::string& profile, const std::string& faults = "")
    {
        // The rig installs itself as the current runtime: the old one goes first.
        RemoveOperatorActionListener(listener);
        shown.clear();
        rig.reset();
        rig = std::make_unique<SimPortRig>(profile, faults);
        listener = AddOperatorActionListener([this](uint32_t id, int) {
            shown.push_back({id, rig->Restarts(), TheRadioLink().Port() != nullptr});
        });
    }
    void TearDown() override { RemoveOperatorActionListener(listener); }

    // The wait cursor was shown and ended around the whole transaction.
    void ExpectWaitCursorBracketed()
    {
        const auto& events = rig->Feedback().Events();
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().type, Event::WaitCursorOn);
        int on = 0, off = 0;
        for (const auto& e : events) {
            on += e.type == Event::WaitCursorOn;
            off += e.type == Event::WaitCursorOff;
        }
        EXPECT_EQ(on, 1);
        EXPECT_EQ(off, 1);
        EXPECT_EQ(TheRadioLink().Port(), nullptr);
    }

    std::unique_ptr<SimPortRig> rig;
    std::vector<ShownMessage> shown;
    int listener = -1;
};

TEST(RegionList, ValuesPositionsAndNames)
{
    for (int position = 0; position < 5; ++position) {
        EXPECT_EQ(RegionValueAt(position), position);
        EXPECT_EQ(RegionPosition(static_cast<uint8_t>(position)), position);
    }
    EXPECT_EQ(RegionValueAt(5), 0xFF);
    EXPECT_EQ(RegionPosition(0xFF), 5);
    for (int value : {0x05, 0x7F, 0xFE})
        EXPECT_EQ(RegionPosition(static_cast<uint8_t>(value)), -1);
    EXPECT_EQ(RegionNameId(0), 20200u);
    EXPECT_EQ(RegionNameId(5), 20205u);
    EXPECT_EQ(RegionNameId(6), 0u);
    EXPECT_EQ(RegionNameId(-1), 0u);
}

TEST_F(RegionalIdOnSimRadio, ReadGivesTheRadioValueAndResetsIt)
{
    Use("no-region");
    const RegionalIdRead read = ReadRegionalId(0);
    EXPECT_EQ(read.outcome, RegionalIdReadOutcome::Valid);
    EXPECT_EQ(read.value, 0xFF);
    EXPECT_EQ(rig->Sent(), RequestBytes({kReadRegion, kReset}));
    EXPECT_EQ(rig->Restarts(), 1);
    EXPECT_TRUE(shown.empty());
    ExpectWaitCursorBracketed();
}

TEST_F(RegionalIdOnSimRadio, ReadOfAValueWithoutListPositionIsStillValid)
{
    Use(kSimDefaultProfile);
    rig->Radio().MutableState().items[kItemRegionalId].value = {0x42};
    const RegionalIdRead read = ReadRegionalId(0);
    EXPECT_EQ(read.outcome, RegionalIdReadOutcome::Valid);
    EXPECT_EQ(read.value, 0x42);
    EXPECT_EQ(RegionPosition(read.value), -1);
}

TEST_F(RegionalIdOnSimRadio, ReadWhenThePortCannotBeOpened)
{
    Use(kSimDefaultProfile);
    rig->HoldPortBusy();
    EXPECT_EQ(ReadRegionalId(0).outcome, RegionalIdReadOutcome::PortOpenFailed);
    EXPECT_EQ(rig->Feedback().Events(), (std::vector<Event>{{Event::PortOpenFailure, 20001, 0, "COM1"}}));
    EXPECT_TRUE(rig->Sent().empty());

    EXPECT_EQ(ReadRegionalId(3).outcome, RegionalIdReadOutcome::PortOpenFailed);
    EXPECT_EQ(rig->Feedback().Events().back().text, "COM4");
}

// The radio did not answer sensibly: 20157 after the port is closed, and no
// reset is sent.
TEST_F(RegionalIdOnSimRadio, ReadCommunicationErrorSendsNoReset)
{
    for (const char* fault : {"silence@1", "badsum@1", "cut@1", "noecho", "unsupported@1"}) {
        SCOPED_TRACE(fault);
        Use(kSimDefaultProfile, fault);
        EXPECT_EQ(ReadRegionalId(0).outcome, RegionalIdReadOutcome::CommunicationError);
        EXPECT_EQ(rig->Sent(), RequestBytes({kReadRegion}));
        EXPECT_EQ(rig->Restarts(), 0);
        EXPECT_EQ(shown, (std::vector<ShownMessage>{{20157, 0, false}}));
        ExpectWaitCursorBracketed();
    }
}

// A reply whose value is not one byte: 20008 while the port is open, then the reset.
TEST_F(RegionalIdOnSimRadio, ReadOfAValueOfAnotherLength)
{
    for (const char* fault : {"short@1", "extra@1"}) {
        SCOPED_TRACE(fault);
        Use(kSimDefaultProfile, fault);
        const RegionalIdRead read = ReadRegionalId(0);
        EXPECT_EQ(read.outcome, RegionalIdReadOutcome::Invalid);
        EXPECT_FALSE(read.refused) << "20008 already says why";
        EXPECT_EQ(rig->Sent(), RequestBytes({kReadRegion, kReset}));
        EXPECT_EQ(rig->Restarts(), 1);
        EXPECT_EQ(shown, (std::vector<ShownMessage>{{20008, 0, true}}));
        EXPECT_EQ(rig->Feedback().Events()[1], (Event{Event::Message, 20008, kMsgError, {}}));
        EXPECT_STRNE(LoadMessageText(20008), "");
        ExpectWaitCursorBracketed();
    }
}

// NAK leaves the link status LinkOk: nothing shown, but the radio is reset.
TEST_F(RegionalIdOnSimRadio, ReadRefusedWithLinkOkResetsSilently)
{
    Use(kSimDefaultProfile, "nak@1");
    const RegionalIdRead read = ReadRegionalId(0);
    EXPECT_EQ(read.outcome, RegionalIdReadOutcome::Invalid);
    EXPECT_TRUE(read.refused);
    EXPECT_EQ(rig->Sent(), RequestBytes({kReadRegion, kReset}));
    EXPECT_EQ(rig->Restarts(), 1);
    EXPECT_TRUE(shown.empty());
    ExpectWaitCursorBracketed();
}

TEST_F(RegionalIdOnSimRadio, ProgramWritesTheValueThenResets)
{
    Use(kSimDefaultProfile);
    EXPECT_EQ(ProgramRegionalId(0, RegionValueAt(3)), RegionalIdWriteOutcome::Programmed);
    EXPECT_EQ(rig->Radio().Region(), 3);
    EXPECT_EQ(rig->Sent(), RequestBytes({WriteRegion(0x03), kReset}));
    EXPECT_EQ(rig->Restarts(), 1);
    // The box comes while the port is open, before the reset.
    EXPECT_EQ(shown, (std::vector<ShownMessage>{{20012, 0, true}}));
    EXPECT_EQ(rig->Feedback().Events()[1], (Event{Event::Message, 20012, kMsgInformation, {}}));
    ExpectWaitCursorBracketed();

    // A second transaction on the same radio reads back what was written.
    const RegionalIdRead read = ReadRegionalId(0);
    EXPECT_EQ(read.outcome, RegionalIdReadOutcome::Valid);
    EXPECT_EQ(read.value, 3);
}

TEST_F(RegionalIdOnSimRadio, ProgramNoRegionSendsFF)
{
    Use(kSimDefaultProfile);
    EXPECT_EQ(ProgramRegionalId(0, RegionValueAt(5)), RegionalIdWriteOutcome::Programmed);
    EXPECT_EQ(rig->Sent(), RequestBytes({WriteRegion(0xFF), kReset}));
    EXPECT_EQ(rig->Radio().Region(), 0xFF);
}

TEST_F(RegionalIdOnSimRadio, ProgramWhenThePortCannotBeOpened)
{
    Use(kSimDefaultProfile);
    rig->HoldPortBusy();
    EXPECT_EQ(ProgramRegionalId(0, 1), RegionalIdWriteOutcome::PortOpenFailed);
    EXPECT_EQ(rig->Feedback().Events(), (std::vector<Event>{{Event::PortOpenFailure, 20001, 0, "COM1"}}));
    EXPECT_TRUE(rig->Sent().empty());
    EXPECT_EQ(rig->Radio().Region(), 1);
}

// Refused, unanswered or garbled: 20013 while the port is open, then the reset
// all the same. A garbled acceptance may have changed the radio; a refusal not.
TEST_F(RegionalIdOnSimRadio, ProgramFailureShows20013AndResets)
{
    struct Case {
        const char* faults;
        uint8_t value;
        uint8_t regionAfter;
    };
    for (const Case c : {Case{"", 0x05, 1}, Case{"nak@1", 0x02, 1}, Case{"silence@1", 0x02, 1},
                         Case{"unsupported@1", 0x02, 1}, Case{"badsum@1", 0x02, 2}}) {
        SCOPED_TRACE(c.faults);
        Use(kSimDefaultProfile, c.faults);
        EXPECT_EQ(ProgramRegionalId(0, c.value), RegionalIdWriteOutcome::Failed);
        EXPECT_EQ(rig->Sent(), RequestBytes({WriteRegion(c.value), kReset}));
        EXPECT_EQ(rig->Restarts(), 1);
        EXPECT_EQ(shown, (std::vector<ShownMessage>{{20013, 0, true}}));
        EXPECT_EQ(rig->Radio().Region(), c.regionAfter);
        ExpectWaitCursorBracketed();
    }
}

} // namespace
} // namespace vantrel
