#include "cli/EventFeedback.h"

#include "support/RecordingFeedback.h"
#include "support/StreamText.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

using Event = RecordingFeedback::Event;

struct EventRig {
    std::FILE* stream = std::tmpfile();
    RecordingFeedback shown;
    EventFeedback events{shown, stream, [](const std::string& name) { return name + " (/dev/ttyUSB0)"; }};
    ~EventRig() { std::fclose(stream); }
    std::string Lines() { return test::StreamText(stream); }
};

// Every call reaches the sink the operator sees, in order, and the answer
// comes from there; each step is one line.
TEST(EventFeedbackTest, PassesEverythingOnAndWritesALinePerStep)
{
    EventRig rig;
    rig.shown.QueueAnswer(0);
    rig.events.SendProgress(WM_PROGRESS_OPEN, 3);
    rig.events.SendProgress(WM_PROGRESS_RANGE, 0x1000A);
    rig.events.SendProgress(WM_PROGRESS_POS, 2);
    rig.events.SendProgress(WM_PROGRESS_TEXT, 20127);
    rig.events.SendProgress(WM_PROGRESS_HIDEBAR, 0);
    rig.events.SendProgress(WM_PROGRESS_SHOWBAR, 0);
    EXPECT_EQ(rig.events.ShowMessageBox(kMsgWarningOkCancel, 20133), 0);
    EXPECT_EQ(rig.events.ShowMessageBox(kMsgErrorRetryCancel, 20158), 1);
    EXPECT_EQ(rig.events.ShowMessageBox(kMsgInformation, 20154), 1);
    rig.events.ShowNote("saved \x1B[2J");
    rig.events.BackupSaved("/tmp/b.vbk");
    rig.events.ShowPortOpenFailure("COM1", OpenResult{OpenError::NoSuchDevice, "no such device"});
    rig.events.SendProgress(WM_PROGRESS_CLOSE, 0);

    EXPECT_EQ(rig.shown.Events(), (std::vector<Event>{{Event::Progress, WM_PROGRESS_OPEN, 3, {}},
                                                      {Event::Progress, WM_PROGRESS_RANGE, 0x1000A, {}},
                                                      {Event::Progress, WM_PROGRESS_POS, 2, {}},
                                                      {Event::Progress, WM_PROGRESS_TEXT, 20127, {}},
                                                      {Event::Progress, WM_PROGRESS_HIDEBAR, 0, {}},
                                                      {Event::Progress, WM_PROGRESS_SHOWBAR, 0, {}},
                                                      {Event::Message, 20133, kMsgWarningOkCancel, {}},
                                                      {Event::Message, 20158, kMsgErrorRetryCancel, {}},
                                                      {Event::Message, 20154, kMsgInformation, {}},
                                                      {Event::Note, 0, 0, "saved \x1B[2J"},
                                                      {Event::PortOpenFailure, 20270, 0, "COM1"},
                                                      {Event::Progress, WM_PROGRESS_CLOSE, 0, {}}}));
    EXPECT_EQ(rig.Lines(),
              R"json({"event":"progress","step":"open","range":3}
{"event":"progress","step":"range","range":10}
{"event":"progress","step":"position","position":2}
{"event":"progress","step":"text","id":20127,"text":"Downloading Bootcode..."}
{"event":"progress","step":"hidebar"}
{"event":"progress","step":"showbar"}
{"event":"question","id":20133,"kind":4,"kindName":"warning-ok-cancel","text":"Set radio in bootstrap mode.\n\nWARNING!\nNot following these instructions exactly may cause the radio to be inoperable.\n\nComplete these steps before pressing the OK button.\n\n1) Switch the radio ON/OFF switch to the ON position.\n2) Set the flash adapter switch to ON(Flash Mode).\n3) Remove the Battery for 5 seconds and then reconnect to enable Flash Mode.","answer":"cancel"}
{"event":"question","id":20158,"kind":5,"kindName":"error-retry-cancel","text":"An error occured during flashing the radio.","answer":"retry"}
{"event":"message","id":20154,"kind":2,"kindName":"information","text":"Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal Operation) and turn the radio OFF and then ON again."}
{"event":"note","text":"saved \\x1B[2J"}
{"event":"backup","path":"/tmp/b.vbk"}
{"event":"message","id":20270,"kind":1,"kindName":"error","text":"The serial port COM1 (/dev/ttyUSB0) could not be opened.\nThere is no such device.","port":"COM1 (/dev/ttyUSB0)","note":"no such device"}
{"event":"progress","step":"close"}
)json");
}

// A failure's cause stays a failure note for the sink the operator sees (the
// console puts it on standard error) and is logged as a note.
TEST(EventFeedbackTest, FailureNoteStaysAFailureNote)
{
    EventRig rig;
    rig.events.ShowFailureNote("The firmware file holds no data.");
    EXPECT_EQ(rig.shown.FailureNotes(), std::vector<std::string>{"The firmware file holds no data."});
    EXPECT_EQ(rig.Lines(), "{\"event\":\"note\",\"text\":\"The firmware file holds no data.\"}\n");
}

TEST(EventFeedbackTest, StartAndResultFrameTheRun)
{
    EventRig rig;
    rig.events.Start("region set", "sim:no-region");
    rig.events.Result("region set", 3);
    rig.events.Result("info", 0, R"({"modelNumber":"X"})");
    rig.events.Result("upgrade", 1);
    rig.events.Result("region", 2);
    const std::string lines = rig.Lines();
    EXPECT_TRUE(lines.starts_with(R"({"event":"start","command":"region set","version":"R03.08.08","revision":")"))
        << lines;
    EXPECT_NE(lines.find(R"(","port":"sim:no-region"}
{"event":"result","command":"region set","status":3,"outcome":"cancelled"}
{"event":"result","command":"info","status":0,"outcome":"success","data":{"modelNumber":"X"}}
{"event":"result","command":"upgrade","status":1,"outcome":"failed"}
{"event":"result","command":"region","status":2,"outcome":"usage-error"}
)"),
              std::string::npos)
        << lines;
}

} // namespace
} // namespace vantrel
