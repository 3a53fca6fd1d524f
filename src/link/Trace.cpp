#include "link/FileTrace.h"
#include "link/Trace.h"
#include "platform/Files.h"
#include "platform/Runtime.h"

namespace vantrel {
namespace {

LinkTrace* g_trace = nullptr;

// Longest run of bytes on one line before a new one starts.
constexpr size_t kBytesPerLine = 32;
// Bytes of one direction this close to the previous one continue its line, so
// a message read or written a byte at a time at 9600 Bd and up reads as one.
constexpr uint64_t kJoinGapMs = 2;

}  // namespace

LinkTrace* CurrentTrace() { return g_trace; }

void SetCurrentTrace(LinkTrace* trace) { g_trace = trace; }

void TraceEvent(const std::string& text)
{
    if (g_trace) g_trace->Event(text);
}

FileTrace::~FileTrace() { Close(); }

bool FileTrace::Open(const std::string& path)
{
    Close();
    m_file = OpenFile(path, "w");
    if (!m_file) return false;
    m_startMs = CurrentClock().NowMs();
    m_pending.clear();
    return true;
}

void FileTrace::Close()
{
    if (!m_file) return;
    FlushLine();
    std::fclose(m_file);
    m_file = nullptr;
}

void FileTrace::Bytes(bool sent, const uint8_t* bytes, uint32_t count)
{
    if (!m_file || bytes == nullptr) return;
    const uint64_t ms = CurrentClock().NowMs() - m_startMs;
    for (uint32_t i = 0; i < count; ++i) {
        if (!m_pending.empty() &&
            (sent != m_pendingSent || ms > m_lastMs + kJoinGapMs || m_pending.size() >= kBytesPerLine))
            FlushLine();
        if (m_pending.empty()) {
            m_pendingSent = sent;
            m_pendingMs = ms;
        }
        m_pending.push_back(bytes[i]);
        m_lastMs = ms;
    }
}

void FileTrace::Event(const std::string& text)
{
    if (!m_file) return;
    FlushLine();
    std::fprintf(m_file, "# %s\n", text.c_str());
    std::fflush(m_file);
}

void FileTrace::FlushLine()
{
    if (m_pending.empty()) return;
    std::fprintf(m_file, "%8llu %s", static_cast<unsigned long long>(m_pendingMs), m_pendingSent ? "TX" : "RX");
    for (uint8_t b : m_pending) std::fprintf(m_file, " %02X", b);
    std::fputc('\n', m_file);
    std::fflush(m_file);
    m_pending.clear();
}

}  // namespace vantrel
