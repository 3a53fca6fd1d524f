#include "link/CauseNotes.h"

#include "link/Feedback.h"
#include "link/SerialPort.h"
#include "link/StringTable.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdNoAnswer = 20239;
constexpr uint32_t kIdNotOpened = 20240;

std::string DeviceOf(const CSerialPort& port)
{
    return port.DeviceName().empty() ? "no device assigned" : port.DeviceName();
}

} // namespace

void ShowPortNotOpenedNote(const CSerialPort& port)
{
    std::string reason = port.LastOpenError().message;
    while (!reason.empty() && reason.back() == '.')
        reason.pop_back();
    CurrentFeedback().ShowNote(MessageWith(kIdNotOpened, {port.PortName(), DeviceOf(port), reason}));
}

void ShowNoAnswerNote(const CSerialPort& port)
{
    CurrentFeedback().ShowNote(MessageWith(kIdNoAnswer, {port.PortName(), DeviceOf(port)}));
    ShowRecoveryHint(RecoveryWay::Firmware, "");
}

} // namespace vantrel
