#pragma once

#include "platform/Clock.h"
#include "shell/ShellHooks.h"

#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QTimer;

namespace vantrel {

class CMainFrame;
class CRadiliftApp;

// Test classes register themselves; the test main runs them all.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterShellTest(TestFactory factory);
#define VANTREL_SHELL_TEST(Class)                                                                                      \
    static const int Class##Registered = ::vantrel::RegisterShellTest([] { return std::make_unique<Class>(); });

// What a message box looked like when it was answered.
struct BoxSeen {
    bool shown = false;
    QString caption;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::CursorShape cursor = Qt::ArrowCursor; // the override cursor while it showed
    // Where it stood, frame included, and above which window.
    QRect frame;
    QRect progressFrame; // the progress window's, when one was open
    bool staysOnTop = false;
    QString owner;       // object name of the window that owns the box
    bool active = false; // it had the keyboard focus
};

// A pending answer to a modal window; it is withdrawn when this goes out of
// scope, so that an answer meant for a box that never came cannot reach a
// later test.
class PendingAnswer {
public:
    explicit PendingAnswer(std::shared_ptr<bool> alive) : m_alive(std::move(alive)) {}
    ~PendingAnswer() { *m_alive = false; }
    PendingAnswer(const PendingAnswer&) = delete;
    PendingAnswer& operator=(const PendingAnswer&) = delete;

private:
    std::shared_ptr<bool> m_alive;
};

// Answers the next modal message box with the button, once it appears.
[[nodiscard]] std::unique_ptr<PendingAnswer> AnswerNextBox(QMessageBox::StandardButton button, BoxSeen* seen = nullptr);
// Presses a key in the next modal message box.
[[nodiscard]] std::unique_ptr<PendingAnswer> PressInNextBox(Qt::Key key);
// Closes the next modal dialog (not a message box) with accept() or reject(), after
// letting the caller look at it (and perhaps close it itself).
[[nodiscard]] std::unique_ptr<PendingAnswer> AnswerNextDialog(bool accept, std::function<void(QWidget*)> inspect = {});

// Answers every modal message box with its default button while it lives and
// keeps what each looked like, in the order they came: for operations that end
// with more than one box. With a shot name each box is pictured as NAME-N.
class BoxRecorder {
public:
    explicit BoxRecorder(const QString& shotName = QString());
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    const std::vector<BoxSeen>& Seen() const { return m_seen; }
    QStringList Texts() const;

private:
    std::unique_ptr<QTimer> m_timer;
    std::vector<BoxSeen> m_seen;
};

// Probe and port list answered from a table; any name not in it is missing.
class FakePorts {
public:
    std::map<std::string, PortProbeResult> results;
    std::vector<std::string> probed;
    std::vector<SerialPortInfo> present;

    PortProbeFn Probe();
    ListPortsFn List();
};

// A settings store in a temporary folder.
class TempStore {
public:
    TempStore();
    QSettings& Store() { return *m_store; }
    // A fresh reader of what has been written.
    std::unique_ptr<QSettings> Reopen() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<QSettings> m_store;
};

// Hooks for an application under test: probing from the fake, and a file
// dialog that returns the next answer of `chosen` (empty = Cancel).
ShellHooks TestHooks(FakePorts& ports, std::vector<QString>* chosen = nullptr);

// The patch tool with COM1 reaching the target (a simulated radio on virtual
// time by default), the sample patch in its program folder and undo data kept
// in a folder of the test's own; with keepHistory, a service history there too.
struct PatchToolBench {
    VirtualClock clock;
    TempStore store;
    FakePorts ports;
    QTemporaryDir folder;
    std::string previousProgramFolder;
    QString exportPath; // what the save-file dialog of the history export answers
    std::unique_ptr<CRadiliftApp> app;

    explicit PatchToolBench(const QString& target = QStringLiteral("sim"), bool keepHistory = false);
    ~PatchToolBench();
    PatchToolBench(const PatchToolBench&) = delete;
    PatchToolBench& operator=(const PatchToolBench&) = delete;

    std::vector<uint8_t>& Eeprom(const std::string& target = "sim");
    void Run(uint32_t command);
    std::string HistoryPath() const;
};

// The menu bar as "Popup: item | item | - | item" lines, mnemonics removed,
// disabled items marked "(disabled)".
QStringList MenuLayout(const CMainFrame& frame);

// Saves a picture of the widget when VANTREL_SHOTS_DIR is set.
void SaveShot(QWidget* widget, const QString& name);

// The control of a dialog that carries the given control id.
template <typename Widget> Widget* Control(QWidget& dialog, int id)
{
    for (Widget* widget : dialog.findChildren<Widget*>()) {
        if (widget->property("controlId").toInt() == id) return widget;
    }
    return nullptr;
}

} // namespace vantrel
