// vantrel-simradio: the simulated radio on a pseudo-terminal.
//
// Prints the slave device's path on the first line of its output, then runs the
// radio in real time on the master side until it is interrupted or told to
// quit. Point the program's port at the printed path (or at --link PATH).
//
// The operator's actions come from standard input, one command a line:
//   bootstrap   flash adapter ON, battery reconnected (bootstrap mode, break)
//   normal      flash adapter OFF, radio off and on (normal operation)
//   power       battery reconnected, adapter left as it is
//   off / on    power lost / back
//   status      mode, rate and counters
//   save        write the state file now
//   quit
// With --auto-operator the operator also watches the host's line rate: a switch
// to 2400 Bd puts the radio into bootstrap mode, a switch to 9600 Bd while it is
// not in normal operation brings it back (the prompt and the notices cannot
// reach this process). A host that stays at 2400 Bd while the radio is not in
// bootstrap mode (a download that broke off, a retry after a failed flashing)
// gets it put there again, as the retry notices ask the operator to do.
//
// --realtime raises the program's scheduling priority where the system allows:
// the radio stands for hardware, which a loaded machine never holds up.
//
// A host that was killed while it had the port leaves the driver's exclusive
// mode set, which would refuse every later opener but root; while nobody holds
// the port's lock the program clears it.

#include "PtyRadioLine.h"
#include "sim/SimFaults.h"
#include "sim/SimProfiles.h"
#include "sim/SimStateFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_quit = 0;

void OnSignal(int)
{
    g_quit = 1;
}

struct Options {
    std::string profile = vantrel::kSimDefaultProfile;
    std::string stateFile;
    std::string faults;
    std::string link;
    bool autoOperator = false;
    bool realTime = false;
    bool quiet = false;
};

int Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [--profile NAME] [--state FILE] [--faults TEXT] [--link PATH] [--auto-operator] "
                 "[--realtime] [--quiet]\n"
                 "profiles:",
                 program);
    for (const auto& name : vantrel::SimProfileNames())
        std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--profile" && hasValue)
            options.profile = argv[++i];
        else if (arg == "--state" && hasValue)
            options.stateFile = argv[++i];
        else if (arg == "--faults" && hasValue)
            options.faults = argv[++i];
        else if (arg == "--link" && hasValue)
            options.link = argv[++i];
        else if (arg == "--auto-operator")
            options.autoOperator = true;
        else if (arg == "--realtime")
            options.realTime = true;
        else if (arg == "--quiet")
            options.quiet = true;
        else
            return false;
    }
    return true;
}

bool FileExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    ~Pty()
    {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
};

// Real-time scheduling where permitted, else a higher share of the processor.
const char* RaisePriority()
{
    sched_param param{};
    param.sched_priority = 10;
    if (sched_setscheduler(0, SCHED_FIFO, &param) == 0) return "real-time scheduling";
    if (setpriority(PRIO_PROCESS, 0, -10) == 0) return "raised priority (nice -10)";
    return nullptr;
}

// Clears exclusive mode that nobody owns: the lock is free, so no host has the port.
bool ClearStaleExclusiveMode(int slave)
{
#ifdef TIOCGEXCL
    int exclusive = 0;
    if (ioctl(slave, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return false;
    if (flock(slave, LOCK_EX | LOCK_NB) != 0) return false;
    ioctl(slave, TIOCNXCL);
    flock(slave, LOCK_UN);
    return true;
#else
    (void)slave;
    return false;
#endif
}

bool OpenPty(Pty& pty)
{
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) return false;
    const char* name = ptsname(pty.master);
    if (!name) return false;
    pty.path = name;
    // Held open so that the pair lives on while no host has it open.
    pty.slave = open(name, O_RDWR | O_NOCTTY);
    if (pty.slave < 0) return false;
    termios t{};
    tcgetattr(pty.slave, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(pty.slave, TCSANOW, &t);
    const int flags = fcntl(pty.master, F_GETFL);
    fcntl(pty.master, F_SETFL, flags | O_NONBLOCK);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace vantrel;
    Options options;
    if (!ParseOptions(argc, argv, options)) return Usage(argv[0]);

    SimRadioConfig config;
    std::string error;
    if (!options.stateFile.empty() && FileExists(options.stateFile)) {
        if (!LoadSimState(options.stateFile, config.profile, config.state, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    } else if (!MakeSimProfile(options.profile, config)) {
        std::fprintf(stderr, "no simulated radio \"%s\"\n", options.profile.c_str());
        return Usage(argv[0]);
    }
    SimFaultPlan faults;
    if (!ParseSimFaults(options.faults, faults, error)) {
        std::fprintf(stderr, "--faults: %s\n", error.c_str());
        return 2;
    }

    Pty pty;
    if (!OpenPty(pty)) {
        std::perror("pseudo-terminal");
        return 1;
    }
    if (!options.link.empty()) {
        unlink(options.link.c_str());
        if (symlink(pty.path.c_str(), options.link.c_str()) != 0) std::perror(options.link.c_str());
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    if (options.realTime) {
        const char* raised = RaisePriority();
        if (!options.quiet) std::fprintf(stderr, "radio: %s\n", raised ? raised : "priority could not be raised");
    }

    RealClock clock;
    SimRadio radio(std::move(config));
    radio.SetFaults(faults);
    if (!options.quiet)
        radio.SetLog([](const std::string& text) { std::fprintf(stderr, "radio: %s\n", text.c_str()); });
    PtyRadioLine line(pty.master, clock, radio);
    radio.Attach(&line);

    std::printf("%s\n", pty.path.c_str());
    std::fflush(stdout);

    auto save = [&] {
        if (options.stateFile.empty()) return;
        std::string saveError;
        if (!SaveSimState(options.stateFile, radio.Profile(), radio.State(), saveError)) {
            std::fprintf(stderr, "%s\n", saveError.c_str());
        }
    };
    auto act = [&](const std::string& command) {
        line.RunDue();
        if (command == "bootstrap") {
            radio.SetAdapter(true);
            radio.PowerCycle();
        } else if (command == "normal") {
            radio.SetAdapter(false);
            radio.PowerCycle();
        } else if (command == "power") {
            radio.PowerCycle();
        } else if (command == "off") {
            radio.PowerOff();
        } else if (command == "on") {
            radio.PowerOn();
        } else if (command == "save") {
            save();
        } else if (command == "quit") {
            g_quit = 1;
        } else if (command == "status" || command.empty()) {
            std::fprintf(stderr, "mode %s, host at %u Bd, %u requests, %u blocks, held up %.1f ms\n",
                         SimModeName(radio.Mode()), line.HostRate(), radio.MessageCount(), radio.BlockCount(),
                         static_cast<double>(line.HeldUpUs()) / 1000.0);
        } else {
            std::fprintf(stderr, "commands: bootstrap normal power off on status save quit\n");
        }
    };

    uint32_t lastRate = line.HostRate();
    uint64_t loaderAtBootstrapRateSinceUs = 0;
    uint64_t lastExclusiveCheckUs = 0;
    std::string input;
    bool stdinOpen = true;
    while (!g_quit) {
        line.Poll(20);
        const uint64_t nowUs = line.ClockUs();
        if (nowUs - lastExclusiveCheckUs > 500000) {
            lastExclusiveCheckUs = nowUs;
            if (ClearStaleExclusiveMode(pty.slave) && !options.quiet)
                std::fprintf(stderr, "radio: exclusive mode left set by a host that is gone: cleared\n");
        }
        if (options.autoOperator) {
            const uint32_t rate = line.HostRate();
            if (rate != lastRate) {
                if (rate == kSimBootstrapRate)
                    act("bootstrap");
                else if (rate == kSimNormalRate && radio.Mode() != SimMode::Normal && radio.Mode() != SimMode::Starting)
                    act("normal");
                lastRate = rate;
            } else if (rate == kSimBootstrapRate) {
                // A loader is legitimately met at 2400 Bd only in the moment the
                // host takes to switch to the flash rate after the last block.
                const SimMode mode = radio.Mode();
                const bool loader = mode == SimMode::Loader;
                if (!loader)
                    loaderAtBootstrapRateSinceUs = 0;
                else if (loaderAtBootstrapRateSinceUs == 0)
                    loaderAtBootstrapRateSinceUs = nowUs;
                if (mode == SimMode::Normal || mode == SimMode::Halted ||
                    (loader && nowUs - loaderAtBootstrapRateSinceUs > 100000)) {
                    loaderAtBootstrapRateSinceUs = 0;
                    act("bootstrap");
                }
            }
        }
        if (!stdinOpen) continue;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) <= 0) continue;
        char chunk[256];
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            stdinOpen = false; // keep running; stop with a signal
            continue;
        }
        input.append(chunk, static_cast<size_t>(n));
        for (size_t end; (end = input.find('\n')) != std::string::npos;) {
            act(input.substr(0, end));
            input.erase(0, end + 1);
        }
    }
    save();
    if (!options.link.empty()) unlink(options.link.c_str());
    return 0;
}
