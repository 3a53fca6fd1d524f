#pragma once

#include "platform/Clock.h"
#include "platform/PortRouter.h"
#include "shell/QtFeedback.h"
#include "shell/ShellHooks.h"
#include "shell/Variant.h"
#include "sim/SimBench.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

class QSettings;

namespace vantrel {

class CMainFrame;
class ScopedFeedback;
class ScopedRuntime;
class ScopedServiceHistory;

// The application object: owns the settings, the selected files, the main
// frame and the feedback sink for the whole run, and handles every command.
class CRadiliftApp : public QObject {
    Q_OBJECT

public:
    CRadiliftApp(Variant variant, QSettings& store, ShellHooks hooks);
    ~CRadiliftApp() override;

    // Loads the settings, creates and shows the frame, edits the menu for the
    // variant and asks about a test release. False means the operator chose
    // to leave: the process ends at once, nothing saved.
    bool InitInstance();
    // Saves the settings; called at a normal end only.
    void ExitInstance();

    Variant GetVariant() const { return m_variant; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    PortRouter& Router() { return m_router; }
    QtFeedback& Feedback() { return m_feedback; }
    SimBench& Simulation() { return m_simBench; }

    int m_nSerialPort = 0;
    int m_nFlashRate = 38400;
    std::string m_strFirmwareFile;
    std::string m_strCodeplugFile;
    std::string m_strFirmwareFolder;
    std::string m_strCodeplugFolder;
    int m_bFirmwareSelected = 0;
    int m_bCodeplugSelected = 0;

public slots:
    void OnCommand(uint32_t id);
    // The enabling rules, applied to the menu and the toolbar.
    void UpdateCommandUi();

private:
    void EditMenu();
    bool ConfirmTestRelease();

    // The open-file dialog, in the folder of the last file chosen.
    QString ChooseFile(const QString& title);
    void OnSelectFirmware();
    void OnSelectCodeplug();
    void OnConfiguration();
    void OnRadioInfo();
    void OnRegionalId();
    void OnUpgradeRadio();
    void OnRecoverRadio();
    void OnWriteCodeplug();
    void OnPatch(bool undo);
    void OnAbout();
    void OnAboutLab();
    void OnServiceHistory();
    void SaveFirmwareAsBinary();
    void SaveCodeplugsAsBinary();
    void SaveBootcodesAsBinary();

    Variant m_variant;
    QSettings& m_store;
    WindowState m_window;
    ShellHooks m_hooks;
    RealClock m_realClock;
    Clock& m_clock;
    PortRouter m_router;
    // The simulated radio behind a "sim" slot: one radio for the whole run.
    SimBench m_simBench;
    std::unique_ptr<ScopedRuntime> m_runtime;
    QtFeedback m_feedback;
    std::unique_ptr<ScopedFeedback> m_feedbackScope;
    std::unique_ptr<ScopedServiceHistory> m_history;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace vantrel
