#include "operations/RegionalId.h"

#include "history/OperationJournal.h"
#include "link/CauseNotes.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "operations/RadioInfoFormat.h"

#include <cstdio>

namespace vantrel {
namespace {

constexpr uint32_t kNormalRate = 9600;
constexpr uint8_t kNoRegion = 0xFF;
constexpr uint32_t kIdRegionFirstName = 20200;
constexpr uint32_t kIdRegionReplyInvalid = 20008;
constexpr uint32_t kIdRegionProgrammed = 20012;
constexpr uint32_t kIdRegionNotProgrammed = 20013;
constexpr uint32_t kIdCommunicationError = 20157;

// One transaction's port: open at 9600 Bd, attached to the link with the wait
// cursor showing; detached, closed and the cursor ended when it goes.
class RegionTransaction {
public:
    explicit RegionTransaction(int portIndex) : m_name(PortNameFromIndex(portIndex))
    {
        if (!m_port.Open(m_name, kNormalRate)) {
            CurrentFeedback().ShowPortOpenFailure(m_name, m_port.LastOpenError());
            return;
        }
        m_open = true;
        CurrentFeedback().BeginWaitCursor();
        TheRadioLink().Attach(&m_port);
    }
    ~RegionTransaction() { End(); }
    RegionTransaction(const RegionTransaction&) = delete;
    RegionTransaction& operator=(const RegionTransaction&) = delete;

    bool IsOpen() const { return m_open; }
    const CSerialPort& Port() const { return m_port; }

    void End()
    {
        if (!m_open) return;
        m_open = false;
        TheRadioLink().Attach(nullptr);
        m_port.Close();
        CurrentFeedback().EndWaitCursor();
    }

private:
    std::string m_name;
    CSerialPort m_port;
    bool m_open = false;
};

RegionalIdRead ReadRegion(int portIndex);
RegionalIdWriteOutcome WriteRegion(int portIndex, uint8_t value);

// "Regional ID: North America (0x01)", for the service history.
std::string RegionDetail(const char* what, uint8_t value)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", value);
    return std::string(what) + ": " + FormatRegion(&value, 1) + " (" + hex + ")";
}

} // namespace

uint8_t RegionValueAt(int position)
{
    return position >= 0 && position < kRegionCount - 1 ? static_cast<uint8_t>(position) : kNoRegion;
}

int RegionPosition(uint8_t value)
{
    if (value < kRegionCount - 1) return value;
    return value == kNoRegion ? kRegionCount - 1 : -1;
}

uint32_t RegionNameId(int position)
{
    return position >= 0 && position < kRegionCount ? kIdRegionFirstName + static_cast<uint32_t>(position) : 0;
}

RegionalIdRead ReadRegionalId(int portIndex)
{
    COperationJournal journal("region-read", portIndex, kNormalRate);
    const RegionalIdRead result = ReadRegion(portIndex);
    const bool valid = result.outcome == RegionalIdReadOutcome::Valid;
    if (valid) HistoryNoteDetail(RegionDetail("Regional ID", result.value));
    journal.SetOutcome(valid ? ServiceOutcome::Succeeded : ServiceOutcome::Failed);
    return result;
}

RegionalIdWriteOutcome ProgramRegionalId(int portIndex, uint8_t value)
{
    COperationJournal journal("region-write", portIndex, kNormalRate);
    HistoryNoteDetail(RegionDetail("Regional ID to program", value));
    const RegionalIdWriteOutcome outcome = WriteRegion(portIndex, value);
    journal.SetOutcome(outcome == RegionalIdWriteOutcome::Programmed ? ServiceOutcome::Succeeded
                                                                     : ServiceOutcome::Failed);
    return outcome;
}

namespace {

RegionalIdRead ReadRegion(int portIndex)
{
    RegionalIdRead result;
    RegionTransaction transaction(portIndex);
    if (!transaction.IsOpen()) {
        result.outcome = RegionalIdReadOutcome::PortOpenFailed;
        return result;
    }

    uint8_t value[kInfoBufferSize] = {};
    uint32_t length = 0;
    if (ReadInfo(value, kItemRegionalId, length)) {
        if (length == 1) {
            result.outcome = RegionalIdReadOutcome::Valid;
            result.value = value[0];
        } else {
            result.outcome = RegionalIdReadOutcome::Invalid;
            ShowMessage(kMsgError, kIdRegionReplyInvalid);
        }
    } else if (const int32_t status = TheRadioLink().TakeStatus(); status != LinkOk) {
        // The radio did not answer sensibly: a reset would not reach it either.
        transaction.End();
        if (status == LinkNoResponse) ShowNoAnswerNote(transaction.Port());
        result.outcome = RegionalIdReadOutcome::CommunicationError;
        ShowMessage(kMsgError, kIdCommunicationError);
        return result;
    } else {
        result.outcome = RegionalIdReadOutcome::Invalid;
        result.refused = true;
    }
    ResetRadio();
    return result;
}

RegionalIdWriteOutcome WriteRegion(int portIndex, uint8_t value)
{
    RegionTransaction transaction(portIndex);
    if (!transaction.IsOpen()) return RegionalIdWriteOutcome::PortOpenFailed;

    const uint8_t payload[2] = {kWriteItemRegionalId, value};
    const bool ok = WriteInfo(payload, sizeof payload);
    // Shown while the port is still open, before the reset.
    ShowMessage(ok ? kMsgInformation : kMsgError, ok ? kIdRegionProgrammed : kIdRegionNotProgrammed);
    ResetRadio();
    return ok ? RegionalIdWriteOutcome::Programmed : RegionalIdWriteOutcome::Failed;
}

} // namespace

} // namespace vantrel
