#pragma once

#include "shell/LockKeys.h"

#include <QMainWindow>
#include <QTimer>
#include <cstdint>
#include <map>

class QLabel;
class QMenu;
class QToolBar;

namespace vantrel {

// The main window: menu 128, toolbar 128, the status bar with its prompt pane
// and key indicators, and a blank client area. It knows nothing of what the
// commands do: every command is passed on through commandTriggered.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* parent = nullptr);

    // The action of a command id (menu, toolbar or accelerator), or nullptr.
    QAction* Command(uint32_t id) const;

    // Menu editing as the variants do it at start-up: by command id wherever
    // the item stands, or by position inside a popup (0 = File … 4 = Help).
    bool RemoveCommand(uint32_t id);
    bool RemoveMenuItemAt(int popup, int position);
    // Takes a button off the toolbar.
    void RemoveToolbarButton(uint32_t id);

    QLabel* PromptPane() const { return m_prompt; }
    QToolBar* ToolBar() const { return m_toolBar; }

    // A line for the operator in the prompt pane, until the next prompt.
    void ShowPaneText(const QString& text);

    // Where the CAP, NUM and SCRL indicators learn the lock state (the window
    // system's by default; tests give their own).
    void SetLockKeyReader(LockKeyReader reader);
    // Shows the lock state; false when the reader cannot tell.
    bool RefreshLockKeys();

signals:
    void commandTriggered(uint32_t id);
    // A popup is about to open: the enabling rules are evaluated again.
    void updateCommandUi();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeCommand(uint32_t id, const QString& text);
    void BuildMenu();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildAccelerators();

    std::map<uint32_t, QAction*> m_commands;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_prompt = nullptr;
    LockKeyReader m_lockKeys = &ReadLockKeys;
    QTimer m_lockKeysPoll;
};

} // namespace vantrel
