#include "ShellTestSupport.h"

#include "operations/PatchFile.h"
#include "platform/Files.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "sim/SimSamplePatch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <type_traits>

namespace vantrel {
namespace {

std::vector<TestFactory>& Registry()
{
    static std::vector<TestFactory> registry;
    return registry;
}

// Polls until a modal widget of the wanted type is up, then acts on it. Gives
// up after a minute so that a missing box fails the test instead of hanging
// it; the limit is on the clock, not on the number of polls, because a loaded
// machine delays timers and a slow operation is not a missing box.
template <typename Widget> std::unique_ptr<PendingAnswer> WhenModal(std::function<void(Widget*)> act)
{
    auto alive = std::make_shared<bool>(true);
    auto deadline = std::make_shared<QDeadlineTimer>(60000);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, deadline, poll, alive] {
        if (!*alive) {
            *poll = nullptr;
            return;
        }
        auto* widget = qobject_cast<Widget*>(QApplication::activeModalWidget());
        // A dialog answerer leaves message boxes to the box answerers.
        if (std::is_same_v<Widget, QDialog> && qobject_cast<QMessageBox*>(widget)) widget = nullptr;
        if (widget && widget->isVisible()) {
            act(widget);
            *poll = nullptr; // breaks the self-reference
            return;
        }
        if (deadline->hasExpired()) {
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
    return std::make_unique<PendingAnswer>(alive);
}

void Record(QMessageBox* box, BoxSeen& seen)
{
    seen.shown = true;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.informative = box->informativeText();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    seen.modality = box->windowModality();
    if (QApplication::overrideCursor()) seen.cursor = QApplication::overrideCursor()->shape();
    seen.frame = box->frameGeometry();
    seen.staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen.owner = box->parentWidget() ? box->parentWidget()->objectName() : QString();
    seen.active = QApplication::activeWindow() == box;
    seen.progressFrame = QRect();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("progressWindow") && window->isVisible())
            seen.progressFrame = window->frameGeometry();
    }
}

} // namespace

std::vector<TestFactory>& ShellTests()
{
    return Registry();
}

int RegisterShellTest(TestFactory factory)
{
    Registry().push_back(std::move(factory));
    return static_cast<int>(Registry().size());
}

std::unique_ptr<PendingAnswer> AnswerNextBox(QMessageBox::StandardButton button, BoxSeen* seen)
{
    return WhenModal<QMessageBox>([button, seen](QMessageBox* box) {
        if (seen) Record(box, *seen);
        if (QAbstractButton* b = box->button(button)) {
            b->click();
        } else {
            box->reject();
        }
    });
}

std::unique_ptr<PendingAnswer> PressInNextBox(Qt::Key key)
{
    return WhenModal<QMessageBox>([key](QMessageBox* box) { QTest::keyClick(box, key); });
}

std::unique_ptr<PendingAnswer> AnswerNextDialog(bool accept, std::function<void(QWidget*)> inspect)
{
    return WhenModal<QDialog>([accept, inspect](QDialog* dialog) {
        if (inspect) inspect(dialog);
        if (!dialog->isVisible()) return; // the inspection closed it
        if (accept) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

BoxRecorder::BoxRecorder(const QString& shotName) : m_timer(std::make_unique<QTimer>())
{
    // The boxes run their own event loops, in which this keeps polling.
    QObject::connect(m_timer.get(), &QTimer::timeout, [this, shotName] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        m_seen.emplace_back();
        Record(box, m_seen.back());
        if (!shotName.isEmpty()) SaveShot(box, shotName + QLatin1Char('-') + QString::number(m_seen.size()));
        if (QAbstractButton* button = box->defaultButton()) {
            button->click();
        } else {
            box->reject();
        }
    });
    m_timer->start(5);
}

BoxRecorder::~BoxRecorder() = default;

QStringList BoxRecorder::Texts() const
{
    QStringList texts;
    for (const BoxSeen& seen : m_seen)
        texts << seen.text;
    return texts;
}

PortProbeFn FakePorts::Probe()
{
    return [this](const std::string& name) {
        probed.push_back(name);
        const auto it = results.find(name);
        return it == results.end() ? PortProbeResult::Missing : it->second;
    };
}

ListPortsFn FakePorts::List()
{
    return [this] { return present; };
}

TempStore::TempStore() : m_path(m_dir.filePath(QStringLiteral("Vantrel.ini")))
{
    m_store = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
}

std::unique_ptr<QSettings> TempStore::Reopen() const
{
    m_store->sync();
    return std::make_unique<QSettings>(m_path, QSettings::IniFormat);
}

ShellHooks TestHooks(FakePorts& ports, std::vector<QString>* chosen)
{
    ShellHooks hooks;
    hooks.probePort = ports.Probe();
    hooks.listPorts = ports.List();
    hooks.chooseFile = [chosen](QWidget*, const QString&, const QString&) {
        if (!chosen || chosen->empty()) return QString();
        const QString answer = chosen->front();
        chosen->erase(chosen->begin());
        return answer;
    };
    hooks.versionTable = &VersionTable;
    return hooks;
}

QStringList MenuLayout(const CMainFrame& frame)
{
    QStringList lines;
    for (QAction* popup : frame.menuBar()->actions()) {
        QStringList items;
        for (QAction* item : popup->menu()->actions()) {
            QString text = item->isSeparator() ? QStringLiteral("-") : QString(item->text()).remove(QLatin1Char('&'));
            if (!item->isSeparator() && !item->isEnabled()) text += QStringLiteral(" (disabled)");
            items << text;
        }
        lines << QString(popup->text()).remove(QLatin1Char('&')) + QStringLiteral(": ") +
                     items.join(QStringLiteral(" | "));
    }
    return lines;
}

void SaveShot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("VANTREL_SHOTS_DIR");
    if (folder.isEmpty() || !widget) return;
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

PatchToolBench::PatchToolBench(const QString& target, bool keepHistory) : previousProgramFolder(ProgramFolder())
{
    const QString data = folder.filePath(QStringLiteral("data"));
    QDir().mkpath(data);
    SetUserDataFolder(data.toStdString());
    SetProgramFolder(folder.path().toStdString());
    QFile patch(folder.filePath(QString::fromLatin1(kPatchFileName)));
    if (patch.open(QIODevice::WriteOnly)) patch.write(QByteArray::fromStdString(SimSamplePatchText()));
    store.Store().setValue("Options/SerialPort", 0);
    store.Store().setValue("Options/Slot1", target);
    ShellHooks hooks = TestHooks(ports);
    hooks.clock = &clock;
    hooks.patchRadio = &RunPatcher;
    if (keepHistory) {
        hooks.historyFile = HistoryPath();
        hooks.chooseSaveFile = [this](QWidget*, const QString&) { return exportPath; };
    }
    app = std::make_unique<CRadiliftApp>(Variant::Mendkit, store.Store(), hooks);
    QVERIFY(app->InitInstance());
}

PatchToolBench::~PatchToolBench()
{
    app.reset();
    SetUserDataFolder("");
    SetProgramFolder(previousProgramFolder);
}

std::vector<uint8_t>& PatchToolBench::Eeprom(const std::string& target)
{
    std::string error;
    return app->Simulation().LineFor(target, error)->Radio().MutableState().eeprom;
}

void PatchToolBench::Run(uint32_t command)
{
    app->MainFrame()->Command(command)->trigger();
}

std::string PatchToolBench::HistoryPath() const
{
    return folder.filePath(QStringLiteral("history.sqlite")).toStdString();
}

} // namespace vantrel
