#include "images/Export.h"

#include <array>

#include "images/SRecordFile.h"
#include "link/Feedback.h"
#include "platform/Files.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdOpenBootcodeFailed = 20109;
constexpr uint32_t kIdSrecordError = 20111;
constexpr uint32_t kIdOpenFirmwareFailed = 20114;
constexpr uint32_t kIdBootcodesCreated = 20137;
constexpr uint32_t kIdFirmwareCreated = 20138;
constexpr uint32_t kIdConvertingFirmware = 20139;
constexpr uint32_t kIdCodeplugsCreated = 20141;
constexpr uint32_t kIdConvertingCodeplugs = 20142;
constexpr uint32_t kIdOutputNotCreated = 20170;
constexpr uint32_t kIdOutputWriteFailed = 20171;
constexpr uint32_t kIdNoDataRecord = 20213;

// The helpers below return the id of the message for their first failure, 0 on success.

void PutLittleEndian32(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool IsSet(const char* text) { return text && *text; }

// A source read to its end must have ended at its end record or the end of
// the file, and must have given data: otherwise the output would be a part of
// the source, or nothing, presented as a conversion.
uint32_t SourceEndProblem(const CSRecordFile& source, bool gaveData)
{
    if (source.Failed() || source.EndedEarly()) return kIdSrecordError;
    return gaveData ? 0 : kIdNoDataRecord;
}

// Writes the firmware record file: the record count, then length, address and
// data of each record. The count was taken by the counting pass; a source that
// yields a different number of records the second time is not written.
uint32_t WriteFirmwareRecordFile(CSRecordFile& source, uint32_t count, const std::string& path)
{
    if (source.Failed()) return kIdSrecordError;
    AtomicFileWriter out;
    if (!out.Open(path)) return kIdOutputNotCreated;
    uint8_t head[4];
    PutLittleEndian32(head, count);
    if (!out.Write(head, sizeof head)) return kIdOutputWriteFailed;

    // Length, address and data go out in one write per record.
    std::array<uint8_t, 5 + kMaxRecordData> entry{};
    ImageRecord record{entry.data() + 5, kMaxRecordData};
    uint32_t written = 0;
    bool gaveData = false;
    for (uint32_t i = 1;; ++i) {
        SendProgress(WM_PROGRESS_POS, i);
        if (!source.NextRecord(record)) break;
        entry[0] = static_cast<uint8_t>(record.length);
        PutLittleEndian32(entry.data() + 1, record.address);
        if (!out.Write(entry.data(), 5 + record.length)) return kIdOutputWriteFailed;
        ++written;
        gaveData = gaveData || record.length != 0;
    }
    if (written != count) return kIdSrecordError;
    if (const uint32_t problem = SourceEndProblem(source, gaveData); problem != 0) return problem;
    return out.Commit() ? 0 : kIdOutputWriteFailed;
}

// One model's EEPROM data file: the data bytes of its source, record by record.
uint32_t ConvertCodeplug(const std::string& sourcePath, const std::string& outputPath)
{
    CSRecordFile source(0);
    if (!source.Open(sourcePath)) return kIdOpenFirmwareFailed;
    const uint32_t count = source.CountRecords();
    SendProgress(WM_PROGRESS_RANGE, count);
    SendProgress(WM_PROGRESS_TEXT, kIdConvertingCodeplugs);
    if (source.Failed()) return kIdSrecordError;

    AtomicFileWriter out;
    if (!out.Open(outputPath)) return kIdOutputNotCreated;
    std::array<uint8_t, kMaxRecordData> data{};
    ImageRecord record{data.data(), kMaxRecordData};
    bool gaveData = false;
    for (uint32_t i = 1;; ++i) {
        SendProgress(WM_PROGRESS_POS, i);
        if (!source.NextRecord(record)) break;
        if (!out.Write(data.data(), record.length)) return kIdOutputWriteFailed;
        gaveData = gaveData || record.length != 0;
    }
    if (const uint32_t problem = SourceEndProblem(source, gaveData); problem != 0) return problem;
    return out.Commit() ? 0 : kIdOutputWriteFailed;
}

uint32_t WriteImageFile(const std::string& path, const ImageBuffer& image)
{
    AtomicFileWriter out;
    if (!out.Open(path)) return kIdOutputNotCreated;
    if (!out.Write(image.data, image.length) || !out.Commit()) return kIdOutputWriteFailed;
    return 0;
}

}  // namespace

bool SaveFirmwareAsBinary(const std::string& folder)
{
    CSRecordFile source(0);
    if (!source.Open(folder + kFirmwareSourceName)) {
        ShowMessage(kMsgError, kIdOpenFirmwareFailed);
        return false;
    }
    const uint32_t count = source.CountRecords();
    SendProgress(WM_PROGRESS_OPEN, count);
    SendProgress(WM_PROGRESS_RANGE, count);
    SendProgress(WM_PROGRESS_TEXT, kIdConvertingFirmware);
    const uint32_t failure = WriteFirmwareRecordFile(source, count, folder + kFirmwareRecordFileName);
    // As in the codeplug export, a failure is shown while the progress window is still up.
    if (failure != 0) ShowMessage(kMsgError, failure);
    SendProgress(WM_PROGRESS_CLOSE);
    if (failure != 0) return false;
    ShowMessage(kMsgInformation, kIdFirmwareCreated);
    return true;
}

bool SaveCodeplugsAsBinary(const std::string& folder, std::span<const ModelRow> rows)
{
    SendProgress(WM_PROGRESS_OPEN, 1);
    uint32_t failure = 0;
    for (const ModelRow& row : rows) {
        if (!IsSet(row.codeplugSourceFile) || !IsSet(row.eepromDataFile) || !IsSet(row.modelNumber)) continue;
        failure = ConvertCodeplug(folder + row.codeplugSourceFile, folder + row.eepromDataFile);
        if (failure != 0) {
            ShowMessage(kMsgError, failure);
            break;
        }
    }
    SendProgress(WM_PROGRESS_CLOSE);
    if (failure != 0) return false;
    ShowMessage(kMsgInformation, kIdCodeplugsCreated);
    return true;
}

bool SaveBootcodesAsBinary(const std::string& folder)
{
    // Bootcode sources are small: read each whole into memory.
    CSRecordFile source(10000);
    for (const BootcodeNames& names : kBootcodeNames) {
        std::array<uint8_t, kBootcodeImageSize> data{};
        ImageBuffer image{data.data(), kBootcodeImageSize};
        uint32_t failure = 0;
        if (!source.Open(folder + names.source)) {
            failure = kIdOpenBootcodeFailed;
        } else if (!source.LoadImage(image)) {
            failure = kIdSrecordError;
        } else if (const uint32_t problem = SourceEndProblem(source, image.length != 0); problem != 0) {
            failure = problem;
        } else {
            failure = WriteImageFile(folder + names.output, image);
        }
        if (failure != 0) {
            ShowMessage(kMsgError, failure);
            return false;
        }
    }
    ShowMessage(kMsgInformation, kIdBootcodesCreated);
    return true;
}

}  // namespace vantrel
