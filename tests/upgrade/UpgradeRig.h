#pragma once

#include "images/ImageTestSupport.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "sim/SimBench.h"
#include "support/RecordingFeedback.h"
#include "upgrade/UpgradeProcedure.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// A program folder with what an upgrade reads: the three bootcodes, a firmware
// record file and an EEPROM data file for every model of the table. Small
// bootcodes and firmware keep the runs short; `samples` uses the generated
// sample sources through the export commands instead.
struct UpgradeFolder {
    test::TempFolder folder;
    explicit UpgradeFolder(bool samples = false);
    std::string Path() const { return folder.Path(); }
    // The firmware's data by radio flash offset, as flashing must leave it.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> firmware;
};

// One simulated radio on COM1, a virtual clock, a recording feedback, a program
// folder and a per-user data folder for backups, installed for the rig's life.
class UpgradeRig {
public:
    explicit UpgradeRig(const std::string& profile = "default", const std::string& faults = "", bool samples = false);
    ~UpgradeRig();
    UpgradeRig(const UpgradeRig&) = delete;
    UpgradeRig& operator=(const UpgradeRig&) = delete;

    UpgradeResult Run();

    SimRadio& Radio() { return line->Radio(); }
    std::vector<uint8_t>& Eeprom() { return Radio().MutableState().eeprom; }
    // The radio's EEPROM bytes [from, to).
    std::vector<uint8_t> EepromRange(uint32_t from, uint32_t to);
    // True when the radio's flash holds exactly the folder's firmware.
    bool FlashHoldsFirmware();
    bool FlashUntouched() { return Radio().State().flash.IsErased() || flashBefore == Radio().State().flash.Pages(); }
    // The tag byte the run writes: the seed's first byte that differs from the
    // radio's byte before the run.
    uint8_t ExpectedTag() const;
    // Something that happens at the bench when the operator answers a message.
    void OnOperatorAnswer(OperatorActionListener listener)
    {
        m_listeners.push_back(AddOperatorActionListener(std::move(listener)));
    }
    // The backup files in the data folder.
    std::vector<std::string> Backups() const { return data.Names(); }
    std::string BackupPath(const std::string& name) const { return data.File(name); }

    UpgradeSettings settings;
    UpgradeHooks hooks;
    VirtualClock clock{1000};
    SimBench bench{clock};
    PortRouter router;
    RecordingFeedback feedback;
    UpgradeFolder program;
    test::TempFolder data;
    std::shared_ptr<SimLine> line;
    std::vector<uint8_t> eepromBefore;
    std::map<uint32_t, SimFlash::Page> flashBefore;

private:
    std::unique_ptr<ScopedRuntime> m_runtime;
    std::unique_ptr<ScopedFeedback> m_feedback;
    std::vector<int> m_listeners;
};

// A request the radio took in normal or loader mode: its opcode, and the
// address of a read-memory or write-memory request.
struct RadioRequest {
    uint8_t opcode = 0;
    uint32_t address = 0;
};
RadioRequest DecodeRadioRequest(const std::vector<uint8_t>& message);

// The number of the first request of a clean upgrade of the profile that
// matches (after `skip` earlier matches), counted as the simulated radio counts
// them for its faults; 0 when none matches.
using RequestMatch = std::function<bool(const RadioRequest&)>;
uint32_t RequestNumber(const std::string& profile, const RequestMatch& match, int skip = 0);
RequestMatch ReadAt(uint32_t address);
RequestMatch WriteAt(uint32_t address);
RequestMatch Opcode(uint8_t opcode);

} // namespace vantrel
