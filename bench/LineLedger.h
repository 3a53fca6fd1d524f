// What a run on the simulated radio spent its time on, phase by phase: the
// bytes that crossed the line (each 10 bit times at the rate it was sent),
// the program's own pauses (every sleep it takes) and the radio's modelled
// processing where the program was not pausing anyway. Their sum is the
// least time the phase could take; the run's clock says what it took.
#pragma once

#include "link/Feedback.h"
#include "platform/Clock.h"
#include "platform/SerialDevice.h"
#include "sim/SimRadio.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

struct PhaseFloor {
    std::string name;
    double runSeconds = 0;
    double wireSeconds = 0;
    double pauseSeconds = 0;
    double radioSeconds = 0;
    double Floor() const { return wireSeconds + pauseSeconds + radioSeconds; }
    double Ratio() const { return Floor() > 0 ? runSeconds / Floor() : 0; }
    // Within 2% of the floor either way: a run below it means the floor counts something twice.
    bool Pass() const { return Floor() > 0 && Ratio() <= 1.02 && Ratio() >= 0.98; }
};

class LineLedger {
public:
    using Spans = std::vector<SimSpan>;

    explicit LineLedger(Clock& clock) : m_clock(clock) {}

    // Ends the current phase now and starts the named one.
    void Begin(const std::string& name)
    {
        if (!m_phases.empty() && m_phases.back().name == name) return;
        const uint64_t now = m_clock.NowUs();
        if (!m_phases.empty()) m_phases.back().endUs = now;
        m_phases.push_back({name, now, now, {}});
    }
    void End()
    {
        if (!m_phases.empty()) m_phases.back().endUs = m_clock.NowUs();
    }

    void Written(uint32_t rate, uint64_t bytes) { Counts(rate).first += bytes; }
    void Read(uint32_t rate, uint64_t bytes) { Counts(rate).second += bytes; }
    void Paused(uint64_t fromUs, uint64_t toUs) { m_pauses.push_back({fromUs, toUs}); }

    // Every phase, then the whole run as the last entry.
    std::vector<PhaseFloor> Phases(const Spans& radioBusy) const
    {
        std::vector<PhaseFloor> rows;
        PhaseFloor total{"total"};
        for (const Phase& phase : m_phases) {
            PhaseFloor row{phase.name};
            row.runSeconds = static_cast<double>(phase.endUs - phase.startUs) / 1e6;
            for (const auto& [rate, counts] : phase.counts) {
                // What the port read beyond the interface's echo of the host's bytes came from the radio.
                const uint64_t radio = counts.second > counts.first ? counts.second - counts.first : 0;
                if (rate != 0) row.wireSeconds += static_cast<double>((counts.first + radio) * 10) / rate;
            }
            const Spans pauses = Merged(Clipped(m_pauses, phase.startUs, phase.endUs));
            const Spans busy = Merged(Clipped(radioBusy, phase.startUs, phase.endUs));
            row.pauseSeconds = static_cast<double>(Length(pauses)) / 1e6;
            // The radio's processing counts where the program was not pausing through it already.
            row.radioSeconds = static_cast<double>(Length(busy) - Overlap(busy, pauses)) / 1e6;
            total.runSeconds += row.runSeconds;
            total.wireSeconds += row.wireSeconds;
            total.pauseSeconds += row.pauseSeconds;
            total.radioSeconds += row.radioSeconds;
            rows.push_back(row);
        }
        rows.push_back(total);
        return rows;
    }

private:
    struct Phase {
        std::string name;
        uint64_t startUs;
        uint64_t endUs;
        std::map<uint32_t, std::pair<uint64_t, uint64_t>> counts; // rate → written, read
    };

    std::pair<uint64_t, uint64_t>& Counts(uint32_t rate)
    {
        if (m_phases.empty()) Begin("start");
        return m_phases.back().counts[rate];
    }

    static Spans Clipped(const Spans& spans, uint64_t from, uint64_t to)
    {
        Spans out;
        for (const SimSpan& s : spans) {
            const uint64_t a = std::max(s.startUs, from);
            const uint64_t b = std::min(s.endUs, to);
            if (a < b) out.push_back({a, b});
        }
        return out;
    }
    static Spans Merged(Spans spans)
    {
        std::sort(spans.begin(), spans.end(), [](const SimSpan& x, const SimSpan& y) { return x.startUs < y.startUs; });
        Spans out;
        for (const SimSpan& s : spans) {
            if (!out.empty() && s.startUs <= out.back().endUs)
                out.back().endUs = std::max(out.back().endUs, s.endUs);
            else
                out.push_back(s);
        }
        return out;
    }
    static uint64_t Length(const Spans& spans)
    {
        uint64_t sum = 0;
        for (const SimSpan& s : spans)
            sum += s.endUs - s.startUs;
        return sum;
    }
    // Both merged and sorted.
    static uint64_t Overlap(const Spans& x, const Spans& y)
    {
        uint64_t sum = 0;
        size_t i = 0;
        size_t j = 0;
        while (i < x.size() && j < y.size()) {
            const uint64_t a = std::max(x[i].startUs, y[j].startUs);
            const uint64_t b = std::min(x[i].endUs, y[j].endUs);
            if (a < b) sum += b - a;
            if (x[i].endUs < y[j].endUs)
                ++i;
            else
                ++j;
        }
        return sum;
    }

    Clock& m_clock;
    std::vector<Phase> m_phases;
    Spans m_pauses;
};

// Counts what the port writes and reads into the ledger, at the rate set.
class CountingDevice final : public SerialDevice {
public:
    CountingDevice(std::unique_ptr<SerialDevice> inner, LineLedger& ledger)
        : m_inner(std::move(inner)), m_ledger(ledger)
    {
    }
    OpenResult Open(const std::string& name) override { return m_inner->Open(name); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    void Close() override { m_inner->Close(); }
    bool SetQueueSizes(uint32_t rx, uint32_t tx) override { return m_inner->SetQueueSizes(rx, tx); }
    bool Purge(unsigned flags) override { return m_inner->Purge(flags); }
    bool SetReadLimits(const ReadLimits& limits) override { return m_inner->SetReadLimits(limits); }
    bool GetLineSettings(LineSettings& settings) override { return m_inner->GetLineSettings(settings); }
    bool SetLineSettings(const LineSettings& settings) override
    {
        m_rate = settings.baudRate;
        return m_inner->SetLineSettings(settings);
    }
    bool GetStatus(LineStatus& status) override { return m_inner->GetStatus(status); }
    int Read(uint8_t* buffer, uint32_t count) override
    {
        const int n = m_inner->Read(buffer, count);
        if (n > 0) m_ledger.Read(m_rate, static_cast<uint64_t>(n));
        return n;
    }
    int Write(const uint8_t* buffer, uint32_t count) override
    {
        const int n = m_inner->Write(buffer, count);
        if (n > 0) m_ledger.Written(m_rate, static_cast<uint64_t>(n));
        return n;
    }
    void WaitForActivity(uint32_t maxMs) override { m_inner->WaitForActivity(maxMs); }
    PortFacts Facts() const override { return m_inner->Facts(); }
    std::vector<std::string> TakeNotes() override { return m_inner->TakeNotes(); }

private:
    std::unique_ptr<SerialDevice> m_inner;
    LineLedger& m_ledger;
    uint32_t m_rate = 0;
};

// Notes the program's pauses (its sleeps) in the ledger; the waits that block
// on the line are not pauses.
class PauseNotingClock final : public Clock {
public:
    explicit PauseNotingClock(Clock& inner) : m_inner(inner) {}
    void SetLedger(LineLedger* ledger) { m_ledger = ledger; }
    uint64_t NowUs() override { return m_inner.NowUs(); }
    void SleepUntilUs(uint64_t t) override { m_inner.SleepUntilUs(t); }
    void Sleep(uint32_t ms) override
    {
        const uint64_t from = m_inner.NowUs();
        m_inner.Sleep(ms);
        // The pause the program asked for, however long a real sleep overran it.
        if (m_ledger) m_ledger->Paused(from, from + uint64_t{ms} * 1000);
    }
    bool IsVirtual() const override { return m_inner.IsVirtual(); }

private:
    Clock& m_inner;
    LineLedger* m_ledger = nullptr;
};

// Answers every question with OK / Retry and starts a ledger phase at the
// status texts (and boxes) named.
class PhaseFeedback final : public Feedback {
public:
    PhaseFeedback(LineLedger& ledger, std::map<uint32_t, std::string> phases)
        : m_ledger(ledger), m_phases(std::move(phases))
    {
    }
    void SendProgress(uint32_t message, uint32_t wParam) override
    {
        if (message == WM_PROGRESS_TEXT) Mark(wParam);
    }
    int ShowMessageBox(int kind, uint32_t id) override
    {
        Mark(id);
        // Error boxes and the bootcode retry notice mean a step failed on the way.
        if (kind == kMsgError || kind == kMsgErrorRetryCancel || id == 20153) ++m_failedSteps;
        return 1;
    }
    void ShowPortOpenFailure(const std::string&, const OpenResult&) override { ++m_failedSteps; }
    int FailedSteps() const { return m_failedSteps; }

private:
    void Mark(uint32_t id)
    {
        const auto it = m_phases.find(id);
        if (it != m_phases.end()) m_ledger.Begin(it->second);
    }
    LineLedger& m_ledger;
    std::map<uint32_t, std::string> m_phases;
    int m_failedSteps = 0;
};

} // namespace vantrel
