#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/ConsoleFeedback.h"
#include "support/StreamText.h"

namespace vantrel {
namespace {

struct Console {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ~Console()
    {
        std::fclose(out);
        std::fclose(err);
    }
};

TEST(ConsoleFeedbackTest, ProgressMessagesWhileClosedAreIgnored)
{
    Console c;
    ConsoleFeedback feedback({}, c.out, c.err, nullptr);
    // A read of hardware blocks sends range, positions and text without opening the window first.
    feedback.SendProgress(WM_PROGRESS_RANGE, 14);
    feedback.SendProgress(WM_PROGRESS_POS, 3);
    feedback.SendProgress(WM_PROGRESS_TEXT, 20130);
    feedback.SendProgress(WM_PROGRESS_CLOSE, 0);
    EXPECT_EQ(test::StreamText(c.out), "");

    feedback.SendProgress(WM_PROGRESS_OPEN, 3);
    feedback.SendProgress(WM_PROGRESS_TEXT, 20143);
    feedback.SendProgress(WM_PROGRESS_TEXT, 20143);  // said once in a log
    feedback.SendProgress(WM_PROGRESS_TEXT, 20131);
    feedback.SendProgress(WM_PROGRESS_CLOSE, 0);
    EXPECT_EQ(test::StreamText(c.out), "Checking radio data...\nWriting EEPROM data...\n");
}

TEST(ConsoleFeedbackTest, QuestionsAreAnsweredFromTheOptionsWhenNobodyIsAsked)
{
    Console c;
    ConsoleFeedback::Options options;
    options.retries = 1;
    ConsoleFeedback feedback(options, c.out, c.err, nullptr);
    EXPECT_EQ(feedback.ShowMessageBox(kMsgWarningOkCancel, 20133), 0) << "no --yes: the prompt is cancelled";
    EXPECT_EQ(feedback.ShowMessageBox(kMsgErrorRetryCancel, 20158), 1) << "one retry allowed";
    EXPECT_EQ(feedback.ShowMessageBox(kMsgErrorRetryCancel, 20158), 0) << "and no more";
    EXPECT_EQ(feedback.ShowMessageBox(kMsgInformation, 20154), 1);
    EXPECT_NE(test::StreamText(c.err).find("Error: An error occured during flashing the radio."), std::string::npos);
    EXPECT_EQ(feedback.LastErrorId(), 20158u);

    Console y;
    ConsoleFeedback::Options yes;
    yes.assumeYes = true;
    ConsoleFeedback confirmed(yes, y.out, y.err, nullptr);
    EXPECT_EQ(confirmed.ShowMessageBox(kMsgWarningOkCancel, 20133), 1);
    EXPECT_EQ(confirmed.ShowMessageBox(kMsgErrorRetryCancel, 20158), 0) << "--yes alone never retries forever";
}

TEST(ConsoleFeedbackTest, PortFailureNamesThePortAndTheCause)
{
    struct Case {
        OpenResult failure;
        const char* printed;
    };
    const Case cases[] = {
        {{OpenError::NoSuchDevice, "no such device"},
         "Error: The serial port COM3 could not be opened.\nThere is no such device.\n(no such device)\n"},
        {{OpenError::PermissionDenied, "add your user to the dialout group"},
         "Error: The serial port COM3 could not be opened.\nPermission to use it was denied.\n"
         "(add your user to the dialout group)\n"},
        {{OpenError::InUse, "in use by minicom (process 12)"},
         "Error: The serial port COM3 could not be opened.\nIt may be in use by another program.\n"
         "(in use by minicom (process 12))\n"},
        {{OpenError::Other, ""},
         "Error: The serial port COM3 could not be opened.\nIt may be in use by another program.\n"},
    };
    for (const Case& k : cases) {
        Console c;
        ConsoleFeedback feedback({}, c.out, c.err, nullptr);
        feedback.ShowPortOpenFailure("COM3", k.failure);
        EXPECT_EQ(test::StreamText(c.err), k.printed);
    }
}

// A note that says what went wrong goes where the errors go; others go with
// the rest of the output.
TEST(ConsoleFeedbackTest, FailureNotesGoToStandardError)
{
    Console c;
    ConsoleFeedback feedback({}, c.out, c.err, nullptr);
    feedback.ShowNote("The radio's EEPROM data was saved to /tmp/a.vbk");
    feedback.ShowFailureNote("The radio's application codeplug cannot be converted.");
    // A file name in a note cannot drive the terminal.
    feedback.ShowFailureNote("/tmp/\x1B[2J.mot holds fewer than 723 bytes");
    EXPECT_EQ(test::StreamText(c.out), "The radio's EEPROM data was saved to /tmp/a.vbk\n");
    EXPECT_EQ(test::StreamText(c.err), "The radio's application codeplug cannot be converted.\n"
                                       "/tmp/\\x1B[2J.mot holds fewer than 723 bytes\n");
}

}  // namespace
}  // namespace vantrel
