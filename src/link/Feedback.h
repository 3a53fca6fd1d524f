#pragma once

#include "platform/SerialDevice.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// Progress messages the operations send to the progress window (wParam below).
enum ProgressMessage : uint32_t {
    WM_PROGRESS_OPEN = 0x8000,  // range maximum; opens the window (ignored while open)
    WM_PROGRESS_RANGE = 0x8001, // range maximum; position back to 0
    WM_PROGRESS_POS = 0x8002,   // position
    WM_PROGRESS_TEXT = 0x8003,  // string id of the status line
    WM_PROGRESS_CLOSE = 0x8004,
    WM_PROGRESS_SHOWBAR = 0x8005,
    WM_PROGRESS_HIDEBAR = 0x8006,
};

// Message-box kinds of ShowMessage.
enum MessageKind : int {
    kMsgError = 1,            // "Error", stop icon, OK
    kMsgInformation = 2,      // title, information icon, OK
    kMsgWarning = 3,          // title, exclamation, OK
    kMsgWarningOkCancel = 4,  // title, exclamation, OK and Cancel
    kMsgErrorRetryCancel = 5, // "Error", stop icon, Retry and Cancel
};

// How a radio left behind by a failed run is brought back.
enum class RecoveryWay {
    Firmware,   // a recovery: the firmware, and the EEPROM data of the backup when one is named
    EepromOnly, // only the EEPROM data of the backup
};

// Where the operations report to: the GUI's main frame, the console, or a test
// recorder. One sink is current for the process at a time.
class Feedback {
public:
    virtual ~Feedback() = default;

    // A progress message, applied before the call returns.
    virtual void SendProgress(uint32_t message, uint32_t wParam) = 0;
    // Shows the box of the kind with the text of the id; returns 0 when the
    // operator pressed Cancel, otherwise 1. Operations call the free function
    // ShowMessage below, never this directly.
    virtual int ShowMessageBox(int kind, uint32_t id) = 0;
    // The same box with the id's text completed by the caller (a message
    // that names an address or a value). A sink that shows only texts by id
    // shows the id's own text.
    virtual int ShowMessageBoxText(int kind, uint32_t id, const std::string& /*text*/)
    {
        return ShowMessageBox(kind, id);
    }
    // The separate port-open failure box: a headline that names the cause
    // (PortOpenFailureText), and the platform's reason (failure.message) for
    // front ends that can show it.
    virtual void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) = 0;
    // A file that keeps what a run is about to overwrite in a radio (an EEPROM
    // backup, undo data) was saved; the operator is told where by a note too.
    virtual void BackupSaved(const std::string& /*path*/) {}
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
    // A line of extra information for the operator (where a backup was saved).
    virtual void ShowNote(const std::string& /*text*/) {}
    // The way back after a failed run, in the words of this front end: its
    // command and the backup to give it. The command line's unless overridden.
    virtual std::string RecoveryHint(RecoveryWay way, const std::string& backupPath) const;
    // A note that says what went wrong (why a codeplug was refused): shown
    // with the operation's failure, where errors go.
    virtual void ShowFailureNote(const std::string& text) { ShowNote(text); }
};

// A sink that shows nothing and answers every question with OK / Retry.
class SilentFeedback final : public Feedback {
public:
    void SendProgress(uint32_t, uint32_t) override {}
    int ShowMessageBox(int, uint32_t) override { return 1; }
    void ShowPortOpenFailure(const std::string&, const OpenResult&) override {}
};

Feedback& CurrentFeedback();

// Installs a sink as the current one for the lifetime of the object.
class ScopedFeedback {
public:
    explicit ScopedFeedback(Feedback& feedback);
    ~ScopedFeedback();
    ScopedFeedback(const ScopedFeedback&) = delete;
    ScopedFeedback& operator=(const ScopedFeedback&) = delete;

private:
    Feedback* m_prev;
};

// Sends a progress message to the current sink.
void SendProgress(uint32_t message, uint32_t wParam = 0);

// Shows a message box through the current sink, then tells the operator-action
// listeners (the simulated radio) which message was answered and how.
int ShowMessage(int kind, uint32_t id);
// The same with the id's text completed by the caller.
int ShowMessage(int kind, uint32_t id, const std::string& text);

// Listeners of operator answers. A real operator reacts to a prompt by switching
// the flash adapter and reconnecting the battery; the simulated radio learns of
// it this way. Returns a handle for RemoveOperatorActionListener.
using OperatorActionListener = std::function<void(uint32_t id, int answer)>;
int AddOperatorActionListener(OperatorActionListener listener);
void RemoveOperatorActionListener(int handle);

// Tells the operator, as a note, how to bring the radio back.
void ShowRecoveryHint(RecoveryWay way, const std::string& backupPath);

// The headline of a port-open failure: no such device and a refused permission
// have their own; a port in use, or any other cause, the classic 20001.
uint32_t PortOpenFailureId(OpenError cause);
std::string PortOpenFailureText(const std::string& portName, OpenError cause);

} // namespace vantrel
