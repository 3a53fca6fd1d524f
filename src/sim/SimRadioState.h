#pragma once

#include "sim/SimFlash.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

constexpr uint32_t kSimInfoItems = 17;      // read-info items 0 … 16
constexpr uint32_t kSimEepromSize = 0x8000; // 32 KiB
constexpr uint32_t kSimFlashBit = 0x400000; // bit 22 of an address selects the flash
constexpr uint8_t kSimItemBattery = 9;
constexpr uint8_t kSimItemRegion = 16;
constexpr uint8_t kSimWriteItemRegion = 4;
constexpr uint32_t kSimNormalRate = 9600;
constexpr uint32_t kSimBootstrapRate = 2400;

// One read-info item: answered with its value, or with "not supported" (0x86).
struct SimInfoItem {
    bool supported = false;
    std::vector<uint8_t> value;
};

enum class SimMode : uint8_t {
    Off,       // no power
    Starting,  // restarting after a reset or power-up; deaf and silent
    Normal,    // own firmware at 9600 Bd
    Bootstrap, // built-in bootstrap firmware at 2400 Bd, waiting for or receiving a bootcode
    Loader,    // the downloaded bootcode runs at its flash rate
    Halted,    // a downloaded bootcode that is not a loader runs; only a power cycle helps
};

const char* SimModeName(SimMode mode);

// Everything about the radio that outlives a command: what the state file keeps.
struct SimRadioState {
    std::array<SimInfoItem, kSimInfoItems> items; // item 9 battery, item 16 Regional ID
    std::vector<uint8_t> eeprom = std::vector<uint8_t>(kSimEepromSize, 0xFF);
    SimFlash flash;
    bool adapterFlashMode = false; // the flash adapter's switch: ON(Flash Mode)
    SimMode mode = SimMode::Normal;
    uint32_t loaderRate = 0; // the rate of a running loader
    // The flash was erased and has not been flashed completely since: the
    // radio's own firmware is gone, so in normal operation it answers nothing
    // (only its built-in bootstrap firmware still talks).
    bool firmwareErased = false;
};

// Radio processing and reaction times, in microseconds.
struct SimTiming {
    uint32_t ackDelayUs = 2000;   // complete request → first answer byte
    uint32_t replyDelayUs = 2000; // ACK sent → reply, for requests that only read
    uint32_t eepromWritePerByteUs = 3000;
    uint32_t flashWritePerByteUs = 100;
    uint32_t eraseUs = 6000000;          // flash erase, before its ACK
    uint32_t eraseDoneUs = 5000;         // erase ACK → completion reply
    uint32_t restartUs = 200000;         // reset or power-up → normal operation
    uint32_t bootBreakDelayUs = 20000;   // power-up in flash mode → break
    uint32_t breakUs = 5000;             // length of that break
    uint32_t syncAnswerUs = 1000;        // sync byte → 0xFF
    uint32_t blockEchoUs = 1000;         // 8th byte of a block → its echo
    uint32_t downloadSilenceUs = 200000; // quiet time that ends a bootcode download
    uint32_t loaderStartUs = 5000;       // download complete → "P" at the flash rate
    uint32_t interByteGapUs = 100000;    // a partial request is dropped and refused (NAK) after this gap
};

// A named radio: its state when it is first switched on, and its timing.
struct SimRadioConfig {
    std::string profile;
    SimRadioState state;
    SimTiming timing;
};

} // namespace vantrel
