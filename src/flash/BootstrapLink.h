#pragma once

#include <cstdint>
#include <optional>

namespace vantrel {

class CSerialPort;

constexpr uint32_t kBootcodeBlock = 8;
constexpr uint32_t kMaxBootcode = 5000;
// The last block of a bootcode whose length is not a multiple of the block
// size is filled with the value of erased memory.
constexpr uint8_t kBootcodePadding = 0xFF;

// The sync byte the bootstrap firmware expects at a line rate; none for a rate
// it does not run at.
std::optional<uint8_t> SyncByteForRate(uint32_t rate);

// The radio's bootstrap protocol on an open port: the break the radio sends
// in bootstrap mode, the sync byte answered with 0xFF, then the bootcode in
// 8-byte blocks that the radio echoes. Lives for one download, owns nothing.
class CBootstrapLink {
public:
    explicit CBootstrapLink(CSerialPort& port) : m_port(port) {}

    // The sync byte for the rate the port is set to.
    std::optional<uint8_t> GetSyncByte() const;

    // Detects bootstrap mode, synchronises and sends the data in echoed
    // blocks, each checked against what was sent. Shows its own failure.
    bool Download(const uint8_t* data, uint32_t length);

private:
    bool DetectBootstrapMode();
    bool Synchronise(uint8_t syncByte);
    // 0 when every block went through, else the message id of the failure.
    uint32_t SendBlocks(const uint8_t* data, uint32_t length);

    CSerialPort& m_port;
};

} // namespace vantrel
