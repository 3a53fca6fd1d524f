#include "operations/RadioInfo.h"

#include "history/OperationJournal.h"
#include "link/CauseNotes.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "operations/RadioInfoFormat.h"

#include <cstring>

namespace vantrel {
namespace {

constexpr uint32_t kNormalRate = 9600;

enum class Decode { Text, ModelNumber, Esn, Region, IcVersions };

struct ItemField {
    uint8_t item;
    std::string RadioInfoFields::*field;
    Decode decode;
};

// The order in which the items are read; a communication failure stops the
// reading wherever it happens.
constexpr ItemField kItems[] = {
    {kItemModelNumber, &RadioInfoFields::modelNumber, Decode::ModelNumber},
    {kItemSerialNumber, &RadioInfoFields::serialNumber, Decode::Text},
    {kItemSoftwareVersion, &RadioInfoFields::softwareVersion, Decode::Text},
    {kItemCodeplugVersion, &RadioInfoFields::codeplugVersion, Decode::Text},
    {kItemLastProgrammed, &RadioInfoFields::lastProgrammed, Decode::Text},
    {kItemCodeplugPartNumber, &RadioInfoFields::codeplugPartNumber, Decode::Text},
    {kItemFirmwarePartNumber, &RadioInfoFields::firmwarePartNumber, Decode::Text},
    {kItemEsn, &RadioInfoFields::esn, Decode::Esn},
    {kItemRegionalId, &RadioInfoFields::regionalId, Decode::Region},
    {kItemIcVersions, &RadioInfoFields::icVersions, Decode::IcVersions},
};

std::string DecodeValue(Decode decode, const uint8_t* value, uint32_t length)
{
    switch (decode) {
    case Decode::ModelNumber:
        return FormatModelNumber(value, length);
    case Decode::Esn:
        return FormatEsn(value, length);
    case Decode::Region:
        return FormatRegion(value, length);
    case Decode::IcVersions:
        return FormatIcVersions(value, length);
    case Decode::Text:
        break;
    }
    return FormatText(value, length);
}

// Model and serial number may be refused by older radios (an intact answer
// that is not the value); every other item may be "not supported".
bool ToleratesFailure(uint8_t item, int32_t status)
{
    if (item == kItemModelNumber || item == kItemSerialNumber) return status == LinkOk;
    return status == LinkNotSupported;
}

RadioInfoResult ReadItems(int portIndex)
{
    RadioInfoResult result;
    Feedback& feedback = CurrentFeedback();
    const std::string portName = PortNameFromIndex(portIndex);

    CSerialPort port;
    if (!port.Open(portName, kNormalRate)) {
        feedback.ShowPortOpenFailure(portName, port.LastOpenError());
        result.outcome = RadioInfoOutcome::PortOpenFailed;
        return result;
    }

    feedback.BeginWaitCursor();
    CRadioLink& link = TheRadioLink();
    link.Attach(&port);

    uint8_t value[kInfoBufferSize];
    for (const ItemField& entry : kItems) {
        uint32_t length = 0;
        std::memset(value, 0, sizeof value);
        if (ReadInfo(value, entry.item, length)) {
            result.fields.*entry.field = DecodeValue(entry.decode, value, length);
            result.values[entry.item] = {true, std::vector<uint8_t>(value, value + length)};
            continue;
        }
        const int32_t status = link.TakeStatus();
        if (!ToleratesFailure(entry.item, status)) {
            // No reset: the radio may not be listening, and the operator is told to check the connection.
            link.Attach(nullptr);
            port.Close();
            feedback.EndWaitCursor();
            if (status == LinkNoResponse) ShowNoAnswerNote(port);
            ShowMessage(kMsgError, 20157);
            result.outcome = RadioInfoOutcome::CommunicationError;
            result.fields = {};
            result.values = {};
            return result;
        }
        if (status == LinkNotSupported) result.fields.*entry.field = "n/a";
    }

    ResetRadio();
    link.Attach(nullptr);
    port.Close();
    feedback.EndWaitCursor();
    result.outcome = RadioInfoOutcome::Ok;
    return result;
}

} // namespace

RadioInfoResult ReadRadioInfo(int portIndex)
{
    COperationJournal journal("info", portIndex, kNormalRate);
    journal.VersionsUnchanged();
    RadioInfoResult result = ReadItems(portIndex);
    journal.SetOutcome(result.outcome == RadioInfoOutcome::Ok ? ServiceOutcome::Succeeded : ServiceOutcome::Failed);
    return result;
}

} // namespace vantrel
