#include "operations/HardwareBlockTransfer.h"

#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "codeplug/BlockChecksum.h"

namespace vantrel {
namespace {

constexpr uint32_t kNormalRate = 9600;
constexpr uint32_t kProgressRange = 14;
constexpr uint32_t kFirstReadPosition = 1;
constexpr uint32_t kFirstWritePosition = 8;
constexpr int kPatchedBlock = 3;
constexpr uint32_t kIdResetting = 20135;

} // namespace

CHardwareBlockTransfer::CHardwareBlockTransfer(int portIndex, HardwareCodeplugImage& image)
    : m_portIndex(portIndex), m_image(image)
{
    Include(kPatchedBlock, true, true);
}

void CHardwareBlockTransfer::Include(int block, bool include, bool refreshChecksum)
{
    if (block < 1 || block > kHardwareBlockCount) return;
    m_blocks[static_cast<size_t>(block - 1)] = {include, refreshChecksum};
}

bool CHardwareBlockTransfer::Read()
{
    bool portOpen = false;
    CRadioConnection connection(m_portIndex, kNormalRate, portOpen);
    // Without a port every command would only repeat the link's "no port" box.
    bool ok = portOpen;
    SendProgress(WM_PROGRESS_RANGE, kProgressRange);
    for (int number = 1; number <= kHardwareBlockCount; ++number) {
        SendProgress(WM_PROGRESS_POS, kFirstReadPosition + static_cast<uint32_t>(number - 1));
        if (!ok || !m_blocks[static_cast<size_t>(number - 1)].included) continue;
        const HardwareBlock& block = m_image.Block(number);
        ok = ReadMemoryRange(m_image.At(block.start), block.start, block.length);
    }
    return ok;
}

bool CHardwareBlockTransfer::WriteAttempt()
{
    bool ok = true;
    for (int number = 1; number <= kHardwareBlockCount; ++number) {
        SendProgress(WM_PROGRESS_POS, kFirstWritePosition + static_cast<uint32_t>(number - 1));
        const Selection& selection = m_blocks[static_cast<size_t>(number - 1)];
        if (!ok || !selection.included) continue;
        const HardwareBlock& block = m_image.Block(number);
        uint8_t* bytes = m_image.At(block.start);
        if (selection.refreshChecksum) bytes[block.length - 1] = BlockChecksum(bytes, block.length - 1);
        ok = WriteMemoryRange(bytes, block.start, block.length);
    }
    return ok;
}

bool CHardwareBlockTransfer::Write()
{
    bool portOpen = false;
    CRadioConnection connection(m_portIndex, kNormalRate, portOpen);
    bool written = false;
    for (int attempt = 0; attempt < kMaxWriteAttempts && !written && portOpen; ++attempt)
        written = WriteAttempt();
    SendProgress(WM_PROGRESS_TEXT, kIdResetting);
    SendProgress(WM_PROGRESS_HIDEBAR);
    // The radio is reset after every write, but a reset that succeeds does not
    // make a failed write a success.
    const bool reset = portOpen && ResetRadio();
    SendProgress(WM_PROGRESS_CLOSE);
    return written && reset;
}

} // namespace vantrel
