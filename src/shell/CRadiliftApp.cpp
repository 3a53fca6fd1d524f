#include "shell/CRadiliftApp.h"

#include "data/VersionTable.h"
#include "history/HistoryStore.h"
#include "history/OperationJournal.h"
#include "images/Export.h"
#include "link/Feedback.h"
#include "link/StringTable.h"
#include "platform/Files.h"
#include "platform/Runtime.h"
#include "shell/AppSettings.h"
#include "shell/CAboutDlg.h"
#include "shell/CCodeplugUpdateDlg.h"
#include "shell/CConfigurationDlg.h"
#include "shell/CMainFrame.h"
#include "shell/CRadioInfoDlg.h"
#include "shell/CRecoverRadioDlg.h"
#include "shell/CRegionalIdDlg.h"
#include "shell/CServiceHistoryDlg.h"
#include "shell/CUpgradeRadioDlg.h"
#include "shell/CommandIds.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

namespace vantrel {
namespace {

// A kept size never larger than the screen it comes back on.
QSize FittingSize(const QSize& size)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? size.boundedTo(screen->availableGeometry().size()) : size;
}

} // namespace

CRadiliftApp::CRadiliftApp(Variant variant, QSettings& store, ShellHooks hooks)
    : m_variant(variant), m_store(store), m_hooks(std::move(hooks)),
      m_clock(m_hooks.clock ? *m_hooks.clock : m_realClock), m_simBench(m_clock)
{
    m_router.SetDeviceMaker(m_hooks.deviceMaker);
    m_router.SetSimMaker(m_simBench.Maker());
    // Everything below the front end reaches the clock, the ports and the
    // operator through these for the whole run.
    m_runtime = std::make_unique<ScopedRuntime>(m_clock, m_router);
    m_feedbackScope = std::make_unique<ScopedFeedback>(m_feedback);
    if (m_hooks.historyFile) {
        m_history = std::make_unique<ScopedServiceHistory>(
            HistorySetup{*m_hooks.historyFile, VariantProgramName(m_variant),
                         [this](int portIndex) { return m_router.SlotTarget(portIndex); }, NewestReleaseVersion()});
    }
}

CRadiliftApp::~CRadiliftApp()
{
    m_history.reset();
    m_feedback.SetMainWindow(nullptr);
    m_frame.reset();
}

bool CRadiliftApp::InitInstance()
{
    LoadSettings(m_store, m_router, m_hooks.probePort, m_nSerialPort, m_nFlashRate);
    m_window = LoadWindowState(m_store);

    m_frame = std::make_unique<CMainFrame>();
    if (m_window.size.isValid()) m_frame->resize(FittingSize(m_window.size));
    m_feedback.SetMainWindow(m_frame.get());
    connect(m_frame.get(), &CMainFrame::commandTriggered, this, &CRadiliftApp::OnCommand);
    connect(m_frame.get(), &CMainFrame::updateCommandUi, this, &CRadiliftApp::UpdateCommandUi);
    m_frame->show();
    m_frame->repaint();

    m_frame->setWindowTitle(VariantTitle(m_variant));
    EditMenu();
    UpdateCommandUi();

    return ConfirmTestRelease();
}

void CRadiliftApp::ExitInstance()
{
    SaveSettings(m_store, m_router, m_nSerialPort, m_nFlashRate);
    // The size the window has when it is not maximised.
    if (m_frame) m_window.size = m_frame->normalGeometry().size();
    SaveWindowState(m_store, m_window);
}

void CRadiliftApp::EditMenu()
{
    CMainFrame& frame = *m_frame;
    if (m_variant != Variant::Mendkit) {
        for (uint32_t id : {cmd::PatchRadio, cmd::UndoPatch, cmd::AboutMendkit})
            frame.RemoveCommand(id);
    }
    constexpr int kFile = 0;
    constexpr int kHelp = 4;
    switch (m_variant) {
    case Variant::Service:
        for (uint32_t id : {cmd::SelectFirmware, cmd::SelectCodeplug, cmd::SaveFirmwareBinary, cmd::SaveBootcodes,
                            cmd::SaveCodeplugBinary}) {
            frame.RemoveCommand(id);
        }
        // The two separators that now lead the File popup.
        frame.RemoveMenuItemAt(kFile, 0);
        frame.RemoveMenuItemAt(kFile, 0);
        for (uint32_t id :
             {cmd::ProgramRegionalId, cmd::FlashFirmware, cmd::WriteCodeplug, cmd::HelpTopics, cmd::AboutLab}) {
            frame.RemoveCommand(id);
        }
        frame.RemoveMenuItemAt(kHelp, 0);
        // The service variant upgrades with the firmware it carries.
        m_bFirmwareSelected = 1;
        break;
    case Variant::Divavav:
        for (uint32_t id : {cmd::SaveFirmwareBinary, cmd::SaveBootcodes, cmd::SaveCodeplugBinary}) {
            frame.RemoveCommand(id);
        }
        frame.RemoveMenuItemAt(kFile, 2);
        frame.RemoveCommand(cmd::UpgradeRadio);
        m_bFirmwareSelected = 0;
        frame.RemoveCommand(cmd::About);
        break;
    case Variant::Mendkit:
        // The patch tool reads and patches radios; it neither selects files
        // nor upgrades, so its toolbar has no upgrade button either.
        for (uint32_t id : {cmd::SelectFirmware, cmd::SelectCodeplug, cmd::SaveFirmwareBinary, cmd::SaveBootcodes,
                            cmd::SaveCodeplugBinary}) {
            frame.RemoveCommand(id);
        }
        frame.RemoveMenuItemAt(kFile, 0);
        frame.RemoveMenuItemAt(kFile, 0);
        for (uint32_t id : {cmd::ProgramRegionalId, cmd::UpgradeRadio, cmd::FlashFirmware, cmd::RecoverRadio,
                            cmd::WriteCodeplug, cmd::HelpTopics, cmd::About, cmd::AboutLab}) {
            frame.RemoveCommand(id);
        }
        frame.RemoveMenuItemAt(kHelp, 0);
        frame.RemoveToolbarButton(cmd::ToolbarUpgrade);
        m_bFirmwareSelected = 0;
        break;
    }
}

bool CRadiliftApp::ConfirmTestRelease()
{
    if (!m_hooks.versionTable || !IsTestRelease(m_hooks.versionTable())) return true;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(LoadMessageText(kIdsAppTitle)),
                    QString::fromUtf8(LoadMessageText(20165)), QMessageBox::Ok | QMessageBox::Cancel, m_frame.get());
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void CRadiliftApp::UpdateCommandUi()
{
    if (!m_frame) return;
    const bool firmware = m_bFirmwareSelected != 0;
    m_frame->Command(cmd::FlashFirmware)->setEnabled(firmware);
    m_frame->Command(cmd::ToolbarUpgrade)->setEnabled(firmware);
    m_frame->Command(cmd::WriteCodeplug)->setEnabled(m_bCodeplugSelected != 0);
}

void CRadiliftApp::OnCommand(uint32_t id)
{
    m_feedback.ForgetNotes();
    switch (id) {
    case cmd::SelectFirmware:
        OnSelectFirmware();
        break;
    case cmd::SelectCodeplug:
        OnSelectCodeplug();
        break;
    case cmd::Exit:
        m_frame->close();
        break;
    case cmd::RadioInfo:
    case cmd::ToolbarRadioInfo:
        OnRadioInfo();
        break;
    case cmd::ProgramRegionalId:
        OnRegionalId();
        break;
    case cmd::WriteCodeplug:
        OnWriteCodeplug();
        break;
    case cmd::PatchRadio:
        OnPatch(false);
        break;
    case cmd::UndoPatch:
        OnPatch(true);
        break;
    case cmd::Configuration:
        OnConfiguration();
        break;
    case cmd::About:
    case cmd::ToolbarAbout:
    case cmd::AboutMendkit:
        OnAbout();
        break;
    case cmd::AboutLab:
        OnAboutLab();
        break;
    case cmd::ServiceHistory:
        OnServiceHistory();
        break;
    case cmd::SaveFirmwareBinary:
        SaveFirmwareAsBinary();
        break;
    case cmd::SaveCodeplugBinary:
        SaveCodeplugsAsBinary();
        break;
    case cmd::SaveBootcodes:
        SaveBootcodesAsBinary();
        break;
    case cmd::UpgradeRadio:
    case cmd::FlashFirmware:
    case cmd::ToolbarUpgrade:
        OnUpgradeRadio();
        break;
    case cmd::RecoverRadio:
        OnRecoverRadio();
        break;
    default:
        // Help and pane switching: no help content, one pane.
        break;
    }
    UpdateCommandUi();
}

// The exports read and write the program folder; the operation reports its
// own progress, failure or success through the main frame.
void CRadiliftApp::SaveFirmwareAsBinary()
{
    m_strFirmwareFolder = ProgramFolder();
    vantrel::SaveFirmwareAsBinary(m_strFirmwareFolder);
}

void CRadiliftApp::SaveCodeplugsAsBinary()
{
    m_strCodeplugFolder = ProgramFolder();
    vantrel::SaveCodeplugsAsBinary(m_strCodeplugFolder);
}

void CRadiliftApp::SaveBootcodesAsBinary()
{
    m_strFirmwareFolder = ProgramFolder();
    vantrel::SaveBootcodesAsBinary(m_strFirmwareFolder);
}

QString CRadiliftApp::ChooseFile(const QString& title)
{
    const QString path = m_hooks.chooseFile ? m_hooks.chooseFile(m_frame.get(), title, m_window.lastFolder) : QString();
    // The next file dialog opens where this one ended.
    if (!path.isEmpty()) m_window.lastFolder = QFileInfo(path).absolutePath();
    return path;
}

void CRadiliftApp::OnSelectFirmware()
{
    const QString path = ChooseFile(QStringLiteral("Select firmware file"));
    if (path.isEmpty()) return;
    m_strFirmwareFile = path.toStdString();
    m_bFirmwareSelected = 1;
}

void CRadiliftApp::OnSelectCodeplug()
{
    const QString path = ChooseFile(QStringLiteral("Select Codeplug file"));
    if (path.isEmpty()) return;
    m_strCodeplugFile = path.toStdString();
    m_bCodeplugSelected = 1;
}

void CRadiliftApp::OnConfiguration()
{
    CConfigurationDlg dialog(m_hooks.probePort, m_hooks.listPorts, m_frame.get());
    dialog.m_nPortIndex = m_nSerialPort;
    dialog.m_nFlashRate = m_nFlashRate;
    for (int i = 0; i < PortRouter::kSlotCount; ++i)
        dialog.m_slotTargets[static_cast<size_t>(i)] = m_router.SlotTarget(i);
    if (dialog.exec() != QDialog::Accepted) return;
    m_nSerialPort = dialog.m_nPortIndex;
    m_nFlashRate = dialog.m_nFlashRate;
    for (int i = 0; i < PortRouter::kSlotCount; ++i)
        m_router.SetSlotTarget(i, dialog.m_slotTargets[static_cast<size_t>(i)]);
}

void CRadiliftApp::OnRadioInfo()
{
    CRadioInfoDlg dialog(m_hooks.readRadioInfo, m_nSerialPort, m_frame.get());
    dialog.exec();
}

void CRadiliftApp::OnRegionalId()
{
    CRegionalIdDlg dialog(m_hooks.readRegionalId, m_hooks.programRegionalId, m_nSerialPort, m_frame.get());
    dialog.exec();
}

void CRadiliftApp::OnUpgradeRadio()
{
    CUpgradeRadioDlg dialog(m_hooks.runUpgrade, m_frame.get());
    dialog.portIndex = m_nSerialPort;
    dialog.flashRate = static_cast<uint32_t>(m_nFlashRate);
    dialog.programDir = ProgramFolder();
    if (m_variant == Variant::Divavav) {
        // The lab flashes the firmware file the operator selected.
        if (m_strFirmwareFile.empty()) return;
        dialog.firmwarePath = m_strFirmwareFile;
        dialog.firmwareSelected = true;
    } else {
        m_strFirmwareFolder = ProgramFolder();
        dialog.firmwarePath = m_strFirmwareFolder + "tor5t.mot";
    }
    dialog.exec();
}

void CRadiliftApp::OnRecoverRadio()
{
    // The patch tool neither upgrades nor recovers.
    if (m_variant == Variant::Mendkit) return;
    CRecoverRadioDlg dialog(m_hooks.recoverRadio, m_hooks.chooseBackup, m_frame.get());
    dialog.settings.portIndex = m_nSerialPort;
    dialog.settings.flashRate = static_cast<uint32_t>(m_nFlashRate);
    dialog.settings.programFolder = ProgramFolder();
    // The firmware the upgrade command of the variant flashes: the
    // laboratory's is the file selected, if any.
    if (m_variant == Variant::Divavav) {
        dialog.settings.firmwarePath = m_strFirmwareFile;
        dialog.settings.firmwareSelected = !m_strFirmwareFile.empty();
        dialog.firmwareAvailable = !m_strFirmwareFile.empty();
    }
    dialog.backupFolder = UserDataFolder();
    dialog.exec();
}

void CRadiliftApp::OnWriteCodeplug()
{
    // Also reached by a direct trigger while the menu item is disabled.
    if (!m_bCodeplugSelected) return;
    CCodeplugUpdateDlg dialog(m_hooks.writeCodeplug, m_nSerialPort, m_frame.get());
    dialog.flashRate = m_nFlashRate;
    dialog.codeplugPath = m_strCodeplugFile;
    dialog.exec();
}

// Only the patch tool patches; the other variants keep the commands in the
// table but without their menu items, and they do nothing.
void CRadiliftApp::OnPatch(bool undo)
{
    if (m_variant != Variant::Mendkit || !m_hooks.patchRadio) return;
    // The patch tool's notices carry its own name.
    constexpr uint32_t kIdMendkitCaption = 20164;
    m_feedback.SetCaption(QString::fromUtf8(LoadMessageText(kIdMendkitCaption)));
    m_hooks.patchRadio(m_nSerialPort, undo);
    m_feedback.SetCaption(QString());
}

void CRadiliftApp::OnAbout()
{
    CAboutDlg dialog(m_frame.get());
    dialog.exec();
}

void CRadiliftApp::OnServiceHistory()
{
    const std::string path =
        m_hooks.historyFile && !m_hooks.historyFile->empty() ? *m_hooks.historyFile : DefaultHistoryPath();
    CServiceHistoryDlg dialog(path, m_hooks.chooseSaveFile, m_frame.get());
    dialog.exec();
}

void CRadiliftApp::OnAboutLab()
{
    CAboutLabDlg dialog(m_frame.get());
    dialog.exec();
}

} // namespace vantrel
