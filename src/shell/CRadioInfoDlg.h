#pragma once

#include "operations/RadioInfo.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class RadioInfoDlg;
}

namespace vantrel {

using ReadRadioInfoFn = std::function<RadioInfoResult(int portIndex)>;

// The Radio Info dialog. All radio traffic happens before it is shown: when
// the read fails (the failure has been shown already) it never appears.
class CRadioInfoDlg : public QDialog {
    Q_OBJECT

public:
    CRadioInfoDlg(ReadRadioInfoFn read, int portIndex, QWidget* parent = nullptr);
    ~CRadioInfoDlg() override;

    // Reads the radio and fills the fields; false when the dialog is not to
    // be shown. exec() runs it first.
    bool InitDialog();
    int exec() override;

private:
    std::unique_ptr<Ui::RadioInfoDlg> m_ui;
    ReadRadioInfoFn m_read;
    int m_portIndex;
    bool m_initialised = false;
    bool m_show = false;
};

} // namespace vantrel
