#include "shell/CServiceHistoryDlg.h"

#include "history/HistoryStore.h"
#include "history/HistoryText.h"
#include "link/StringTable.h"
#include "ui_ServiceHistoryDlg.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QTableWidgetItem>

namespace vantrel {
namespace {

constexpr uint32_t kIdHistorySetAside = 20257;
constexpr uint32_t kIdExportFailed = 20258;
constexpr uint32_t kIdExported = 20259;
constexpr uint32_t kIdRecordCount = 20260;
constexpr uint32_t kIdCannotRead = 20261;

QString Text(uint32_t id, const std::string& value)
{
    return QString::fromStdString(MessageTextWith(id, value));
}

// "serial_number" → "Serial number".
QString Heading(const std::string& column)
{
    QString text = QString::fromStdString(column).replace(QLatin1Char('_'), QLatin1Char(' '));
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text;
}

} // namespace

CServiceHistoryDlg::CServiceHistoryDlg(std::string historyPath, ChooseSaveFileFn chooseSaveFile, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ServiceHistoryDlg>()), m_path(std::move(historyPath)),
      m_chooseSaveFile(std::move(chooseSaveFile))
{
    m_ui->setupUi(this);
    QStringList headings;
    for (const std::string& column : HistoryColumnNames())
        headings << Heading(column);
    m_ui->recordTable->setColumnCount(static_cast<int>(headings.size()));
    m_ui->recordTable->setHorizontalHeaderLabels(headings);
    m_ui->recordTable->verticalHeader()->setVisible(false);
    connect(m_ui->serialFilter, &QLineEdit::textChanged, this, &CServiceHistoryDlg::Reload);
    connect(m_ui->exportButton, &QPushButton::clicked, this, &CServiceHistoryDlg::OnExport);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    Reload();
}

CServiceHistoryDlg::~CServiceHistoryDlg() = default;

QTableWidget* CServiceHistoryDlg::Table() const
{
    return m_ui->recordTable;
}

QLineEdit* CServiceHistoryDlg::SerialFilter() const
{
    return m_ui->serialFilter;
}

QPushButton* CServiceHistoryDlg::ExportButton() const
{
    return m_ui->exportButton;
}

QLabel* CServiceHistoryDlg::CountLabel() const
{
    return m_ui->countLabel;
}

void CServiceHistoryDlg::Reload()
{
    std::vector<ServiceRecord> all;
    std::string error;
    std::string setAside;
    const bool read = ReadServiceHistory(m_path, {}, all, error, setAside);
    m_ui->fileLabel->setText(!read               ? Text(kIdCannotRead, m_path + ": " + error)
                             : !setAside.empty() ? Text(kIdHistorySetAside, setAside)
                                                 : QString::fromStdString(m_path));
    // Typing narrows the list as it goes: a part of the serial number is enough.
    const QString wanted = m_ui->serialFilter->text().trimmed();
    m_records.clear();
    for (ServiceRecord& record : all) {
        if (wanted.isEmpty() || QString::fromStdString(record.serialNumber).contains(wanted, Qt::CaseInsensitive))
            m_records.push_back(std::move(record));
    }
    QTableWidget* table = m_ui->recordTable;
    table->setRowCount(static_cast<int>(m_records.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const std::vector<std::string> values = HistoryColumnValues(m_records[static_cast<size_t>(row)]);
        for (int column = 0; column < static_cast<int>(values.size()); ++column)
            table->setItem(row, column,
                           new QTableWidgetItem(QString::fromStdString(values[static_cast<size_t>(column)])));
    }
    table->resizeColumnsToContents();
    m_ui->countLabel->setText(Text(kIdRecordCount, std::to_string(m_records.size())));
}

void CServiceHistoryDlg::OnExport()
{
    const QString path =
        m_chooseSaveFile ? m_chooseSaveFile(this, m_ui->exportButton->text().remove(QLatin1Char('&'))) : QString();
    if (path.isEmpty()) return;
    std::string error;
    if (!WriteHistoryCsv(path.toStdString(), m_records, error)) {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(LoadMessageText(20000)),
                        Text(kIdExportFailed, path.toStdString()), QMessageBox::Ok, this);
        box.setInformativeText(QString::fromStdString(error));
        box.exec();
        return;
    }
    m_ui->fileLabel->setText(Text(kIdExported, path.toStdString()));
}

} // namespace vantrel
