#pragma once

#include "operations/RegionalId.h"

#include <QDialog>
#include <functional>
#include <memory>

class QComboBox;

namespace Ui {
class RegionalIdDlg;
}

namespace vantrel {

using ReadRegionalIdFn = std::function<RegionalIdRead(int portIndex)>;
using ProgramRegionalIdFn = std::function<RegionalIdWriteOutcome(int portIndex, uint8_t value)>;

// The Program Regional ID dialog: reads the radio's region as it opens (and
// does not appear when that fails), writes the chosen one on Program.
class CRegionalIdDlg : public QDialog {
    Q_OBJECT

public:
    CRegionalIdDlg(ReadRegionalIdFn read, ProgramRegionalIdFn program, int portIndex, QWidget* parent = nullptr);
    ~CRegionalIdDlg() override;

    bool InitDialog();
    int exec() override;

    QComboBox* RegionList() const;

public slots:
    // Programs the selected region; closes only when that succeeded.
    void OnProgram();

private:
    std::unique_ptr<Ui::RegionalIdDlg> m_ui;
    ReadRegionalIdFn m_read;
    ProgramRegionalIdFn m_program;
    int m_portIndex;
    bool m_initialised = false;
    bool m_show = false;
};

} // namespace vantrel
