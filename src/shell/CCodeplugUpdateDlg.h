#pragma once

#include "flash/CodeplugWriter.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class CodeplugUpdateDlg;
}

namespace vantrel {

using WriteCodeplugFn = std::function<CodeplugWriteOutcome(const CodeplugWriteOptions&)>;

// The Codeplug Update dialog: the operator chooses the layouts and what to
// write and keep; OK closes it and writes the file into the radio.
class CCodeplugUpdateDlg : public QDialog {
    Q_OBJECT

public:
    CCodeplugUpdateDlg(WriteCodeplugFn write, int portIndex, QWidget* parent = nullptr);
    ~CCodeplugUpdateDlg() override;

    // Set by the command handler before the dialog is shown.
    std::string codeplugPath;
    int flashRate = 0; // writing runs at 9600 Bd whatever the flash rate

    // Sets the defaults and shows the path; exec() runs it first.
    void InitDialog();
    int exec() override;

    // What the controls ask for, as options for the write.
    CodeplugWriteOptions Choices() const;
    // How the write ended; empty when the dialog was cancelled.
    std::optional<CodeplugWriteOutcome> Outcome() const { return m_outcome; }

public slots:
    // The OK handler: closes the dialog, then writes with the choices made.
    void WriteCodeplug();

private:
    std::unique_ptr<Ui::CodeplugUpdateDlg> m_ui;
    WriteCodeplugFn m_write;
    int m_portIndex;
    bool m_initialised = false;
    std::optional<CodeplugWriteOutcome> m_outcome;
};

} // namespace vantrel
