#include <gtest/gtest.h>

#include <cctype>

#include "link/SerialPort.h"
#include "operations/RadioInfo.h"
#include "support/SimulatedRadio.h"

namespace vantrel {
namespace {

using Event = RecordingFeedback::Event;

// The profiles take their model numbers from the model table.
std::string ModelOf(SimulatedRadio& sim)
{
    const auto& value = sim.Radio().State().items[0].value;
    return {value.begin(), value.end()};
}

TEST(RadioInfoTest, ReadsTheTenFieldsAndResetsTheRadio)
{
    SimulatedRadio sim("default");
    const RadioInfoResult result = ReadRadioInfo(0);
    ASSERT_EQ(result.outcome, RadioInfoOutcome::Ok);
    EXPECT_EQ(result.fields.modelNumber, ModelOf(sim));
    EXPECT_EQ(result.fields.softwareVersion, "R03.07.05");
    EXPECT_EQ(result.fields.regionalId, "North America");
    EXPECT_FALSE(result.fields.esn.empty());
    EXPECT_NE(result.fields.esn, "?");
    EXPECT_FALSE(result.fields.icVersions.empty());
    // Items in the dialog's order, then the reset.
    const std::vector<uint8_t> expected{0x23, 0x23, 0x23, 0x23, 0x23, 0x23, 0x23, 0x23, 0x23, 0x23, 0x10};
    EXPECT_EQ(sim.RequestOpcodes(), expected);
    std::vector<uint8_t> items;
    for (const auto& request : sim.Radio().Requests()) {
        if (request.size() == 4 && request[1] == 0x23) items.push_back(request[2]);
    }
    EXPECT_EQ(items, (std::vector<uint8_t>{0, 1, 3, 4, 10, 11, 12, 2, 16, 14}));
    EXPECT_TRUE(sim.Feedback().Messages().empty());
    const auto& events = sim.Feedback().Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events.front().type, Event::WaitCursorOn);
    EXPECT_EQ(events.back().type, Event::WaitCursorOff);
}

TEST(RadioInfoTest, NotSupportedLaterItemsShowNotAvailable)
{
    SimulatedRadio sim("default", "unsupported@3,unsupported@9");
    const RadioInfoResult result = ReadRadioInfo(0);
    ASSERT_EQ(result.outcome, RadioInfoOutcome::Ok);
    EXPECT_EQ(result.fields.softwareVersion, "n/a");
    EXPECT_EQ(result.fields.regionalId, "n/a");
    EXPECT_EQ(result.fields.modelNumber, ModelOf(sim));
    EXPECT_TRUE(sim.WasReset());
    EXPECT_TRUE(sim.Feedback().Messages().empty());
}

TEST(RadioInfoTest, RefusedModelOrSerialLeavesTheFieldEmpty)
{
    SimulatedRadio sim("default", "nak@1,nak@2");
    const RadioInfoResult result = ReadRadioInfo(0);
    ASSERT_EQ(result.outcome, RadioInfoOutcome::Ok);
    EXPECT_EQ(result.fields.modelNumber, "");
    EXPECT_EQ(result.fields.serialNumber, "");
    EXPECT_EQ(result.fields.softwareVersion, "R03.07.05");
    EXPECT_TRUE(sim.WasReset());
}

// Each row: a fault, and what the operator sees. The radio is never reset.
struct AbortCase {
    const char* faults;
    std::vector<uint32_t> messages;
    bool nothingAnswered = false; // the box gets a note with the real cause and the way back
};

class RadioInfoAbortTest : public ::testing::TestWithParam<AbortCase> {};

TEST_P(RadioInfoAbortTest, AbortsWithSerialCommunicationErrorAndNoReset)
{
    SimulatedRadio sim("default", GetParam().faults);
    const RadioInfoResult result = ReadRadioInfo(0);
    EXPECT_EQ(result.outcome, RadioInfoOutcome::CommunicationError);
    EXPECT_EQ(result.fields.modelNumber, "");
    EXPECT_EQ(sim.Feedback().Messages(), GetParam().messages);
    EXPECT_FALSE(sim.WasReset());
    // The wait cursor ends before the message is shown, and before its notes.
    const auto& events = sim.Feedback().Events();
    const size_t notes = GetParam().nothingAnswered ? 2 : 0;
    ASSERT_GE(events.size(), 2u + notes);
    EXPECT_EQ(events[events.size() - 2 - notes].type, Event::WaitCursorOff);
    const std::vector<std::string> seen = sim.Feedback().Notes();
    ASSERT_EQ(seen.size(), notes);
    if (notes != 0) {
        EXPECT_EQ(seen[0], "Nothing answered on COM1 (sim:default). A radio whose firmware was erased by a failed "
                           "upgrade answers only in bootstrap mode.");
        EXPECT_EQ(seen[1], "To bring the radio back, run: vantrel-cli recover");
    }
}

INSTANTIATE_TEST_SUITE_P(
    FailureTable, RadioInfoAbortTest,
    ::testing::Values(AbortCase{"silence@1", {20157}, true},  // nothing answers the first item
                      AbortCase{"cut@4", {20157}},  // incomplete reply
                      AbortCase{"badsum@6", {20157}},  // checksum error
                      AbortCase{"unsupported@1", {20157}},  // model number not supported
                      AbortCase{"unsupported@2", {20157}},  // serial number not supported
                      AbortCase{"nak@3", {20157}},  // a later item refused
                      AbortCase{"long@5", {20102, 20157}},  // a reply longer than the buffer
                      AbortCase{"noecho", {20157}, true}),  // adapter unplugged: no echo at all
    [](const auto& info) {
        std::string name = info.param.faults;  // "silence@1" → "silence_1"
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(RadioInfoTest, PortInUseShowsThePortBoxAndNothingElse)
{
    SimulatedRadio sim("default");
    CSerialPort holder;
    ASSERT_TRUE(holder.Open("COM1", 9600));
    const RadioInfoResult result = ReadRadioInfo(0);
    EXPECT_EQ(result.outcome, RadioInfoOutcome::PortOpenFailed);
    const auto& events = sim.Feedback().Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, Event::PortOpenFailure);
    EXPECT_EQ(events[0].text, "COM1");
    EXPECT_TRUE(sim.Radio().Requests().empty());
}

TEST(RadioInfoTest, TwoByteModelNumberShownAsIdentifier)
{
    SimulatedRadio sim("default");
    sim.Radio().MutableState().items[0] = SimInfoItem{true, {0x4A, 0x01}};
    const RadioInfoResult result = ReadRadioInfo(0);
    ASSERT_EQ(result.outcome, RadioInfoOutcome::Ok);
    EXPECT_EQ(result.fields.modelNumber, "ID = $4A $01");
}

}  // namespace
}  // namespace vantrel
