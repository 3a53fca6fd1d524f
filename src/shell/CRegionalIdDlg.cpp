#include "shell/CRegionalIdDlg.h"

#include "link/Feedback.h"
#include "link/StringTable.h"
#include "ui_RegionalIdDlg.h"

namespace vantrel {

CRegionalIdDlg::CRegionalIdDlg(ReadRegionalIdFn read, ProgramRegionalIdFn program, int portIndex, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RegionalIdDlg>()), m_read(std::move(read)),
      m_program(std::move(program)), m_portIndex(portIndex)
{
    m_ui->setupUi(this);
    connect(m_ui->programButton, &QPushButton::clicked, this, &CRegionalIdDlg::OnProgram);
    connect(m_ui->abortButton, &QPushButton::clicked, this, &QDialog::reject);
}

CRegionalIdDlg::~CRegionalIdDlg() = default;

QComboBox* CRegionalIdDlg::RegionList() const
{
    return m_ui->regionList;
}

bool CRegionalIdDlg::InitDialog()
{
    m_initialised = true;
    if (!m_read) return m_show = false;
    const RegionalIdRead read = m_read(m_portIndex);
    if (read.outcome != RegionalIdReadOutcome::Valid) {
        setResult(QDialog::Rejected);
        return m_show = false;
    }
    m_ui->regionList->clear();
    for (int position = 0; position < kRegionCount; ++position) {
        m_ui->regionList->addItem(QString::fromUtf8(LoadMessageText(RegionNameId(position))));
    }
    // A region byte outside the list leaves the choice to the operator.
    m_ui->regionList->setCurrentIndex(RegionPosition(read.value));
    return m_show = true;
}

int CRegionalIdDlg::exec()
{
    if (!m_initialised) InitDialog();
    if (!m_show) return QDialog::Rejected;
    return QDialog::exec();
}

void CRegionalIdDlg::OnProgram()
{
    const int position = m_ui->regionList->currentIndex();
    if (position < 0 || position >= kRegionCount) {
        ShowMessage(kMsgError, 20011);
        return;
    }
    if (!m_program) return;
    // On failure the dialog stays open with its selection, to try again or abort.
    if (m_program(m_portIndex, RegionValueAt(position)) == RegionalIdWriteOutcome::Programmed) accept();
}

} // namespace vantrel
