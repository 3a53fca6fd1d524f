#include "sim/SimRadio.h"

#include "data/SampleBootcode.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

constexpr uint8_t kOpReset = 0x10;
constexpr uint8_t kOpReadMemory = 0x11;
constexpr uint8_t kOpEraseFlash = 0x15;
constexpr uint8_t kOpWriteMemory = 0x17;
constexpr uint8_t kOpWriteInfo = 0x18;
constexpr uint8_t kOpReadInfo = 0x23;
constexpr uint8_t kReplyMemory = 0x80;
constexpr uint8_t kReplyDone = 0x84;
constexpr uint8_t kReplyNotSupported = 0x86;
constexpr uint8_t kReplyWriteInfo = 0x87;
constexpr uint8_t kReplyReadInfo = 0x8B;
constexpr uint8_t kEraseAll = 0x40;
constexpr uint8_t kSyncByte = 0xFD;
constexpr uint8_t kSyncAnswer = 0xFF;
constexpr uint8_t kLoaderReady = 'P';
constexpr uint32_t kBlockSize = 8;
constexpr uint32_t kMaxReadCount = 37;
constexpr uint32_t kMaxWriteCount = 45;
constexpr uint32_t kLongReplyPayload = 300;

std::vector<uint8_t> Encode(uint8_t opcode, const std::vector<uint8_t>& payload)
{
    return EncodeMessage(opcode, payload.data(), static_cast<uint32_t>(payload.size()));
}

uint32_t Address24(const std::vector<uint8_t>& p, size_t at)
{
    return (static_cast<uint32_t>(p[at]) << 16) | (static_cast<uint32_t>(p[at + 1]) << 8) | p[at + 2];
}

// The same reply with one payload byte fewer or more, its checksum made right again.
std::vector<uint8_t> Resized(const std::vector<uint8_t>& reply, int delta)
{
    MessageParser parser;
    for (uint8_t b : reply)
        parser.Feed(b);
    if (!parser.Complete() || reply.size() < 2) return reply;
    std::vector<uint8_t> payload(reply.begin() + parser.HeaderLength(), reply.end() - 1);
    if (delta < 0 && !payload.empty()) payload.pop_back();
    if (delta > 0) payload.push_back(0x00);
    return Encode(parser.Opcode(), payload);
}

bool ValidRegion(uint8_t v)
{
    return v <= 4 || v == 0xFF;
}

bool PlausibleLoaderRate(uint32_t rate)
{
    return rate >= 1200 && rate <= 1000000;
}

} // namespace

const char* SimModeName(SimMode mode)
{
    switch (mode) {
    case SimMode::Off:
        return "off";
    case SimMode::Starting:
        return "starting";
    case SimMode::Normal:
        return "normal";
    case SimMode::Bootstrap:
        return "bootstrap";
    case SimMode::Loader:
        return "loader";
    case SimMode::Halted:
        return "halted";
    }
    return "?";
}

SimRadio::SimRadio(SimRadioConfig config)
    : m_state(std::move(config.state)), m_timing(config.timing), m_profile(std::move(config.profile))
{
    m_state.eeprom.resize(kSimEepromSize, 0xFF);
    // A radio saved while restarting comes back up in normal operation.
    if (m_state.mode == SimMode::Starting) m_state.mode = SimMode::Normal;
    if (m_state.mode == SimMode::Loader && !PlausibleLoaderRate(m_state.loaderRate)) m_state.mode = SimMode::Halted;
}

void SimRadio::SetFaults(const SimFaultPlan& plan)
{
    m_faults = plan;
    m_unplugged = m_faults.Hits(SimFaultKind::NoEcho, SimEvent::Message, 0);
}

void SimRadio::Log(const std::string& text) const
{
    if (m_log) m_log(text);
}

uint64_t SimRadio::Now() const
{
    return m_line ? m_line->NowUs() : 0;
}

uint8_t SimRadio::Region() const
{
    const auto& item = m_state.items[kSimItemRegion];
    return item.value.empty() ? 0xFF : item.value[0];
}

std::function<void()> SimRadio::Guarded(std::function<void()> action)
{
    return [this, epoch = m_epoch, action = std::move(action)] {
        if (epoch == m_epoch) action();
    };
}

UartFrame SimRadio::Frame() const
{
    switch (m_state.mode) {
    case SimMode::Bootstrap:
        return UartFrame::At(kSimBootstrapRate);
    case SimMode::Loader:
        return UartFrame::At(m_state.loaderRate);
    default:
        return UartFrame::At(kSimNormalRate);
    }
}

void SimRadio::PowerOff()
{
    if (m_state.mode == SimMode::Off) return;
    ++m_epoch;
    if (m_line) m_line->AbortTransmit();
    m_state.mode = SimMode::Off;
    // A flashing cut short by the power stays incomplete.
    m_flashing = false;
    m_parser.Reset();
    m_rx.clear();
    m_block.clear();
    Log("power off");
}

void SimRadio::PowerOn()
{
    if (m_state.mode != SimMode::Off) return;
    Log("power on");
    Boot();
}

void SimRadio::PowerCycle()
{
    PowerOff();
    PowerOn();
}

void SimRadio::Boot()
{
    if (m_state.adapterFlashMode) {
        EnterBootstrap();
        return;
    }
    m_state.mode = SimMode::Starting;
    if (!m_line) return;
    Busy(Now(), m_timing.restartUs);
    m_line->Schedule(Now() + m_timing.restartUs, Guarded([this] { EnterNormal(); }));
}

void SimRadio::EnterNormal()
{
    m_state.mode = SimMode::Normal;
    m_parser.Reset();
    m_rx.clear();
    m_discarding = false;
    Log(m_state.firmwareErased ? "no firmware in the flash: the radio stays silent" : "normal operation at 9600 Bd");
}

void SimRadio::Restart()
{
    ++m_epoch;
    if (m_line) m_line->AbortTransmit();
    Log("restart");
    Boot();
}

void SimRadio::EnterBootstrap()
{
    const uint32_t n = ++m_boots;
    if (m_faults.Hits(SimFaultKind::TagChange, SimEvent::Boot, n)) ChangeTag();
    if (m_faults.Hits(SimFaultKind::PowerLoss, SimEvent::Boot, n)) {
        m_state.mode = SimMode::Starting; // so that PowerOff takes effect
        PowerOff();
        return;
    }
    m_state.mode = SimMode::Bootstrap;
    m_synced = false;
    m_block.clear();
    m_download.clear();
    ++m_downloadGeneration;
    const bool stuck = m_faults.Hits(SimFaultKind::StuckBreak, SimEvent::Boot, n);
    if (m_line) {
        m_line->SendBreak(Now() + m_timing.bootBreakDelayUs, stuck ? SimRadioLine::kBreakForever : m_timing.breakUs);
        if (!stuck) Busy(Now(), uint64_t{m_timing.bootBreakDelayUs} + m_timing.breakUs);
    }
    Log(stuck ? "bootstrap mode, line held in break" : "bootstrap mode: break sent, waiting for sync at 2400 Bd");
}

void SimRadio::ChangeTag()
{
    uint8_t& tag = m_state.eeprom[kTagAddress];
    tag = static_cast<uint8_t>(~tag);
    Log("another radio connected (tag byte changed)");
}

void SimRadio::Receive(uint8_t byte)
{
    if (m_unplugged || !m_line) return;
    switch (m_state.mode) {
    case SimMode::Normal:
        // Without its firmware the radio has nothing that listens at 9600 Bd.
        if (!m_state.firmwareErased) ReceiveFramed(byte);
        break;
    case SimMode::Loader:
        ReceiveFramed(byte);
        break;
    case SimMode::Bootstrap:
        ReceiveBootstrap(byte);
        break;
    default:
        break;
    }
}

// ---- framed requests (normal and loader mode) ----

void SimRadio::ReceiveFramed(uint8_t byte)
{
    const uint64_t now = Now();
    if ((!m_rx.empty() || m_discarding) && now - m_lastRxUs > m_timing.interByteGapUs) DropPartialRequest();
    m_lastRxUs = now;
    const uint32_t generation = ++m_rxGeneration;
    if (!m_discarding) {
        m_rx.push_back(byte);
        if (m_rx.size() > kMaxMessage) {
            // Too long for the radio's buffer: refuse it and ignore the rest.
            m_discarding = true;
            m_parser.Reset();
            m_rx.clear();
            Send(Nak());
        } else if (m_parser.Feed(byte)) {
            HandleMessage();
        }
    }
    // The radio's own limit between two characters of one request.
    if (!m_rx.empty() || m_discarding) {
        m_line->Schedule(now + m_timing.interByteGapUs + 1, Guarded([this, generation] {
                             if (generation == m_rxGeneration) DropPartialRequest();
                         }));
    }
}

void SimRadio::DropPartialRequest()
{
    const bool partial = !m_rx.empty();
    m_parser.Reset();
    m_rx.clear();
    m_discarding = false;
    // The sender fell silent within a request: refused, so that it is sent again.
    if (partial && (m_state.mode == SimMode::Normal || m_state.mode == SimMode::Loader)) Send(Nak());
}

void SimRadio::HandleMessage()
{
    const std::vector<uint8_t> message = std::move(m_rx);
    const MessageParser parser = m_parser;
    m_rx.clear();
    m_parser.Reset();
    const uint32_t n = ++m_messages;
    if (message.size() > 1) m_requests.push_back(message);

    if (m_faults.Hits(SimFaultKind::NoEcho, SimEvent::Message, n)) m_unplugged = true;
    if (m_faults.Hits(SimFaultKind::TagChange, SimEvent::Message, n)) ChangeTag();
    if (m_faults.Hits(SimFaultKind::PowerLoss, SimEvent::Message, n)) {
        PowerOff();
        return;
    }
    if (m_faults.Hits(SimFaultKind::Silence, SimEvent::Message, n)) return;
    // One-byte messages are answers, never requests: nothing to do.
    if (message.size() == 1) return;
    const bool intact = !parser.EmptyEscapedHeader() &&
                        MessageChecksum(message.data(), static_cast<uint32_t>(message.size() - 1)) == message.back();
    if (!intact || m_faults.Hits(SimFaultKind::Nak, SimEvent::Message, n)) {
        Send(Nak());
        return;
    }
    if (m_faults.Hits(SimFaultKind::Unsupported, SimEvent::Message, n)) {
        Send(NotSupported());
        return;
    }
    const std::vector<uint8_t> payload(message.begin() + parser.HeaderLength(), message.end() - 1);
    Answer answer = Execute(parser.Opcode(), payload);
    if (!answer.reply.empty()) {
        const bool shorter = m_faults.Hits(SimFaultKind::Short, SimEvent::Message, n);
        if (shorter || m_faults.Hits(SimFaultKind::Extra, SimEvent::Message, n))
            answer.reply = Resized(answer.reply, shorter ? -1 : 1);
        if (m_faults.Hits(SimFaultKind::Long, SimEvent::Message, n)) {
            const uint8_t opcode = answer.reply.size() > 1 && (answer.reply[0] >> 4) == 0xF ? answer.reply[1] : 0x8B;
            answer.reply = Encode(opcode, std::vector<uint8_t>(kLongReplyPayload, 0x55));
        }
        if (m_faults.Hits(SimFaultKind::BadChecksum, SimEvent::Message, n)) answer.reply.back() ^= 0x01;
        if (m_faults.Hits(SimFaultKind::Cut, SimEvent::Message, n)) answer.reply.resize(answer.reply.size() / 2);
    }
    Send(std::move(answer));
}

void SimRadio::Send(Answer answer)
{
    const UartFrame frame = Frame();
    Busy(Now(), answer.firstDelayUs);
    const uint64_t firstEnd = m_line->Transmit(Now() + answer.firstDelayUs, {answer.nak ? kNakByte : kAckByte}, frame);
    if (!answer.reply.empty()) {
        Busy(firstEnd, answer.replyDelayUs);
        m_line->Transmit(firstEnd + answer.replyDelayUs, answer.reply, frame);
    }
    if (answer.afterFirst) m_line->Schedule(firstEnd, Guarded(std::move(answer.afterFirst)));
}

SimRadio::Answer SimRadio::Nak() const
{
    Answer a;
    a.nak = true;
    a.firstDelayUs = m_timing.ackDelayUs;
    return a;
}

SimRadio::Answer SimRadio::Ack(uint8_t replyOpcode, const std::vector<uint8_t>& replyPayload, uint64_t delayUs) const
{
    Answer a;
    a.firstDelayUs = m_timing.ackDelayUs;
    a.reply = Encode(replyOpcode, replyPayload);
    a.replyDelayUs = delayUs;
    return a;
}

SimRadio::Answer SimRadio::NotSupported() const
{
    return Ack(kReplyNotSupported, {}, m_timing.replyDelayUs);
}

SimRadio::Answer SimRadio::Execute(uint8_t opcode, const std::vector<uint8_t>& payload)
{
    const bool loader = m_state.mode == SimMode::Loader;
    switch (opcode) {
    case kOpReset:
        return Reset();
    case kOpReadMemory:
        return ReadMemory(payload);
    case kOpWriteMemory:
        return WriteMemory(payload);
    case kOpReadInfo:
        return loader ? NotSupported() : ReadInfo(payload);
    case kOpWriteInfo:
        return loader ? NotSupported() : WriteInfo(payload);
    case kOpEraseFlash:
        return loader ? EraseFlash(payload) : NotSupported();
    default:
        return NotSupported();
    }
}

SimRadio::Answer SimRadio::ReadInfo(const std::vector<uint8_t>& payload)
{
    if (payload.size() != 1) return Nak();
    const uint8_t item = payload[0];
    if (item >= kSimInfoItems || !m_state.items[item].supported) return NotSupported();
    std::vector<uint8_t> reply{item};
    const auto& value = m_state.items[item].value;
    reply.insert(reply.end(), value.begin(), value.end());
    return Ack(kReplyReadInfo, reply, m_timing.replyDelayUs);
}

SimRadio::Answer SimRadio::WriteInfo(const std::vector<uint8_t>& payload)
{
    if (payload.empty()) return Nak();
    if (payload[0] != kSimWriteItemRegion) return NotSupported();
    const uint64_t delay = m_timing.replyDelayUs + m_timing.eepromWritePerByteUs;
    if (payload.size() != 2 || !ValidRegion(payload[1])) return Ack(kReplyWriteInfo, {0x01}, delay);
    m_state.items[kSimItemRegion].value = {payload[1]};
    Log("Regional ID set to " + std::to_string(payload[1]));
    return Ack(kReplyWriteInfo, {0x00}, delay);
}

SimRadio::Answer SimRadio::ReadMemory(const std::vector<uint8_t>& payload)
{
    if (payload.size() != 4) return Nak();
    const uint32_t count = payload[0];
    const uint32_t address = Address24(payload, 1);
    if (count == 0 || count > kMaxReadCount) return Nak();
    std::vector<uint8_t> reply(payload.begin() + 1, payload.end());
    reply.resize(3 + count);
    if (address & kSimFlashBit) {
        const uint32_t offset = address & ~kSimFlashBit;
        if (m_state.mode != SimMode::Loader || !SimFlash::InRange(offset, count)) return Nak();
        m_state.flash.Read(offset, count, reply.data() + 3);
    } else {
        if (address > kSimEepromSize || count > kSimEepromSize - address) return Nak();
        std::copy_n(m_state.eeprom.begin() + address, count, reply.begin() + 3);
    }
    return Ack(kReplyMemory, reply, m_timing.replyDelayUs);
}

SimRadio::Answer SimRadio::WriteMemory(const std::vector<uint8_t>& payload)
{
    if (payload.size() < 3) return Nak();
    const uint32_t address = Address24(payload, 0);
    const uint32_t count = static_cast<uint32_t>(payload.size() - 3);
    if (count > kMaxWriteCount) return Nak();
    const uint8_t* data = payload.data() + 3;
    if (address & kSimFlashBit) {
        const uint32_t offset = address & ~kSimFlashBit;
        if (m_state.mode != SimMode::Loader || !SimFlash::InRange(offset, count)) return Nak();
        const bool programmed = m_state.flash.Program(offset, data, count);
        Answer a = Ack(kReplyDone, {}, m_timing.replyDelayUs + uint64_t{m_timing.flashWritePerByteUs} * count);
        // Cells that were not erased cannot take the data: the write is refused.
        if (!programmed) a.reply = {kNakByte};
        return a;
    }
    if (address > kSimEepromSize || count > kSimEepromSize - address) return Nak();
    std::copy_n(data, count, m_state.eeprom.begin() + address);
    const uint32_t n = ++m_eepromWrites;
    // A cell that does not keep what it was given: the radio still reports
    // the write as done, only reading it back tells.
    if (count != 0 && (m_faults.Hits(SimFaultKind::CorruptWrite, SimEvent::EepromWrite, n) ||
                       m_faults.Hits(SimFaultKind::CorruptWrite, SimEvent::Message, m_messages))) {
        m_state.eeprom[address + count - 1] ^= 0x01;
        Log("EEPROM byte " + std::to_string(address + count - 1) + " stored wrong");
    }
    return Ack(kReplyDone, {}, m_timing.replyDelayUs + uint64_t{m_timing.eepromWritePerByteUs} * count);
}

SimRadio::Answer SimRadio::EraseFlash(const std::vector<uint8_t>& payload)
{
    if (payload.size() != 1 || payload[0] != kEraseAll) return Nak();
    const uint32_t n = ++m_erases;
    // The old contents are gone as soon as the erase starts.
    m_state.flash.EraseAll();
    m_state.firmwareErased = true;
    m_flashing = true;
    Log("erasing flash");
    if (m_faults.Hits(SimFaultKind::PowerLoss, SimEvent::Erase, n)) {
        m_line->Schedule(Now() + m_timing.eraseUs / 2, Guarded([this] { PowerOff(); }));
    }
    Answer a = Ack(kReplyDone, {}, m_timing.eraseDoneUs);
    a.firstDelayUs = m_timing.eraseUs;
    return a;
}

SimRadio::Answer SimRadio::Reset()
{
    // The loader's reset after a flashing that ran from its erase to the end
    // without losing power starts the new firmware.
    if (m_state.mode == SimMode::Loader && m_flashing && !m_state.flash.IsErased()) m_state.firmwareErased = false;
    m_flashing = false;
    Answer a;
    a.firstDelayUs = m_timing.ackDelayUs;
    a.afterFirst = [this] { Restart(); };
    return a;
}

void SimRadio::Busy(uint64_t fromUs, uint64_t lengthUs)
{
    if (lengthUs != 0) m_busy.push_back({fromUs, fromUs + lengthUs});
}

// ---- bootstrap download ----

void SimRadio::ReceiveBootstrap(uint8_t byte)
{
    const uint64_t now = Now();
    if (!m_synced || (m_download.empty() && m_block.empty() && byte == kSyncByte)) {
        // Before the first block a sync byte (again) is answered; anything else is noise.
        if (byte != kSyncByte) return;
        m_synced = true;
        Busy(now, m_timing.syncAnswerUs);
        m_line->Transmit(now + m_timing.syncAnswerUs, {kSyncAnswer}, Frame());
        return;
    }
    m_block.push_back(byte);
    if (m_block.size() == kBlockSize) {
        const uint32_t n = ++m_blocks;
        if (m_faults.Hits(SimFaultKind::PowerLoss, SimEvent::Block, n)) {
            PowerOff();
            return;
        }
        std::vector<uint8_t> echo = m_block;
        if (m_faults.Hits(SimFaultKind::WrongEcho, SimEvent::Block, n)) echo[n % kBlockSize] ^= 0x20;
        Busy(now, m_timing.blockEchoUs);
        m_echoEndUs = m_line->Transmit(now + m_timing.blockEchoUs, echo, Frame());
        if (m_download.size() + kBlockSize <= kMaxBootcode) {
            m_download.insert(m_download.end(), m_block.begin(), m_block.end());
        }
        m_block.clear();
    }
    // The bootcode's length is not sent: the download is over when the host falls silent.
    const uint32_t generation = ++m_downloadGeneration;
    const uint64_t quietFrom = std::max(now, m_echoEndUs);
    m_line->Schedule(quietFrom + m_timing.downloadSilenceUs, Guarded([this, generation] {
                         if (generation == m_downloadGeneration) FinishDownload();
                     }));
}

void SimRadio::FinishDownload()
{
    uint32_t rate = 0;
    const bool ours = m_download.size() >= kSampleBootcodeHeaderSize &&
                      std::memcmp(m_download.data(), kSampleBootcodeMark, sizeof kSampleBootcodeMark) == 0;
    if (ours) {
        for (int i = 0; i < 4; ++i)
            rate |= static_cast<uint32_t>(m_download[4 + static_cast<size_t>(i)]) << (8 * i);
    }
    if (!ours || !PlausibleLoaderRate(rate)) {
        m_state.mode = SimMode::Halted;
        Log("downloaded code is no loader: radio halted");
        return;
    }
    m_state.mode = SimMode::Loader;
    m_state.loaderRate = rate;
    m_parser.Reset();
    m_rx.clear();
    m_discarding = false;
    // The quiet time that ended the download, then the loader's start.
    Busy(Now() - std::min<uint64_t>(Now(), m_timing.downloadSilenceUs),
         std::min<uint64_t>(Now(), m_timing.downloadSilenceUs) + m_timing.loaderStartUs);
    m_line->Transmit(Now() + m_timing.loaderStartUs, {kLoaderReady}, Frame());
    Log("loader running at " + std::to_string(rate) + " Bd");
}

} // namespace vantrel
