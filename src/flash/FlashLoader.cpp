#include "flash/FlashLoader.h"

#include "flash/BootstrapLink.h"
#include "flash/FirmwareImage.h"
#include "flash/FlashFileCheck.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "platform/Files.h"
#include "platform/Runtime.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace vantrel {
namespace {

constexpr uint32_t kRecordBuffer = 500;
constexpr uint32_t kPromptSettleMs = 1500;
constexpr uint32_t kReadyLimitMs = 700;
constexpr uint8_t kReadyByte = 'P';
constexpr uint32_t kFlashedSettleMs = 1000;

constexpr uint32_t kIdBufferError = 20108;
constexpr uint32_t kIdOpenBootcode = 20109;
constexpr uint32_t kIdOpenPort = 20110;
constexpr uint32_t kIdReadyTimeout = 20113;
constexpr uint32_t kIdDownloadingFirmware = 20128;
constexpr uint32_t kIdErasingFlash = 20129;
constexpr uint32_t kIdBootstrapPrompt = 20133;
constexpr uint32_t kIdBootcodeTooLarge = 20185;

enum class BootcodeRead { Ok, OpenFailed, TooLarge };

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole bootcode into the buffer, never past it: a file with a byte
// beyond the buffer is refused.
BootcodeRead ReadBootcodeFile(const std::string& path, std::vector<uint8_t>& buffer, uint32_t& length)
{
    length = 0;
    if (path.empty()) return BootcodeRead::OpenFailed;
    const std::unique_ptr<std::FILE, FileCloser> file(OpenFile(path, "rb"));
    if (!file) return BootcodeRead::OpenFailed;
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (std::ferror(file.get())) return BootcodeRead::OpenFailed;
    uint8_t beyond = 0;
    if (got == buffer.size() && std::fread(&beyond, 1, 1, file.get()) == 1) return BootcodeRead::TooLarge;
    if (std::ferror(file.get())) return BootcodeRead::OpenFailed;
    length = static_cast<uint32_t>(got);
    return BootcodeRead::Ok;
}

// Leaves the link without a pointer to a port that is about to close.
class LinkPortRelease {
public:
    explicit LinkPortRelease(CSerialPort& port) : m_port(port) {}
    ~LinkPortRelease()
    {
        if (TheRadioLink().Port() == &m_port) TheRadioLink().Attach(nullptr);
    }
    LinkPortRelease(const LinkPortRelease&) = delete;
    LinkPortRelease& operator=(const LinkPortRelease&) = delete;

private:
    CSerialPort& m_port;
};

} // namespace

CFlashLoader::CFlashLoader(const FlashFileSet& fileSet, uint32_t flashRate, int portIndex)
    : m_fileSet(fileSet), m_flashRate(flashRate), m_portIndex(portIndex)
{
}

bool CFlashLoader::AllocateImage(uint32_t size)
{
    m_image.clear();
    m_image.shrink_to_fit();
    m_imageLength = 0;
    try {
        m_image.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CFlashLoader::LoadBootcode(bool prompt)
{
    if (!AllocateImage(kMaxBootcode)) {
        ShowMessage(kMsgError, kIdBufferError);
        return false;
    }
    // Closed by its destructor on every way out.
    CSerialPort port;
    const std::string portName = PortNameFromIndex(m_portIndex);
    if (prompt) {
        if (!port.Open(portName, kBootstrapRate)) {
            ShowMessage(kMsgError, kIdOpenPort);
            return false;
        }
        if (ShowMessage(kMsgWarningOkCancel, kIdBootstrapPrompt) == 0) {
            SendProgress(WM_PROGRESS_CLOSE);
            cancelled = true;
            return false;
        }
        // The radio restarts after the operator reconnects its battery; what
        // it sent meanwhile is noise, but a break stays noted by the port.
        CurrentClock().Sleep(kPromptSettleMs);
        port.SetBaudRate(m_fileSet.bootstrapRate);
        port.SettleAndPurge();
    } else if (!port.Open(portName, m_fileSet.bootstrapRate)) {
        ShowMessage(kMsgError, kIdOpenPort);
        return false;
    }
    SendProgress(WM_PROGRESS_SHOWBAR);

    switch (ReadBootcodeFile(m_fileSet.bootcodePath, m_image, m_imageLength)) {
    case BootcodeRead::Ok:
        break;
    case BootcodeRead::OpenFailed:
        ShowMessage(kMsgError, kIdOpenBootcode);
        return false;
    case BootcodeRead::TooLarge:
        ShowMessage(kMsgError, kIdBootcodeTooLarge);
        return false;
    }

    CBootstrapLink bootstrap(port);
    if (!bootstrap.Download(m_image.data(), m_imageLength)) return false;

    port.SetBaudRate(m_flashRate);
    uint8_t ready = 0;
    if (port.ReadTimed(&ready, 1, kReadyLimitMs) == 1 && ready == kReadyByte) return true;
    ShowMessage(kMsgError, kIdReadyTimeout);
    return false;
}

bool CFlashLoader::CheckFirmware()
{
    FirmwareImage firmware;
    return !ShowFileProblem(ReadFirmwareForFlashing(m_fileSet, firmware));
}

bool CFlashLoader::FlashFirmware()
{
    CSerialPort port;
    const LinkPortRelease release(port);
    if (!port.Open(PortNameFromIndex(m_portIndex), m_flashRate)) {
        ShowMessage(kMsgError, kIdOpenPort);
        return false;
    }
    if (!AllocateImage(kRecordBuffer)) {
        ShowMessage(kMsgError, kIdBufferError);
        return false;
    }
    // The whole file is read and checked before the erase, so that a damaged
    // file never leaves the radio without firmware.
    FirmwareImage firmware;
    if (ShowFileProblem(ReadFirmwareForFlashing(m_fileSet, firmware))) return false;
    const uint32_t count = static_cast<uint32_t>(firmware.records.size());

    SendProgress(WM_PROGRESS_RANGE, count);
    SendProgress(WM_PROGRESS_TEXT, kIdErasingFlash);
    TheRadioLink().Attach(&port);
    // The erase takes long and has no steps to show; only the status line stays.
    SendProgress(WM_PROGRESS_HIDEBAR);
    if (!EraseFlash()) return false;

    SendProgress(WM_PROGRESS_SHOWBAR);
    SendProgress(WM_PROGRESS_RANGE, count);
    SendProgress(WM_PROGRESS_TEXT, kIdDownloadingFirmware);
    for (uint32_t i = 0; i < count; ++i) {
        const FirmwareRecord& record = firmware.records[i];
        // Checked when the file was read; the copy is bounded all the same.
        if (record.length > m_image.size()) return false;
        if (record.length != 0) std::memcpy(m_image.data(), firmware.Data(record), record.length);
        m_imageLength = record.length;
        m_recordAddress = firmware.RadioAddress(record);
        if (!WriteMemoryRecord(m_recordAddress, m_imageLength, m_image.data())) return false;
        SendProgress(WM_PROGRESS_POS, i + 1);
    }
    // The record file's flashing ends with a pause for the last write to
    // settle; the selected-file source has none.
    if (!m_fileSet.firmwareIsSRecord) CurrentClock().Sleep(kFlashedSettleMs);
    return true;
}

} // namespace vantrel
