#include "shell/CConfigurationDlg.h"

#include "platform/PortRouter.h"
#include "shell/Icons.h"
#include "ui_ConfigurationDlg.h"

#include <QLineEdit>
#include <QPushButton>

namespace vantrel {
namespace {

const char kSimTarget[] = "sim";

} // namespace

CConfigurationDlg::CConfigurationDlg(PortProbeFn probe, ListPortsFn listPorts, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ConfigurationDlg>()), m_probe(std::move(probe)),
      m_listPorts(std::move(listPorts))
{
    m_ui->setupUi(this);
    m_ui->cautionPicture->setPixmap(CautionPicture());
    m_slotBoxes = {m_ui->slotDevice1, m_ui->slotDevice2, m_ui->slotDevice3, m_ui->slotDevice4};
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        m_slotTargets[static_cast<size_t>(i)] = PortRouter::DefaultSlotTarget(i);
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CConfigurationDlg::OnOK);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(kTypingPauseMs);
    connect(&m_typingPause, &QTimer::timeout, this, &CConfigurationDlg::SlotEdited);
}

CConfigurationDlg::~CConfigurationDlg() = default;

QComboBox* CConfigurationDlg::PortList() const
{
    return m_ui->portList;
}

int CConfigurationDlg::exec()
{
    if (!m_initialised) InitDialog();
    return QDialog::exec();
}

void CConfigurationDlg::InitDialog()
{
    m_initialised = true;
    m_ui->rate1004->setChecked(m_nFlashRate == 19200);
    m_ui->rate1005->setChecked(m_nFlashRate == 38400);
    m_ui->rate1006->setChecked(m_nFlashRate == 115200);

    QStringList devices;
    if (m_listPorts) {
        for (const SerialPortInfo& port : m_listPorts()) {
            devices << QString::fromStdString(port.path);
            if (!port.byIdPath.empty()) devices << QString::fromStdString(port.byIdPath);
        }
    }
    devices << QString::fromLatin1(kSimTarget);
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        QComboBox* box = m_slotBoxes[static_cast<size_t>(i)];
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(devices);
        box->setCurrentText(QString::fromStdString(m_slotTargets[static_cast<size_t>(i)]));
        // A slot pointed elsewhere may reach a device that exists (or not):
        // the ports are listed again once the operator has finished with the
        // box (a device picked, focus gone, Enter, or a pause in typing), never
        // for the partial names typed on the way, which may be other devices.
        connect(box, &QComboBox::activated, this, &CConfigurationDlg::SlotEdited);
        if (QLineEdit* edit = box->lineEdit())
            connect(edit, &QLineEdit::editingFinished, this, &CConfigurationDlg::SlotEdited);
        connect(box, &QComboBox::editTextChanged, this, [this] { m_typingPause.start(); });
    }
    FillPortList(m_nPortIndex);
}

void CConfigurationDlg::SlotEdited()
{
    m_typingPause.stop();
    std::array<std::string, 4> shown;
    for (int i = 0; i < PortRouter::kSlotCount; ++i)
        shown[static_cast<size_t>(i)] = SlotTargetShown(i);
    if (shown == m_listedTargets) return;
    const int position = m_ui->portList->currentIndex();
    FillPortList(position >= 0 ? m_portTable[static_cast<size_t>(position)] : m_nPortIndex);
}

std::string CConfigurationDlg::SlotTargetShown(int index) const
{
    const QString text = m_slotBoxes[static_cast<size_t>(index)]->currentText().trimmed();
    return text.isEmpty() ? PortRouter::DefaultSlotTarget(index) : text.toStdString();
}

void CConfigurationDlg::FillPortList(int selectPortIndex)
{
    QComboBox* list = m_ui->portList;
    list->clear();
    int selected = -1;
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        m_listedTargets[static_cast<size_t>(i)] = SlotTargetShown(i);
        // A port that does not exist is left out; one that exists but is held
        // by another program is offered all the same.
        const PortProbeResult result = m_probe ? m_probe(SlotTargetShown(i)) : PortProbeResult::Missing;
        if (result == PortProbeResult::Missing) continue;
        const int position = list->count();
        m_portTable[static_cast<size_t>(position)] = i;
        list->addItem(QString::fromStdString(PortRouter::SlotName(i)));
        if (i == selectPortIndex) selected = position;
    }
    list->setCurrentIndex(selected);
}

void CConfigurationDlg::OnOK()
{
    if (m_ui->rate1004->isChecked()) {
        m_nFlashRate = 19200;
    } else if (m_ui->rate1005->isChecked()) {
        m_nFlashRate = 38400;
    } else if (m_ui->rate1006->isChecked()) {
        m_nFlashRate = 115200;
    }
    const int position = m_ui->portList->currentIndex();
    if (position >= 0 && position < m_ui->portList->count()) {
        m_nPortIndex = m_portTable[static_cast<size_t>(position)];
    }
    for (int i = 0; i < PortRouter::kSlotCount; ++i)
        m_slotTargets[static_cast<size_t>(i)] = SlotTargetShown(i);
    accept();
}

} // namespace vantrel
