#pragma once

#include "codeplug/BackupList.h"
#include "upgrade/RecoverRadio.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class RecoverRadioDlg;
}

namespace vantrel {

using RecoverRadioFn = std::function<RecoveryOutcome(const RecoverySettings& settings)>;
// Asks the operator for a backup file; empty when cancelled.
using ChooseBackupFn = std::function<QString(QWidget* parent)>;

// The Recover radio dialog: the backups of the per-user data folder (newest
// first) or one browsed to, and what to write. Start Recovery closes it and
// runs the recovery before returning; Cancel does nothing at all.
class CRecoverRadioDlg : public QDialog {
    Q_OBJECT

public:
    CRecoverRadioDlg(RecoverRadioFn recover, ChooseBackupFn chooseBackup, QWidget* parent = nullptr);
    ~CRecoverRadioDlg() override;

    // Set by the command handler before the dialog is shown; the firmware
    // and where the backups are.
    RecoverySettings settings;
    std::string backupFolder;
    // False in the laboratory build until a firmware file is selected: it
    // flashes only the file the operator chose, so only EEPROM data can be
    // written then.
    bool firmwareAvailable = true;

    // Lists the backups and sets the defaults; exec() runs it first.
    void InitDialog();
    int exec() override;

    // What the controls ask for.
    RecoverySettings Choices() const;
    std::optional<RecoveryOutcome> Outcome() const { return m_outcome; }

public slots:
    // Start Recovery.
    void OnOK();
    void OnBrowse();

private:
    void AddBackup(const BackupListing& listing);
    void UpdateChoices();

    std::unique_ptr<Ui::RecoverRadioDlg> m_ui;
    RecoverRadioFn m_recover;
    ChooseBackupFn m_chooseBackup;
    bool m_initialised = false;
    bool m_hadBackup = false;
    std::optional<RecoveryOutcome> m_outcome;
};

} // namespace vantrel
