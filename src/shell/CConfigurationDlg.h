#pragma once

#include "platform/PortProbe.h"
#include "shell/AppSettings.h"

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;

namespace Ui {
class ConfigurationDlg;
}

namespace vantrel {

using ListPortsFn = std::function<std::vector<SerialPortInfo>()>;

// The Configuration dialog: the serial port, the flash rate, and which device
// each of the slots COM1 … COM4 reaches. The caller fills the members, runs
// the dialog and copies them back on OK.
class CConfigurationDlg : public QDialog {
    Q_OBJECT

public:
    CConfigurationDlg(PortProbeFn probe, ListPortsFn listPorts, QWidget* parent = nullptr);
    ~CConfigurationDlg() override;

    int m_nPortIndex = 0;
    int m_nFlashRate = 0;
    std::array<std::string, 4> m_slotTargets;

    // Fills the controls from the members and lists the ports; exec() runs it.
    void InitDialog();
    int exec() override;

    QComboBox* PortList() const;
    QComboBox* SlotBox(int index) const { return m_slotBoxes[static_cast<size_t>(index)]; }

    // A pause in typing this long ends the editing of a slot box.
    static constexpr int kTypingPauseMs = 700;

public slots:
    // Takes the controls into the members and closes with OK.
    void OnOK();

private slots:
    // A slot box was edited: the ports are listed again when a slot now
    // names another device.
    void SlotEdited();

private:
    std::string SlotTargetShown(int index) const;
    // Lists the slots whose device exists; keeps the port index's position.
    void FillPortList(int selectPortIndex);

    std::unique_ptr<Ui::ConfigurationDlg> m_ui;
    PortProbeFn m_probe;
    ListPortsFn m_listPorts;
    std::array<QComboBox*, 4> m_slotBoxes{};
    // List position → port index, for the ports listed.
    std::array<int, 4> m_portTable{};
    // The slot devices the port list was made from.
    std::array<std::string, 4> m_listedTargets;
    QTimer m_typingPause;
    bool m_initialised = false;
};

} // namespace vantrel
