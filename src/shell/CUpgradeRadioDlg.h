#pragma once

#include "upgrade/UpgradeProcedure.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class UpgradeRadioDlg;
}

namespace vantrel {


using RunUpgradeFn = std::function<UpgradeResult(const UpgradeSettings& settings)>;

// The Upgrade Radio dialog: a caution and two buttons. Start Upgrade closes it
// and runs the whole upgrade before returning; Cancel does nothing at all.
class CUpgradeRadioDlg : public QDialog {
    Q_OBJECT

public:
    explicit CUpgradeRadioDlg(RunUpgradeFn run, QWidget* parent = nullptr);
    ~CUpgradeRadioDlg() override;

    uint32_t flashRate = 0;
    std::string firmwarePath;
    std::string programDir;
    int portIndex = 0;
    // firmwarePath is an S-record file the operator selected, not the carried
    // firmware record file.
    bool firmwareSelected = false;

public slots:
    // Start Upgrade.
    void OnOK();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::UpgradeRadioDlg> m_ui;
    RunUpgradeFn m_run;
};

} // namespace vantrel
