#include "link/Feedback.h"
#include "sim/SimBench.h"
#include "sim/SimRig.h"
#include "support/RecordingFeedback.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct OperatorBench {
    VirtualClock clock{5000};
    SimBench bench{clock};
    RecordingFeedback feedback;
    ScopedFeedback scoped{feedback};
    std::shared_ptr<SimLine> line;
    OperatorBench()
    {
        std::string error;
        line = bench.LineFor("sim", error);
    }
    SimMode ModeAfter(uint32_t ms)
    {
        clock.Sleep(ms);
        line->Sync();
        return line->Radio().Mode();
    }
};

TEST(SimOperator, FollowsTheBootstrapPromptAndTheNotices)
{
    OperatorBench b;
    // Cancel on the prompt: the operator does nothing.
    b.feedback.QueueAnswer(0);
    ShowMessage(kMsgWarningOkCancel, 20133);
    EXPECT_EQ(b.ModeAfter(100), SimMode::Normal);
    b.feedback.QueueAnswer(1);
    ShowMessage(kMsgWarningOkCancel, 20133);
    EXPECT_EQ(b.ModeAfter(100), SimMode::Bootstrap);
    EXPECT_TRUE(b.line->Radio().State().adapterFlashMode);
    // The final notice: adapter OFF, radio off and on.
    ShowMessage(kMsgInformation, 20154);
    EXPECT_EQ(b.ModeAfter(1000), SimMode::Normal);
    EXPECT_FALSE(b.line->Radio().State().adapterFlashMode);
    // Each retry notice means power reconnected with the adapter ON.
    for (uint32_t id : {20153u, 20156u, 20159u}) {
        b.line->Radio().SetAdapter(true);
        b.line->Radio().PowerOff();
        ShowMessage(kMsgWarning, id);
        EXPECT_EQ(b.ModeAfter(100), SimMode::Bootstrap) << id;
    }
    // Messages that ask for nothing at the radio leave it alone.
    ShowMessage(kMsgError, 20157);
    EXPECT_EQ(b.ModeAfter(100), SimMode::Bootstrap);
    EXPECT_EQ(b.bench.Operator().Handled(), (std::vector<uint32_t>{20133, 20154, 20153, 20156, 20159}));
}

TEST(SimOperator, HabitsModelOperatorMistakes)
{
    {
        OperatorBench b;
        b.bench.Operator().SetHabit(SimOperatorHabit::ForgetsAdapter);
        ShowMessage(kMsgWarningOkCancel, 20133);
        // The battery was reconnected but the adapter left OFF: the radio boots normally, no break.
        EXPECT_EQ(b.ModeAfter(1000), SimMode::Normal);
        EXPECT_EQ(b.line->Radio().BootCount(), 0u);
    }
    {
        OperatorBench b;
        b.bench.Operator().SetHabit(SimOperatorHabit::Absent);
        ShowMessage(kMsgWarningOkCancel, 20133);
        EXPECT_EQ(b.ModeAfter(1000), SimMode::Normal);
        EXPECT_TRUE(b.bench.Operator().Handled().empty());
    }
}

} // namespace
} // namespace vantrel
