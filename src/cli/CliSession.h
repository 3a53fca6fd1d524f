#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/ConsoleFeedback.h"
#include "platform/Clock.h"
#include "platform/PortRouter.h"

namespace vantrel {

class EventFeedback;
class LinkTrace;
class SimBench;

// Global options of the command line.
struct CliOptions {
    std::string port = "sim";  // COM slot, device path, sim or sim:PROFILE
    uint32_t flashRate = 38400;
    std::string folder;  // program folder override
    std::string dataDir;  // per-user data folder override
    bool yes = false;
    int retries = 0;
    std::string trace;
    std::string simProfile;
    std::vector<std::string> simFaults;
    std::string simState;
    std::string simAdapter; // native, usb, usb-default[:jitter=US]
    bool simRealTime = false;
    std::string events;  // --events FILE, or "-" for standard output
    bool json = false;   // info, region, ports print one JSON object
    std::string command; // the command as the events name it ("region set")
};

// Everything one command runs in: the clock, the port devices (with the
// simulated radio when the port is "sim"), the console feedback and the trace.
class CliSession {
public:
    CliSession(const CliOptions& options, std::FILE* out, std::FILE* err, std::FILE* in);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Opens the --events stream and writes its first line; false (with a
    // message on err) when it cannot be written.
    bool OpenEvents();
    // Prepares the run; false (with a message on err) when it cannot start.
    bool Start();
    // Saves the simulated radio's state when a state file is in use.
    bool Finish();
    // Ends the run with its exit status: the last line of the events. Returns status.
    int Conclude(int status);

    // Shows what a command found: text for a person, or with --json the JSON
    // object on standard output. The events' result line carries the object.
    void Report(const std::string& text, const std::string& json);

    int PortIndex() const { return m_portIndex; }
    uint32_t FlashRate() const { return m_options.flashRate; }
    ConsoleFeedback& Feedback() { return *m_feedback; }
    // Where text for the person goes: standard error when the events take
    // standard output.
    std::FILE* Out() { return m_out; }
    std::FILE* Err() { return m_err; }
    bool UsesSimulator() const { return m_simulated; }
    // How the messages name a port: by the device the user gave.
    std::string PortLabel(const std::string& portName) const;

private:
    CliOptions m_options;
    std::FILE* m_dataOut; // standard output
    std::FILE* m_out;
    std::FILE* m_err;
    int m_portIndex = 0;
    bool m_portIsSlot = false;
    std::FILE* m_eventsFile = nullptr; // owned when it is not standard output
    std::unique_ptr<EventFeedback> m_events;
    std::string m_reportJson;
    bool m_simulated = false;
    std::unique_ptr<Clock> m_clock;
    PortRouter m_router;
    std::unique_ptr<ConsoleFeedback> m_feedback;
    std::unique_ptr<LinkTrace> m_trace;
    std::unique_ptr<SimBench> m_sim;
    struct Installed;
    std::unique_ptr<Installed> m_installed;
};

}  // namespace vantrel
