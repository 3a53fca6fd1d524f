#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutDlg;
class AboutLabDlg;
} // namespace Ui

namespace vantrel {

// The About box of the service and patch-tool variants. Its product, version
// and internal-use lines are set when it opens.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::AboutDlg> m_ui;
};

// The laboratory variant's About box, shown as its template stands.
class CAboutLabDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutLabDlg(QWidget* parent = nullptr);
    ~CAboutLabDlg() override;

private:
    std::unique_ptr<Ui::AboutLabDlg> m_ui;
};

} // namespace vantrel
