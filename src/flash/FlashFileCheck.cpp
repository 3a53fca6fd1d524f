#include "flash/FlashFileCheck.h"

#include "flash/BootstrapLink.h"
#include "flash/FirmwareImage.h"
#include "images/SRecordFile.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "platform/Files.h"

#include <cstdio>
#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kIdOpenBootcode = 20109;
constexpr uint32_t kIdSRecordError = 20111;
constexpr uint32_t kIdOpenFirmware = 20114;
constexpr uint32_t kIdBootcodeTooLarge = 20185;
// Records of 45 bytes covering the whole 16 MiB flash address space make a
// file of under 20 MiB; a far larger file is not a firmware record file.
constexpr size_t kMaxFirmwareFileSize = 64u * 1024 * 1024;

std::string Hex24(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", value & 0xFFFFFFu);
    return text;
}

FileProblem RecordFileFirmware(const std::string& path, FirmwareImage& image)
{
    std::vector<uint8_t> bytes;
    if (!IsRegularFile(path) || ReadFileAtMost(path, kMaxFirmwareFileSize, bytes) != BoundedRead::Ok)
        return {kIdOpenFirmware, {}};
    const FirmwareFileError error = ParseFirmwareRecordFile(bytes.data(), bytes.size(), image);
    if (error != FirmwareFileError::None) return {FirmwareFileMessage(error), {}};
    return {};
}

FileProblem SRecordFirmware(const std::string& path, FirmwareImage& image)
{
    CSRecordFile file(0);
    if (!file.Open(path)) return {kIdOpenFirmware, {}};
    const uint32_t count = file.CountRecords();
    // A record with more data than one write command is refused by the reader
    // itself, never copied short.
    uint8_t data[kMaxWriteMemoryCount];
    ImageRecord record{data, sizeof data};
    while (file.NextRecord(record)) {
        const FirmwareFileError error = AddFirmwareRecord(image, record.address, data, record.length);
        if (error != FirmwareFileError::None) return {FirmwareFileMessage(error), {}};
    }
    if (file.Error() == SRecordError::RecordTooLarge)
        return {FirmwareFileMessage(FirmwareFileError::RecordTooLong), {}};
    if (file.Failed() || image.records.size() != count) return {kIdSRecordError, {}};
    // A file that stops at a line that is not a record was not read whole.
    if (file.EndedEarly())
        return {kIdSRecordError, path + ": reading stopped at a line that is not an S-record, before the end record"};
    return {};
}

} // namespace

FileProblem CheckBootcodeFile(const std::string& path)
{
    if (!IsRegularFile(path)) return {kIdOpenBootcode, path.empty() ? "no bootcode for this flash rate" : path};
    std::vector<uint8_t> bytes;
    switch (ReadFileAtMost(path, kMaxBootcode, bytes)) {
    case BoundedRead::Ok:
        break;
    case BoundedRead::TooLarge:
        return {kIdBootcodeTooLarge, path};
    case BoundedRead::CannotOpen:
    case BoundedRead::ReadError:
        return {kIdOpenBootcode, path};
    }
    if (bytes.empty()) return {kIdOpenBootcode, path + " is empty"};
    return {};
}

FileProblem ReadFirmwareForFlashing(const FlashFileSet& files, FirmwareImage& image)
{
    image = {};
    FileProblem problem = files.firmwareIsSRecord ? SRecordFirmware(files.firmwarePath, image)
                                                  : RecordFileFirmware(files.firmwarePath, image);
    if (problem.Found()) {
        image = {};
        return problem;
    }
    uint32_t overlap = 0;
    const FirmwareFileError error = CheckFirmwareForFlashing(image, overlap);
    if (error == FirmwareFileError::Overlap) {
        std::string detail = "First flash address written twice: ";
        detail += Hex24(overlap);
        problem = {FirmwareFileMessage(error), detail};
    } else if (error != FirmwareFileError::None) {
        problem = {FirmwareFileMessage(error), files.firmwarePath};
    }
    if (problem.Found()) image = {};
    return problem;
}

bool ShowFileProblem(const FileProblem& problem)
{
    if (!problem.Found()) return false;
    ShowMessage(kMsgError, problem.messageId);
    if (!problem.detail.empty()) CurrentFeedback().ShowFailureNote(problem.detail);
    return true;
}

} // namespace vantrel
