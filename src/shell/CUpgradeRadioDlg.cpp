#include "shell/CUpgradeRadioDlg.h"

#include "ui_UpgradeRadioDlg.h"

#include <QStyle>

namespace vantrel {
CUpgradeRadioDlg::CUpgradeRadioDlg(RunUpgradeFn run, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::UpgradeRadioDlg>()), m_run(std::move(run))
{
    m_ui->setupUi(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    m_ui->warningIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
    // Wrapped texts take the width they are given: give them a comfortable
    // line length in the dialog's font so the fixed-size layout fits them.
    const int textWidth = fontMetrics().averageCharWidth() * 62;
    for (QLabel* text : {m_ui->timingText, m_ui->repairText, m_ui->startText})
        text->setFixedWidth(textWidth);
    connect(m_ui->startButton, &QPushButton::clicked, this, &CUpgradeRadioDlg::OnOK);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CUpgradeRadioDlg::~CUpgradeRadioDlg() = default;

void CUpgradeRadioDlg::showEvent(QShowEvent* event)
{
    // A firmware the operator selected is named before it replaces the
    // radio's: a codeplug source picked by mistake is seen here, not after
    // the flash has been erased.
    m_ui->firmwareText->setVisible(firmwareSelected);
    if (firmwareSelected)
        m_ui->firmwareText->setText(QStringLiteral("Firmware file to flash:\n") + QString::fromStdString(firmwarePath));
    QDialog::showEvent(event);
}

void CUpgradeRadioDlg::OnOK()
{
    // The dialog goes first; the run then owns the screen with its progress
    // window and messages until it is over.
    accept();
    if (!m_run) return;
    UpgradeSettings settings;
    settings.portIndex = portIndex;
    settings.flashRate = flashRate;
    settings.programFolder = programDir;
    settings.firmwarePath = firmwarePath;
    settings.firmwareSelected = firmwareSelected;
    m_run(settings);
}

} // namespace vantrel
