#include "flash/BootstrapLink.h"

#include "link/Feedback.h"
#include "link/SerialPort.h"
#include "platform/Runtime.h"
#include "platform/StopRequest.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

constexpr uint32_t kDetectTries = 2;
constexpr uint32_t kBreakWaitMs = 130;
constexpr uint32_t kBreakPauseMs = 10;
constexpr uint32_t kBreakRecheckMs = 2;
constexpr uint32_t kSyncAttempts = 3;
constexpr uint32_t kSyncEchoLimitMs = 100;
constexpr uint8_t kSyncAnswer = 0xFF;
constexpr uint32_t kBlockEchoLimitMs = 1000;
constexpr uint32_t kBlockVerifyMs = 1000;

constexpr uint32_t kIdDownloadingBootcode = 20127;
constexpr uint32_t kIdBaudrateWrong = 20121;
constexpr uint32_t kIdSyncFailed = 20122;
constexpr uint32_t kIdDownloadFailed = 20123;
constexpr uint32_t kIdNotInBootstrap = 20124;
constexpr uint32_t kIdVerifyFailed = 20125;
// Not a message: the operator stopped the run between two blocks.
constexpr uint32_t kStopped = 1;

} // namespace

std::optional<uint8_t> SyncByteForRate(uint32_t rate)
{
    switch (rate) {
    case 553:
        return 0xFF;
    case 1800:
        return 0xFD;
    case 2400:
        return 0xFD;
    case 3600:
        return 0xFF;
    case 4430:
        return 0xF0;
    case 9600:
        return 0xFD;
    default:
        return std::nullopt;
    }
}

std::optional<uint8_t> CBootstrapLink::GetSyncByte() const
{
    return SyncByteForRate(m_port.GetBaudRate());
}

bool CBootstrapLink::Download(const uint8_t* data, uint32_t length)
{
    if (data == nullptr && length != 0) return false;
    const uint32_t blocks = length / kBootcodeBlock + (length % kBootcodeBlock != 0 ? 1 : 0);
    SendProgress(WM_PROGRESS_RANGE, blocks);
    SendProgress(WM_PROGRESS_TEXT, kIdDownloadingBootcode);

    const std::optional<uint8_t> sync = GetSyncByte();
    if (!sync) {
        ShowMessage(kMsgError, kIdBaudrateWrong);
        return false;
    }
    if (!DetectBootstrapMode()) {
        ShowMessage(kMsgError, kIdNotInBootstrap);
        return false;
    }
    if (!Synchronise(*sync)) {
        ShowMessage(kMsgError, kIdSyncFailed);
        return false;
    }
    if (const uint32_t failure = SendBlocks(data, length); failure != 0) {
        if (failure != kStopped) ShowMessage(kMsgError, failure);
        return false;
    }
    return true;
}

bool CBootstrapLink::DetectBootstrapMode()
{
    // The radio announces bootstrap mode with one break. A break that is still
    // there after a short pause is a line held low (a cable fault or a radio
    // without power), not the announcement.
    // A USB adapter reports a held break only with its packets, once per
    // latency period: a look of 2 ms would miss it. On such a port (only) the
    // look is longer by the adapter's latency.
    const uint32_t recheckMs = kBreakRecheckMs + m_port.Facts().ReceiveDelayMs();
    for (uint32_t attempt = 0; attempt < kDetectTries; ++attempt) {
        if (!m_port.WaitForError(kLineErrorBreak, kBreakWaitMs)) continue;
        CurrentClock().Sleep(kBreakPauseMs);
        if (!m_port.WaitForError(kLineErrorBreak, recheckMs)) return true;
    }
    return false;
}

bool CBootstrapLink::Synchronise(uint8_t syncByte)
{
    for (uint32_t attempt = 0; attempt < kSyncAttempts; ++attempt) {
        if (m_port.WriteEchoed(&syncByte, 1, kSyncEchoLimitMs) != 1) continue;
        uint8_t answer = 0;
        if (m_port.Read(&answer, 1) == 1 && answer == kSyncAnswer) return true;
    }
    return false;
}

uint32_t CBootstrapLink::SendBlocks(const uint8_t* data, uint32_t length)
{
    uint32_t done = 0;
    for (uint32_t offset = 0; offset < length; offset += kBootcodeBlock) {
        if (StopRequested()) return kStopped;
        uint8_t block[kBootcodeBlock];
        std::fill(std::begin(block), std::end(block), kBootcodePadding);
        std::memcpy(block, data + offset, std::min(kBootcodeBlock, length - offset));

        if (m_port.WriteEchoed(block, kBootcodeBlock, kBlockEchoLimitMs) != kBootcodeBlock) return kIdDownloadFailed;
        uint8_t echo[kBootcodeBlock];
        if (m_port.ReadTimed(echo, kBootcodeBlock, kBlockVerifyMs) != kBootcodeBlock ||
            std::memcmp(echo, block, kBootcodeBlock) != 0)
            return kIdVerifyFailed;
        SendProgress(WM_PROGRESS_POS, ++done);
        // The last block ends the loop here, before the offset could wrap.
        if (length - offset <= kBootcodeBlock) break;
    }
    return 0;
}

} // namespace vantrel
