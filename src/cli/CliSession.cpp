#include "cli/CliSession.h"

#include "cli/BuildInfo.h"
#include "cli/EventFeedback.h"
#include "history/OperationJournal.h"
#include "link/Feedback.h"
#include "link/FileTrace.h"
#include "link/Trace.h"
#include "platform/Files.h"
#include "platform/Runtime.h"
#include "platform/SystemSerialDevice.h"
#include "sim/SimBench.h"

#include <unistd.h>

namespace vantrel {

// The process-wide seams installed for one command, undone in reverse order.
struct CliSession::Installed {
    Installed(Clock& clock, DeviceFactory& devices, vantrel::Feedback& feedback) : runtime(clock, devices), scoped(feedback) {}
    ScopedRuntime runtime;
    ScopedFeedback scoped;
};

CliSession::CliSession(const CliOptions& options, std::FILE* out, std::FILE* err, std::FILE* in)
    : m_options(options), m_dataOut(out), m_out(options.events == "-" ? err : out), m_err(err)
{
    ConsoleFeedback::Options fo;
    fo.assumeYes = options.yes;
    fo.retries = options.retries;
    fo.interactive = in != nullptr && ::isatty(::fileno(in)) && ::isatty(::fileno(m_out)) && !options.yes;
    fo.progressBar = ::isatty(::fileno(m_out));
    m_feedback = std::make_unique<ConsoleFeedback>(fo, m_out, err, in);
    m_feedback->SetPortLabel([this](const std::string& name) { return PortLabel(name); });
}

CliSession::~CliSession()
{
    m_history.reset();
    m_installed.reset();
    if (m_trace) SetCurrentTrace(nullptr);
    if (m_eventsFile) std::fclose(m_eventsFile);
}

bool CliSession::OpenEvents()
{
    if (m_options.events.empty()) return true;
    std::FILE* stream = m_dataOut;
    if (m_options.events != "-") {
        m_eventsFile = OpenFile(m_options.events, "w");
        if (!m_eventsFile) {
            std::fprintf(m_err, "Error: cannot write the events file %s\n", m_options.events.c_str());
            return false;
        }
        stream = m_eventsFile;
    }
    m_events = std::make_unique<EventFeedback>(*m_feedback, stream,
                                               [this](const std::string& name) { return PortLabel(name); });
    m_events->Start(m_options.command, m_options.port);
    return true;
}

int CliSession::Conclude(int status)
{
    if (m_events) m_events->Result(m_options.command, status, m_reportJson);
    return status;
}

void CliSession::Report(const std::string& text, const std::string& json)
{
    m_reportJson = json;
    if (!m_options.json) {
        std::fputs(text.c_str(), m_out);
    } else if (m_options.events != "-") {
        // With the events on standard output, the result line carries the object.
        std::fprintf(m_dataOut, "%s\n", json.c_str());
    }
    std::fflush(m_dataOut);
    std::fflush(m_out);
}

std::string CliSession::PortLabel(const std::string& portName) const
{
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        if (portName != PortRouter::SlotName(i)) continue;
        const std::string& target = m_router.SlotTarget(i);
        // A device given with --port sits in COM1 unseen: name it as given.
        if (i == m_portIndex && !m_portIsSlot) return target;
        return target.empty() || target == portName ? portName : portName + " (" + target + ")";
    }
    return portName;
}

bool CliSession::Start()
{
    // A COM slot keeps its default device; anything else is put into slot COM1.
    const std::string& port = m_options.port;
    m_portIndex = 0;
    bool isSlot = false;
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        if (port == PortRouter::SlotName(i)) {
            m_portIndex = i;
            isSlot = true;
        }
    }
    if (!isSlot) m_router.SetSlotTarget(0, port);
    m_portIsSlot = isSlot;
    m_simulated = PortRouter::IsSimTarget(m_router.SlotTarget(m_portIndex));

    if (!m_options.folder.empty()) SetProgramFolder(m_options.folder);
    if (!m_options.dataDir.empty()) SetUserDataFolder(m_options.dataDir);

    // The simulated radio runs on virtual time unless asked otherwise: its
    // pauses and erase times then cost no wall time.
    if (m_simulated && !m_options.simRealTime) m_clock = std::make_unique<VirtualClock>();
    else m_clock = std::make_unique<RealClock>();

    m_router.SetDeviceMaker(MakeSystemSerialDevice);
    m_sim = std::make_unique<SimBench>(*m_clock);
    std::string error;
    std::string faults;
    for (const auto& f : m_options.simFaults) faults += (faults.empty() ? "" : ",") + f;
    if (!faults.empty() && !m_sim->SetFaults(faults, error)) {
        std::fprintf(m_err, "Error: --sim-fault: %s\n", error.c_str());
        return false;
    }
    if (!m_options.simState.empty()) m_sim->SetStateFile(m_options.simState);
    if (!m_options.simAdapter.empty()) {
        bool usb = false;
        SimUsbAdapter adapter;
        if (!ParseSimAdapter(m_options.simAdapter, usb, adapter, error)) {
            std::fprintf(m_err, "Error: --sim-adapter: %s\n", error.c_str());
            return false;
        }
        m_sim->SetAdapter(usb ? std::optional<SimUsbAdapter>(adapter) : std::nullopt);
    }
    if (!m_options.simProfile.empty() && m_simulated) {
        const std::string target = "sim:" + m_options.simProfile;
        m_router.SetSlotTarget(m_portIndex, target);
    }
    if (m_simulated && !m_sim->LineFor(m_router.SlotTarget(m_portIndex), error)) {
        std::fprintf(m_err, "Error: simulated radio: %s\n", error.c_str());
        return false;
    }
    m_router.SetSimMaker(m_sim->Maker());

    vantrel::Feedback& feedback = m_events ? static_cast<vantrel::Feedback&>(*m_events) : *m_feedback;
    m_installed = std::make_unique<Installed>(*m_clock, m_router, feedback);
    // Every radio operation of this run adds a record to the service history
    // in the per-user data folder.
    m_history = std::make_unique<ScopedServiceHistory>(HistorySetup{
        {}, "vantrel-cli", [this](int portIndex) { return m_router.SlotTarget(portIndex); }, ProgramVersion()});

    if (!m_options.trace.empty()) {
        auto trace = std::make_unique<FileTrace>();
        if (!trace->Open(m_options.trace)) {
            std::fprintf(m_err, "Error: cannot write the trace file %s\n", m_options.trace.c_str());
            return false;
        }
        m_trace = std::move(trace);
        SetCurrentTrace(m_trace.get());
    }
    return true;
}

bool CliSession::Finish()
{
    if (!m_sim) return true;
    std::string error;
    if (!m_sim->SaveState(error)) {
        std::fprintf(m_err, "Error: cannot save the simulated radio: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace vantrel
