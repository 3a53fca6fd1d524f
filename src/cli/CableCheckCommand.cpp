#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "operations/CableCheck.h"

#include <cstdio>

namespace vantrel {
namespace {

const char* LowLatencyText(const PortFacts& facts)
{
    if (!facts.usbAdapter) return "not a USB adapter (a native port needs none)";
    switch (facts.lowLatency) {
    case LowLatency::On:
        return "on";
    case LowLatency::Refused:
        return "off: the driver refused it, every answer waits for the adapter's latency timer";
    case LowLatency::NotApplicable:
        break;
    }
    return "unknown";
}

const char* BreakText(BreakReport report)
{
    switch (report) {
    case BreakReport::LineFlag:
        return "yes (the port reports it)";
    case BreakReport::Counter:
        return "yes (the driver counts breaks)";
    case BreakReport::InBandMark:
        return "only as a mark in the received data, which some USB drivers never send";
    }
    return "unknown";
}

} // namespace

int RunCableCheckCommand(CliSession& session)
{
    const CableCheckResult result = CheckCable(session.PortIndex(), session.FlashRate());
    if (result.cancelled) return kExitCancelled;
    std::FILE* out = session.Out();
    if (!result.rates.empty()) {
        std::fprintf(out, "%10s  %-8s %12s %12s %12s\n", "rate", "echo", "median ms", "worst ms", "line ms");
        for (const CableRateCheck& r : result.rates) {
            std::fprintf(out, "%7u Bd  %-8s", r.rate, r.echoGood ? "good" : r.echoSeen ? "garbled" : "none");
            if (r.echoGood) std::fprintf(out, " %12.1f %12.1f %12.1f", r.medianMs, r.worstMs, r.lineMs);
            std::fputc('\n', out);
            if (!r.echoGood) std::fprintf(out, "           %s\n", r.problem.c_str());
        }
        std::fprintf(out, "Low-latency mode: %s", LowLatencyText(result.facts));
        if (result.facts.usbAdapter)
            std::fprintf(out, " (received bytes wait up to %u ms)", result.facts.ReceiveDelayMs());
        std::fprintf(out, "\nA received break is detectable: %s\n", BreakText(result.facts.breakReport));
    }
    if (result.fit) {
        std::fprintf(out, "The cable is fit for an upgrade.\n");
        return kExitOk;
    }
    std::fprintf(session.Err(), "The cable is not fit for an upgrade: %s.\n", result.reason.c_str());
    return kExitFailed;
}

} // namespace vantrel
