#pragma once

#include "flash/FlashFileSet.h"

#include <cstdint>
#include <vector>

namespace vantrel {

// Puts the bootcode into a radio in bootstrap mode and flashes its firmware.
// Each operation opens the configured port itself and closes it again before
// it returns; the first failure is shown to the operator once.
class CFlashLoader {
public:
    CFlashLoader(const FlashFileSet& fileSet, uint32_t flashRate, int portIndex);

    // Downloads the bootcode at the bootstrap rate and waits for the loader's
    // ready byte at the flash rate. With prompt the operator is asked to put
    // the radio into bootstrap mode first; Cancel there sets cancelled and is
    // the only failure without a message.
    bool LoadBootcode(bool prompt);

    // Erases the flash and writes every firmware record, on a radio whose
    // loader runs. The whole firmware file is read and checked first, so a
    // damaged file never leaves the radio erased.
    bool FlashFirmware();

    // Reads and checks the firmware file as FlashFirmware does before its
    // erase, without a radio; shows the failure. For runs that must know
    // before they change anything in the radio.
    bool CheckFirmware();

    bool cancelled = false;

private:
    bool AllocateImage(uint32_t size);

    FlashFileSet m_fileSet;
    std::vector<uint8_t> m_image; // the bootcode, then the record being written
    uint32_t m_imageLength = 0;
    uint32_t m_recordAddress = 0;
    uint32_t m_flashRate;
    int m_portIndex;
};

} // namespace vantrel
