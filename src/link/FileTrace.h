#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "link/Trace.h"

namespace vantrel {

// A readable text trace of the line: "<ms> TX|RX <hex bytes>" per chunk and
// "# <text>" per event, the time counted from Open on the current clock.
// Bytes of one direction that follow each other closely share a line.
class FileTrace final : public LinkTrace {
public:
    FileTrace() = default;
    ~FileTrace() override;
    FileTrace(const FileTrace&) = delete;
    FileTrace& operator=(const FileTrace&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    void Bytes(bool sent, const uint8_t* bytes, uint32_t count) override;
    void Event(const std::string& text) override;

private:
    void FlushLine();

    std::FILE* m_file = nullptr;
    uint64_t m_startMs = 0;
    // The line being gathered.
    bool m_pendingSent = false;
    uint64_t m_pendingMs = 0;
    uint64_t m_lastMs = 0;
    std::vector<uint8_t> m_pending;
};

// Makes a trace current for the lifetime of the object.
class ScopedTrace {
public:
    explicit ScopedTrace(LinkTrace* trace) : m_prev(CurrentTrace()) { SetCurrentTrace(trace); }
    ~ScopedTrace() { SetCurrentTrace(m_prev); }
    ScopedTrace(const ScopedTrace&) = delete;
    ScopedTrace& operator=(const ScopedTrace&) = delete;

private:
    LinkTrace* m_prev;
};

}  // namespace vantrel
