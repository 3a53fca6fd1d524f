#include "shell/CRecoverRadioDlg.h"

#include "ui_RecoverRadioDlg.h"

#include <QFileInfo>
#include <algorithm>

namespace vantrel {
namespace {

constexpr int kPathRole = Qt::UserRole;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CRecoverRadioDlg::CRecoverRadioDlg(RecoverRadioFn recover, ChooseBackupFn chooseBackup, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RecoverRadioDlg>()), m_recover(std::move(recover)),
      m_chooseBackup(std::move(chooseBackup))
{
    m_ui->setupUi(this);
    m_ui->introText->setFixedWidth(fontMetrics().averageCharWidth() * 80);
    connect(m_ui->startButton, &QPushButton::clicked, this, &CRecoverRadioDlg::OnOK);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CRecoverRadioDlg::OnBrowse);
    connect(m_ui->backupList, &QTreeWidget::currentItemChanged, this, &CRecoverRadioDlg::UpdateChoices);
}

CRecoverRadioDlg::~CRecoverRadioDlg() = default;

int CRecoverRadioDlg::exec()
{
    if (!m_initialised) InitDialog();
    return QDialog::exec();
}

void CRecoverRadioDlg::InitDialog()
{
    m_initialised = true;
    int likeliest = -1;
    for (const BackupListing& listing : ListEepromBackups(backupFolder)) {
        // The newest backup that names its radio is the likeliest: the failed
        // run's own. What a recovery saved of a radio in bootstrap mode names none.
        if (likeliest < 0 && !listing.backup.serialNumber.empty()) likeliest = m_ui->backupList->topLevelItemCount();
        AddBackup(listing);
    }
    for (int column = 0; column < m_ui->backupList->columnCount(); ++column)
        m_ui->backupList->resizeColumnToContents(column);
    if (QTreeWidgetItem* item = m_ui->backupList->topLevelItem(std::max(likeliest, 0)))
        m_ui->backupList->setCurrentItem(item);
    const QString firmware =
        Q(settings.firmwarePath.empty() ? settings.programFolder + "tor5t.mot" : settings.firmwarePath);
    if (firmwareAvailable) {
        m_ui->firmwarePath->setText(tr("Firmware: %1").arg(firmware));
        m_ui->firmwarePath->setToolTip(firmware);
    } else {
        m_ui->firmwarePath->setText(
            tr("Firmware: none selected; \"Select firmware file\" in the File menu chooses one."));
    }
    UpdateChoices();
}

void CRecoverRadioDlg::AddBackup(const BackupListing& listing)
{
    const EepromBackup& backup = listing.backup;
    auto* item = new QTreeWidgetItem(
        {Q(backup.serialNumber), Q(backup.modelNumber), Q(backup.softwareVersion), Q(listing.taken)});
    item->setData(0, kPathRole, Q(listing.path));
    item->setToolTip(0, Q(listing.path));
    m_ui->backupList->addTopLevelItem(item);
}

void CRecoverRadioDlg::UpdateChoices()
{
    const QTreeWidgetItem* current = m_ui->backupList->currentItem();
    const QString path = current ? current->data(0, kPathRole).toString() : QString();
    m_ui->backupPath->setText(path);
    m_ui->backupPath->setToolTip(path);
    const bool backup = current != nullptr;
    // Without a backup there is only the firmware to write, without a
    // firmware only the backup.
    m_ui->writeBoth->setEnabled(backup && firmwareAvailable);
    m_ui->writeFirmware->setEnabled(firmwareAvailable);
    m_ui->writeEeprom->setEnabled(backup);
    m_ui->startButton->setEnabled(backup || firmwareAvailable);
    if (!firmwareAvailable) {
        if (backup) m_ui->writeEeprom->setChecked(true);
    } else if (!backup) {
        m_ui->writeFirmware->setChecked(true);
    } else if (!m_hadBackup) {
        // A backup that has just become available is meant to be written.
        m_ui->writeBoth->setChecked(true);
    }
    m_hadBackup = backup;
}

void CRecoverRadioDlg::OnBrowse()
{
    const QString path = m_chooseBackup ? m_chooseBackup(this) : QString();
    if (path.isEmpty()) return;
    BackupListing listing;
    listing.path = QFileInfo(path).absoluteFilePath().toStdString();
    std::string error;
    // A file that is no backup is listed all the same; the recovery refuses
    // it with the reason before anything is sent.
    ReadEepromBackup(listing.path, listing.backup, error);
    listing.taken = QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    AddBackup(listing);
    m_ui->backupList->setCurrentItem(m_ui->backupList->topLevelItem(m_ui->backupList->topLevelItemCount() - 1));
}

RecoverySettings CRecoverRadioDlg::Choices() const
{
    RecoverySettings chosen = settings;
    const QTreeWidgetItem* current = m_ui->backupList->currentItem();
    const bool eeprom = current && !m_ui->writeFirmware->isChecked();
    chosen.backupPath = eeprom ? current->data(0, kPathRole).toString().toStdString() : std::string();
    chosen.writeFirmware = firmwareAvailable && !(eeprom && m_ui->writeEeprom->isChecked());
    return chosen;
}

void CRecoverRadioDlg::OnOK()
{
    const RecoverySettings chosen = Choices();
    // Also reached by a direct call while the button is disabled.
    if (!chosen.writeFirmware && chosen.backupPath.empty()) return;
    // The dialog goes first; the run then owns the screen with its progress
    // window and messages until it is over.
    accept();
    if (m_recover) m_outcome = m_recover(chosen);
}

} // namespace vantrel
