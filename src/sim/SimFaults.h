#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Faults the simulated radio (or its cable) shows at named points. Nothing
// happens by chance: each fault names when it strikes.
//
// Text form, as the command line takes it: faults separated by commas,
//
//   fault := KIND [ ':' VALUE [ ':' VALUE ] ] [ '@' WHEN ]
//   WHEN  := RANGE | EVENT | EVENT ':' RANGE
//   RANGE := (N | N-M | N- | '*') [ '/' STEP ]
//   EVENT := msg | block | boot | erase | byte
//
// A bare number counts request messages (msg). Counts start at 1 when the radio
// is created and run on across modes, port openings and retries: msg counts the
// framed requests the radio received (normal and loader mode), block the 8-byte
// bootcode blocks, boot the entries into bootstrap mode, erase the flash erase
// commands, byte the bytes the host sends on the line. "N-" means N and every
// later one, "*" every one; "/S" takes every S-th of them, starting with the first.
//
//   nak@3            request 3 is answered with NAK instead of ACK
//   silence@5        request 5 gets no answer at all
//   cut@2            the reply to request 2 stops halfway
//   badsum@1         the reply to request 1 carries a wrong checksum
//   unsupported@4    request 4 is answered ACK, then 0x86 (not supported)
//   long@1           request 1 is answered ACK, then a reply of more than 261 bytes
//   short@2          the reply to request 2 lacks its last data byte (checksum intact)
//   extra@2          the reply to request 2 carries one data byte more (checksum intact)
//   wrongecho@block:3  one byte of the radio's echo of bootcode block 3 is wrong
//   stuckbreak[@boot:N]  the break sent on entering bootstrap never ends (default: every time)
//   power@msg:40     power is lost when request 40 arrives (also @block:N, @boot:N, @erase[:N])
//   tag@boot:2       another radio is connected: EEPROM byte 0x3FF0 changes (also @msg:N)
//   noecho[@msg:N]   the adapter is unplugged (from the start, or once request N arrived):
//                    no local echo and nothing reaches the radio
//   stall:MS[:B]@msg:N  the host pauses MS milliseconds before byte B (default 3) of the
//                    N-th request it sends, as a loaded machine does; counted by the host,
//                    so a request sent again after a stall is the next one
//   garble@byte:N    the N-th byte the host sends is changed on the line (line noise): the
//                    echo and the radio both get it wrong
//
// After a power loss the radio stays off until the operator reconnects it (a
// retry notice, or a test calling PowerOn).
enum class SimFaultKind {
    Nak,
    Silence,
    Cut,
    BadChecksum,
    Unsupported,
    Long,
    Short,
    Extra,
    WrongEcho,
    StuckBreak,
    PowerLoss,
    TagChange,
    NoEcho,
    Stall,
    Garble
};
enum class SimEvent { Message, Block, Boot, Erase, Byte };

struct SimFault {
    SimFaultKind kind = SimFaultKind::Nak;
    SimEvent event = SimEvent::Message;
    uint32_t first = 1;
    uint32_t last = 1; // kOpenEnd: every later one too
    uint32_t step = 1; // every step-th occurrence from first
    // Stall: how long the host pauses, and before which byte of the request (from 1).
    uint32_t pauseMs = 0;
    uint32_t atByte = 0;
    static constexpr uint32_t kOpenEnd = 0xFFFFFFFFu;
    static constexpr uint32_t kDefaultStallByte = 3;

    bool Covers(uint32_t n) const { return n >= first && n <= last && (n - first) % step == 0; }
};

class SimFaultPlan {
public:
    void Add(const SimFault& fault) { m_faults.push_back(fault); }
    // True when a fault of the kind is planned for occurrence n of the event.
    bool Hits(SimFaultKind kind, SimEvent event, uint32_t n) const { return Find(kind, event, n) != nullptr; }
    // The first planned fault of the kind for occurrence n of the event, or null.
    const SimFault* Find(SimFaultKind kind, SimEvent event, uint32_t n) const;
    bool Empty() const { return m_faults.empty(); }
    const std::vector<SimFault>& Faults() const { return m_faults; }

private:
    std::vector<SimFault> m_faults;
};

// Parses the text form above. On failure returns false and says why in error;
// the plan is left unchanged.
bool ParseSimFaults(const std::string& text, SimFaultPlan& plan, std::string& error);

} // namespace vantrel
