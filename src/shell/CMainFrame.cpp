#include "shell/CMainFrame.h"

#include "link/StringTable.h"
#include "shell/CommandIds.h"
#include "shell/Icons.h"
#include "shell/MenuResource.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

namespace vantrel {
namespace {

constexpr char kCommandIdProperty[] = "commandId";

constexpr int kLockKeysPollMs = 500;

// Key-lock indicators: lit while their lock is on. Where the window system
// cannot tell, an indicator starts off and follows the lock keys pressed
// while the program runs.
class KeyIndicator : public QLabel {
public:
    KeyIndicator(const QString& text, Qt::Key key, bool LockKeyState::*lock, QWidget* parent)
        : QLabel(text, parent), m_key(key), m_lock(lock)
    {
        setAlignment(Qt::AlignCenter);
        setMinimumWidth(fontMetrics().horizontalAdvance(text) + 12);
        setEnabled(false);
    }
    void KeyPressed(int key)
    {
        if (key == m_key) setEnabled(!isEnabled());
    }
    void Show(const LockKeyState& state) { setEnabled(state.*m_lock); }

private:
    Qt::Key m_key;
    bool LockKeyState::*m_lock;
};

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setWindowIcon(MainIcon());
    // The empty view: the client area stays blank.
    auto* view = new QWidget(this);
    view->setObjectName(QStringLiteral("view"));
    view->setAutoFillBackground(true);
    view->setBackgroundRole(QPalette::Base);
    setCentralWidget(view);

    BuildMenu();
    BuildToolBar();
    BuildStatusBar();
    BuildAccelerators();
    resize(640, 420);
    qApp->installEventFilter(this);
}

QAction* CMainFrame::Command(uint32_t id) const
{
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : it->second;
}

QAction* CMainFrame::MakeCommand(uint32_t id, const QString& text)
{
    auto* action = new QAction(text, this);
    action->setProperty(kCommandIdProperty, static_cast<uint>(id));
    action->setStatusTip(CommandPrompt(id));
    action->setToolTip(CommandTip(id));
    connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
    m_commands[id] = action;
    return action;
}

void CMainFrame::BuildMenu()
{
    for (const PopupDef& popup : MainMenuResource()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(popup.title));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUi);
        for (const MenuItemDef& item : popup.items) {
            if (item.id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(MakeCommand(item.id, QString::fromUtf8(item.text)));
            }
        }
    }
    // Help Topics has no handler and no help content: it stays disabled.
    Command(cmd::HelpTopics)->setEnabled(false);
    for (uint32_t id : {cmd::ViewToolbar, cmd::ViewStatusBar}) {
        Command(id)->setCheckable(true);
        Command(id)->setChecked(true);
    }
}

void CMainFrame::BuildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Standard"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (uint32_t id : MainToolbarResource()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        // The button's text doubles as its tooltip; a button without a prompt
        // (About) has neither.
        QAction* action = MakeCommand(id, CommandTip(id));
        action->setIcon(QIcon(ToolbarImage(id)));
        m_toolBar->addAction(action);
    }
    connect(Command(cmd::ViewToolbar), &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, Command(cmd::ViewToolbar), &QAction::setChecked);
}

void CMainFrame::BuildStatusBar()
{
    m_prompt = new QLabel(QString::fromUtf8(LoadMessageText(kIdsIdlePrompt)), this);
    m_prompt->setObjectName(QStringLiteral("promptPane"));
    m_prompt->setMinimumWidth(1);
    statusBar()->addWidget(m_prompt, 1);
    statusBar()->addPermanentWidget(
        new KeyIndicator(QStringLiteral("CAP"), Qt::Key_CapsLock, &LockKeyState::capsLock, this));
    statusBar()->addPermanentWidget(
        new KeyIndicator(QStringLiteral("NUM"), Qt::Key_NumLock, &LockKeyState::numLock, this));
    statusBar()->addPermanentWidget(
        new KeyIndicator(QStringLiteral("SCRL"), Qt::Key_ScrollLock, &LockKeyState::scrollLock, this));
    // A lock may change while another program has the keyboard.
    connect(&m_lockKeysPoll, &QTimer::timeout, this, [this] { RefreshLockKeys(); });
    m_lockKeysPoll.start(kLockKeysPollMs);
    RefreshLockKeys();
    connect(Command(cmd::ViewStatusBar), &QAction::toggled, statusBar(), &QStatusBar::setVisible);
}

void CMainFrame::BuildAccelerators()
{
    const struct {
        uint32_t id;
        QKeySequence key;
    } kAccelerators[] = {{cmd::Help, QKeySequence(Qt::Key_F1)},
                         {cmd::ContextHelp, QKeySequence(Qt::SHIFT | Qt::Key_F1)},
                         {cmd::NextPane, QKeySequence(Qt::Key_F6)},
                         {cmd::PrevPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)}};
    for (const auto& accelerator : kAccelerators) {
        QAction* action = MakeCommand(accelerator.id, QString());
        action->setShortcut(accelerator.key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

bool CMainFrame::RemoveCommand(uint32_t id)
{
    QAction* action = Command(id);
    if (!action) return false;
    for (QAction* popup : menuBar()->actions()) {
        QMenu* menu = popup->menu();
        if (menu && menu->actions().contains(action)) {
            menu->removeAction(action);
            return true;
        }
    }
    return false;
}

bool CMainFrame::RemoveMenuItemAt(int popup, int position)
{
    const QList<QAction*> popups = menuBar()->actions();
    if (popup < 0 || popup >= popups.size() || !popups[popup]->menu()) return false;
    QMenu* menu = popups[popup]->menu();
    const QList<QAction*> items = menu->actions();
    if (position < 0 || position >= items.size()) return false;
    menu->removeAction(items[position]);
    return true;
}

void CMainFrame::RemoveToolbarButton(uint32_t id)
{
    if (QAction* action = Command(id)) m_toolBar->removeAction(action);
}

void CMainFrame::SetLockKeyReader(LockKeyReader reader)
{
    m_lockKeys = std::move(reader);
    RefreshLockKeys();
}

bool CMainFrame::RefreshLockKeys()
{
    const LockKeyState state = m_lockKeys ? m_lockKeys() : LockKeyState{};
    if (!state.known) return false;
    for (QLabel* label : statusBar()->findChildren<QLabel*>()) {
        if (auto* indicator = dynamic_cast<KeyIndicator*>(label)) indicator->Show(state);
    }
    return true;
}

void CMainFrame::ShowPaneText(const QString& text)
{
    m_prompt->setText(text);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // A key event passes the application filter once per widget it is offered
    // to, but first, and once only, on its way through the window it came to.
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (key && watched->isWindowType() && !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        if (!RefreshLockKeys() && event->type() == QEvent::KeyPress) {
            const int pressed = static_cast<QKeyEvent*>(event)->key();
            for (QLabel* label : statusBar()->findChildren<QLabel*>()) {
                if (auto* indicator = dynamic_cast<KeyIndicator*>(label)) indicator->KeyPressed(pressed);
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        // Fly-by prompts go to the prompt pane; no prompt means the idle text.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_prompt->setText(tip.isEmpty() ? QString::fromUtf8(LoadMessageText(kIdsIdlePrompt)) : tip);
        return true;
    }
    return QMainWindow::event(event);
}

} // namespace vantrel
