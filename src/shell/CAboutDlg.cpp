#include "shell/CAboutDlg.h"

#include "shell/Icons.h"
#include "ui_AboutDlg.h"
#include "ui_AboutLabDlg.h"

namespace vantrel {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDlg>())
{
    m_ui->setupUi(this);
    m_ui->icon->setPixmap(MainIcon().pixmap(32, 32));
    m_ui->productLine->setText(QStringLiteral("Fieldline ZR740 Series Vantrel"));
    m_ui->versionLine->setText(QStringLiteral("Version:  R03.08.08, 06-Oct-2006"));
    m_ui->internalLine->setText(QString());
    // An empty line would still take its height in the layout.
    m_ui->internalLine->hide();
}

CAboutDlg::~CAboutDlg() = default;

CAboutLabDlg::CAboutLabDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutLabDlg>())
{
    m_ui->setupUi(this);
    m_ui->icon->setPixmap(MainIcon().pixmap(32, 32));
}

CAboutLabDlg::~CAboutLabDlg() = default;

} // namespace vantrel
