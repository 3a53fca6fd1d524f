#include "shell/CRadioInfoDlg.h"

#include "ui_RadioInfoDlg.h"

namespace vantrel {

CRadioInfoDlg::CRadioInfoDlg(ReadRadioInfoFn read, int portIndex, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RadioInfoDlg>()), m_read(std::move(read)), m_portIndex(portIndex)
{
    m_ui->setupUi(this);
}

CRadioInfoDlg::~CRadioInfoDlg() = default;

bool CRadioInfoDlg::InitDialog()
{
    m_initialised = true;
    // The region is read and kept, but not shown.
    m_ui->regionalId->hide();
    m_ui->regionalIdLabel->hide();
    if (!m_read) return m_show = false;
    const RadioInfoResult result = m_read(m_portIndex);
    if (result.outcome != RadioInfoOutcome::Ok) {
        setResult(QDialog::Rejected);
        return m_show = false;
    }
    const RadioInfoFields& f = result.fields;
    const std::pair<QLineEdit*, const std::string*> fields[] = {
        {m_ui->modelNumber, &f.modelNumber},
        {m_ui->serialNumber, &f.serialNumber},
        {m_ui->esn, &f.esn},
        {m_ui->softwareVersion, &f.softwareVersion},
        {m_ui->codeplugVersion, &f.codeplugVersion},
        {m_ui->lastProgrammed, &f.lastProgrammed},
        {m_ui->codeplugPartNumber, &f.codeplugPartNumber},
        {m_ui->firmwarePartNumber, &f.firmwarePartNumber},
        {m_ui->icVersions, &f.icVersions},
        {m_ui->regionalId, &f.regionalId},
    };
    for (const auto& [edit, value] : fields) {
        // The radio's text is 8-bit; show each byte as its Latin-1 character.
        edit->setText(QString::fromLatin1(value->data(), static_cast<qsizetype>(value->size())));
        edit->setCursorPosition(0);
    }
    return m_show = true;
}

int CRadioInfoDlg::exec()
{
    if (!m_initialised) InitDialog();
    if (!m_show) return QDialog::Rejected;
    return QDialog::exec();
}

} // namespace vantrel
