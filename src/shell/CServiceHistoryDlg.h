#pragma once

#include "history/ServiceRecord.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace Ui {
class ServiceHistoryDlg;
}

namespace vantrel {

// Asks where to save a file; an empty string when the operator cancels.
using ChooseSaveFileFn = std::function<QString(QWidget* parent, const QString& title)>;

// The Service history dialog: every record of the history file as a table,
// the newest last, narrowed to one radio by its serial number, and exported
// as CSV with the records shown.
class CServiceHistoryDlg : public QDialog {
    Q_OBJECT

public:
    CServiceHistoryDlg(std::string historyPath, ChooseSaveFileFn chooseSaveFile, QWidget* parent = nullptr);
    ~CServiceHistoryDlg() override;

    QTableWidget* Table() const;
    QLineEdit* SerialFilter() const;
    QPushButton* ExportButton() const;
    QLabel* CountLabel() const;
    const std::vector<ServiceRecord>& Shown() const { return m_records; }

public slots:
    // Reads the history again with the serial filter and fills the table.
    void Reload();
    // Writes the records shown to a CSV file the operator chooses.
    void OnExport();

private:
    std::unique_ptr<Ui::ServiceHistoryDlg> m_ui;
    std::string m_path;
    ChooseSaveFileFn m_chooseSaveFile;
    std::vector<ServiceRecord> m_records;
};

} // namespace vantrel
