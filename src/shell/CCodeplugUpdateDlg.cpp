#include "shell/CCodeplugUpdateDlg.h"

#include "ui_CodeplugUpdateDlg.h"

namespace vantrel {

CCodeplugUpdateDlg::CCodeplugUpdateDlg(WriteCodeplugFn write, int portIndex, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CodeplugUpdateDlg>()), m_write(std::move(write)),
      m_portIndex(portIndex)
{
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CCodeplugUpdateDlg::WriteCodeplug);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CCodeplugUpdateDlg::~CCodeplugUpdateDlg() = default;

void CCodeplugUpdateDlg::InitDialog()
{
    m_initialised = true;
    m_ui->phase3ToPhase3->setChecked(true);
    for (QCheckBox* box : {m_ui->writeHardware, m_ui->saveTuning, m_ui->writeApplication, m_ui->saveRegionalId,
                           m_ui->saveSerialNumber, m_ui->saveEsn}) {
        box->setChecked(true);
    }
    const QString path = QString::fromStdString(codeplugPath);
    m_ui->codeplugPath->setText(path);
    m_ui->codeplugPath->setToolTip(path);
}

int CCodeplugUpdateDlg::exec()
{
    if (!m_initialised) InitDialog();
    return QDialog::exec();
}

CodeplugWriteOptions CCodeplugUpdateDlg::Choices() const
{
    CodeplugWriteOptions options;
    options.portIndex = m_portIndex;
    options.codeplugPath = codeplugPath;
    if (m_ui->phase12ToPhase12->isChecked())
        options.layout = CodeplugLayoutChoice::Phase12ToPhase12;
    else if (m_ui->phase12ToPhase3->isChecked())
        options.layout = CodeplugLayoutChoice::Phase12ToPhase3;
    else
        options.layout = CodeplugLayoutChoice::Phase3ToPhase3;
    options.writeHardware = m_ui->writeHardware->isChecked();
    options.saveTuning = m_ui->saveTuning->isChecked();
    options.writeApplication = m_ui->writeApplication->isChecked();
    options.saveRegionalId = m_ui->saveRegionalId->isChecked();
    options.saveSerialNumber = m_ui->saveSerialNumber->isChecked();
    options.saveEsn = m_ui->saveEsn->isChecked();
    // What is about to be overwritten is always saved first.
    options.backup = true;
    return options;
}

void CCodeplugUpdateDlg::WriteCodeplug()
{
    const CodeplugWriteOptions options = Choices();
    // The dialog is gone before the radio is touched; the progress window and
    // the outcome belong to the main frame.
    accept();
    if (m_write) m_outcome = m_write(options);
}

} // namespace vantrel
