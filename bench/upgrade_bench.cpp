// Time of the bootcode download with the flashing of the sample firmware, phase
// by phase, and of a whole upgrade on the simulated radio, per flash rate, next
// to what the line and the protocol make unavoidable: the serial-line floor
// (every byte on the wire at the rate it was sent), the program's own pauses
// (every sleep it takes) and the radio's modelled processing times where the
// program does not pause through them. Target: within 2% of that floor. The
// whole upgrade is measured again through USB serial adapters: one in
// low-latency mode (target: within 5% of the same floor) and one that keeps its
// 16 ms latency timer (target: it completes without a failed step; its ratio is
// the price of an adapter without low-latency mode). A last part runs the
// download and flashing against the simulated radio in real time and reports
// the process's CPU time against the wall time: the waits must block, not spin.
//
//   upgrade_bench [--real-time-firmware-records N]   (default 200; 0 skips the real-time part)
//                 [--real-time-upgrade]              (a whole upgrade in real time too: minutes)

#include "LineLedger.h"
#include "data/ModelTable.h"
#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "images/Export.h"
#include "images/SRecordWriter.h"
#include "link/Feedback.h"
#include "platform/Files.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "sim/CodeplugGenerator.h"
#include "sim/SimBench.h"
#include "sim/SimUsbAdapter.h"
#include "upgrade/UpgradeProcedure.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace vantrel {
namespace {

std::string MakeProgramFolder(const std::string& binDir, uint32_t realTimeRecords)
{
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("vantrel-upgrade-bench-" + std::to_string(::getpid()))).string() +
        "/";
    std::filesystem::create_directories(folder);
    for (const char* name : {"torva5t.0", "bt19k_qel.0", "bt38k_qel.0", "bt115k_qel.0"})
        std::filesystem::copy_file(binDir + name, folder + name, std::filesystem::copy_options::overwrite_existing);
    SilentFeedback silent;
    ScopedFeedback scoped(silent);
    if (!SaveBootcodesAsBinary(folder) || !SaveFirmwareAsBinary(folder)) return {};
    for (int row = 0; row < kModelTableRows; ++row) {
        const std::string name = ModelTableRow(row).eepromDataFile;
        if (name.empty()) continue;
        const auto data = GenerateEepromDataFile(static_cast<uint32_t>(100 + row));
        std::ofstream(folder + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    // A shorter firmware for the real-time run, in its own folder.
    std::string source;
    std::vector<uint8_t> bytes(realTimeRecords * 32);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    AppendSRecordData(source, 0, bytes, 32);
    AppendSRecord(source, '9', 0, {});
    const std::string shortFolder = folder + "short/";
    std::filesystem::create_directories(shortFolder);
    std::ofstream(shortFolder + "torva5t.0") << source;
    if (!SaveFirmwareAsBinary(shortFolder)) return {};
    return folder;
}

struct RunResult {
    bool ok = false;
    int failedSteps = 0;
    std::vector<PhaseFloor> phases; // the last one is the whole run
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

enum class Job { Flash, Upgrade };

// The phases by the status line the program shows (and the bootstrap prompt).
std::map<uint32_t, std::string> PhaseTexts(Job job)
{
    if (job == Job::Flash) return {{20127, "bootcode download"}, {20129, "erase"}, {20128, "programming"}};
    return {{20143, "check radio"},       {20133, "prompt, settling"},
            {20127, "bootcode download"}, {20130, "EEPROM read"},
            {20131, "EEPROM write"},      {20129, "erase"},
            {20128, "programming"},       {20135, "reset"}};
}

RunResult RunJob(Job job, Clock& baseClock, uint32_t flashRate, const std::string& folder, const std::string& firmware,
                 const std::optional<SimUsbAdapter>& adapter = std::nullopt)
{
    RunResult result;
    PauseNotingClock clock(baseClock);
    LineLedger ledger(clock);
    clock.SetLedger(&ledger);
    SimBench bench(clock);
    PortRouter router;
    const PortRouter::Maker simMaker = bench.Maker();
    router.SetSimMaker([&](const std::string& target) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<CountingDevice>(simMaker(target), ledger);
    });
    router.SetSlotTarget(0, "sim:phase12-r2");
    std::string error;
    const auto line = bench.LineFor("sim:phase12-r2", error);
    if (!line) return result;
    line->SetAdapter(adapter);
    PhaseFeedback feedback(ledger, PhaseTexts(job));
    ScopedFeedback scopedFeedback(feedback);
    ScopedRuntime runtime(clock, router);

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    if (job == Job::Flash) {
        FlashFileSet files = CarriedFlashFiles(folder, flashRate);
        if (!firmware.empty()) files.firmwarePath = firmware;
        CFlashLoader loader(files, flashRate, 0);
        ledger.Begin("prompt, settling");
        result.ok = loader.LoadBootcode(true) && loader.FlashFirmware();
    } else {
        UpgradeSettings settings;
        settings.flashRate = flashRate;
        settings.programFolder = folder;
        settings.firmwarePath = firmware;
        UpgradeHooks hooks;
        hooks.tagSeed = 1;
        ledger.Begin("check radio");
        result.ok = RunUpgrade(settings, hooks).outcome == UpgradeOutcome::Succeeded;
    }
    ledger.End();
    result.cpuSeconds = CpuSeconds() - cpuStart;
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    result.phases = ledger.Phases(line->Radio().BusySpans());
    result.failedSteps = feedback.FailedSteps();
    return result;
}

void PrintHeader()
{
    std::printf("%8s  %-18s %9s %9s %9s %9s %9s %8s\n", "rate", "phase", "sim s", "wire s", "pauses s", "radio s",
                "floor s", "ratio");
}

void PrintRow(uint32_t rate, const PhaseFloor& p)
{
    std::printf("%8u  %-18s %9.3f %9.3f %9.3f %9.3f %9.3f %8.4f  %s\n", rate, p.name.c_str(), p.runSeconds,
                p.wireSeconds, p.pauseSeconds, p.radioSeconds, p.Floor(), p.Ratio(), p.Pass() ? "PASS" : "MISS");
}

bool SimulatedRuns(Job job, const std::string& folder)
{
    bool ok = true;
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        VirtualClock clock(1000);
        const RunResult r = RunJob(job, clock, rate, folder, "");
        for (const PhaseFloor& p : r.phases)
            PrintRow(rate, p);
        if (!r.ok) std::printf("%8u  (run FAILED)\n", rate);
        ok = ok && r.ok;
    }
    return ok;
}

struct AdapterRow {
    const char* name;
    std::optional<SimUsbAdapter> adapter;
    double target; // 0: none, only that it completes
};

SimUsbAdapter UsbAdapter(bool honoursLowLatency)
{
    SimUsbAdapter adapter;
    adapter.honoursLowLatency = honoursLowLatency;
    adapter.jitterUs = 500;
    return adapter;
}

bool AdapterRuns(const std::string& folder)
{
    const AdapterRow rows[] = {
        {"no adapter", std::nullopt, 1.02},
        {"USB, low latency", UsbAdapter(true), 1.05},
        {"USB, 16 ms timer", UsbAdapter(false), 0},
    };
    std::printf("%8s  %-18s %9s %9s %8s %8s %7s\n", "rate", "adapter", "sim s", "floor s", "ratio", "target", "failed");
    bool ok = true;
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        for (const AdapterRow& row : rows) {
            VirtualClock clock(1000);
            const RunResult r = RunJob(Job::Upgrade, clock, rate, folder, "", row.adapter);
            const PhaseFloor& total = r.phases.back();
            if (std::getenv("PHASES"))
                for (const PhaseFloor& p : r.phases)
                    PrintRow(rate, p);
            const bool pass = r.ok && r.failedSteps == 0 && (row.target == 0 || total.Ratio() <= row.target);
            char target[16] = "completes";
            if (row.target != 0) std::snprintf(target, sizeof target, "<= %.2f", row.target);
            std::printf("%8u  %-18s %9.3f %9.3f %8.4f %9s %6d  %s\n", rate, row.name, total.runSeconds, total.Floor(),
                        total.Ratio(), target, r.failedSteps, pass ? "PASS" : "MISS");
            ok = ok && pass;
        }
    }
    return ok;
}

bool RealTimeRuns(Job job, const std::string& folder)
{
    std::printf("%8s %10s %10s %8s %10s %10s\n", "rate", "wall s", "floor s", "ratio", "cpu s", "cpu/wall");
    bool ok = true;
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        RealClock clock;
        const RunResult r = RunJob(job, clock, rate, folder, folder + "short/tor5t.mot");
        const PhaseFloor& total = r.phases.back();
        std::printf("%8u %10.2f %10.2f %8.4f %10.3f %9.2f%%%s\n", rate, r.wallSeconds, total.Floor(),
                    r.wallSeconds / total.Floor(), r.cpuSeconds, 100.0 * r.cpuSeconds / r.wallSeconds,
                    r.ok ? "" : "  (run FAILED)");
        ok = ok && r.ok;
    }
    return ok;
}

} // namespace
} // namespace vantrel

int main(int argc, char** argv)
{
    using namespace vantrel;
    uint32_t realTimeRecords = 200;
    bool realTimeUpgrade = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--real-time-firmware-records" && i + 1 < argc)
            realTimeRecords = std::atoi(argv[++i]);
        else if (arg == "--real-time-upgrade")
            realTimeUpgrade = true;
    }
    const std::string binDir = std::filesystem::path(argv[0]).parent_path().string() + "/";
    const std::string folder = MakeProgramFolder(binDir, realTimeRecords == 0 ? 1 : realTimeRecords);
    if (folder.empty()) {
        std::fprintf(stderr, "cannot prepare the program folder (are the sample sources next to %s?)\n", argv[0]);
        return 1;
    }
    const std::string tempData = folder + "data/";
    std::filesystem::create_directories(tempData);
    SetUserDataFolder(tempData);

    std::printf("Bootcode download and flashing of the sample firmware, release 2 Phase 1/2 radio (simulated time)\n");
    PrintHeader();
    bool allOk = SimulatedRuns(Job::Flash, folder);
    std::printf("\nFull upgrade of a release 2 Phase 1/2 radio with the sample firmware (simulated time)\n");
    PrintHeader();
    allOk = SimulatedRuns(Job::Upgrade, folder) && allOk;
    std::printf("\nFull upgrade through a USB serial adapter (simulated time, 0.5 ms jitter per transfer)\n");
    allOk = AdapterRuns(folder) && allOk;
    if (realTimeRecords != 0) {
        std::printf("\nReal-time bootcode download and flashing of a %u-record firmware "
                    "(in-process simulated radio, real clock)\n",
                    realTimeRecords);
        allOk = RealTimeRuns(Job::Flash, folder) && allOk;
        if (realTimeUpgrade) {
            std::printf("\nReal-time upgrade with the %u-record firmware (in-process simulated radio, real clock)\n",
                        realTimeRecords);
            allOk = RealTimeRuns(Job::Upgrade, folder) && allOk;
        }
    }
    std::filesystem::remove_all(folder);
    return allOk ? 0 : 1;
}
