// Time of a whole upgrade on the simulated radio, per flash rate, next to what
// the line and the protocol make unavoidable: the serial-line floor (every
// byte on the wire at the rate it was sent), the program's own pauses (every
// sleep it takes) and the radio's modelled processing times. A second part
// runs an upgrade against the simulated radio in real time and reports the
// process's CPU time against the wall time: the waits must block, not spin.
//
//   upgrade_bench [--real-time-firmware-records N]   (default 200; 0 skips)

#include "data/ModelTable.h"
#include "images/Export.h"
#include "images/SRecordWriter.h"
#include "link/Feedback.h"
#include "platform/Files.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "sim/CodeplugGenerator.h"
#include "sim/SimBench.h"
#include "upgrade/UpgradeProcedure.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace vantrel {
namespace {

// Counts what crosses the line per rate: the host's bytes, and the radio's
// (everything read beyond the interface's echo of what was written).
class CountingDevice final : public SerialDevice {
public:
    CountingDevice(std::unique_ptr<SerialDevice> inner, double& wireSeconds)
        : m_inner(std::move(inner)), m_wireSeconds(wireSeconds)
    {
    }
    ~CountingDevice() override { Flush(); }
    OpenResult Open(const std::string& name) override { return m_inner->Open(name); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    void Close() override
    {
        Flush();
        m_inner->Close();
    }
    bool SetQueueSizes(uint32_t rx, uint32_t tx) override { return m_inner->SetQueueSizes(rx, tx); }
    bool Purge(unsigned flags) override { return m_inner->Purge(flags); }
    bool SetReadLimits(const ReadLimits& limits) override { return m_inner->SetReadLimits(limits); }
    bool GetLineSettings(LineSettings& settings) override { return m_inner->GetLineSettings(settings); }
    bool SetLineSettings(const LineSettings& settings) override
    {
        Flush();
        m_rate = settings.baudRate;
        return m_inner->SetLineSettings(settings);
    }
    bool GetStatus(LineStatus& status) override { return m_inner->GetStatus(status); }
    int Read(uint8_t* buffer, uint32_t count) override
    {
        const int n = m_inner->Read(buffer, count);
        if (n > 0) m_read += static_cast<uint64_t>(n);
        return n;
    }
    int Write(const uint8_t* buffer, uint32_t count) override
    {
        const int n = m_inner->Write(buffer, count);
        if (n > 0) m_written += static_cast<uint64_t>(n);
        return n;
    }
    void WaitForActivity(uint32_t maxMs) override { m_inner->WaitForActivity(maxMs); }

private:
    void Flush()
    {
        const uint64_t radio = m_read > m_written ? m_read - m_written : 0;
        if (m_rate != 0) m_wireSeconds += static_cast<double>((m_written + radio) * 10) / m_rate;
        m_read = m_written = 0;
    }
    std::unique_ptr<SerialDevice> m_inner;
    double& m_wireSeconds;
    uint32_t m_rate = 0;
    uint64_t m_read = 0;
    uint64_t m_written = 0;
};

// Adds up the pauses the program takes (its sleeps), apart from the waits
// that block on the line.
class PauseCountingClock final : public Clock {
public:
    explicit PauseCountingClock(Clock& inner) : m_inner(inner) {}
    uint64_t NowMs() override { return m_inner.NowMs(); }
    void Sleep(uint32_t ms) override
    {
        m_pausedMs += ms;
        m_inner.Sleep(ms);
    }
    void SleepUntil(uint64_t t) override { m_inner.SleepUntil(t); }
    bool IsVirtual() const override { return m_inner.IsVirtual(); }
    uint64_t PausedMs() const { return m_pausedMs; }

private:
    Clock& m_inner;
    uint64_t m_pausedMs = 0;
};

// The radio's modelled processing for the requests it took and the bootcode
// downloads it ran.
double RadioSeconds(const SimRadio& radio)
{
    const SimTiming& t = radio.Timing();
    uint64_t us = 0;
    for (const auto& message : radio.Requests()) {
        size_t at = 1;
        uint8_t opcode = message[0] >> 4;
        if (opcode == 0x0F) opcode = message[at++];
        uint32_t length = message[0] & 0x0F;
        if (length == 0x0F) {
            length = (message[at] << 8) | message[at + 1];
            at += 2;
        }
        const uint32_t payload = length > 0 ? length - 1 : 0;
        switch (opcode) {
        case 0x15:
            us += t.eraseUs + t.eraseDoneUs;
            break;
        case 0x10:
            us += t.ackDelayUs;
            break;
        case 0x17: {
            const uint32_t count = payload > 3 ? payload - 3 : 0;
            const bool flash = payload >= 3 && (message[at] & 0x40) != 0;
            us += t.ackDelayUs + t.replyDelayUs +
                  uint64_t{count} * (flash ? t.flashWritePerByteUs : t.eepromWritePerByteUs);
            break;
        }
        default:
            us += t.ackDelayUs + t.replyDelayUs;
            break;
        }
    }
    us += uint64_t{radio.BlockCount()} * t.blockEchoUs;
    us += uint64_t{radio.BootCount()} *
          (t.bootBreakDelayUs + t.breakUs + t.syncAnswerUs + t.downloadSilenceUs + t.loaderStartUs);
    return static_cast<double>(us) / 1e6;
}

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

struct RunTimes {
    bool ok = false;
    double runSeconds = 0;   // on the clock the radio runs on
    double wireSeconds = 0;  // bytes on the line at their rates
    double pauseSeconds = 0; // the program's sleeps
    double radioSeconds = 0; // the radio's modelled processing
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

RunTimes RunOnce(Clock& baseClock, uint32_t flashRate, const std::string& folder, const std::string& firmware)
{
    RunTimes times;
    PauseCountingClock clock(baseClock);
    SimBench bench(clock);
    PortRouter router;
    const PortRouter::Maker simMaker = bench.Maker();
    router.SetSimMaker([&](const std::string& target) -> std::unique_ptr<SerialDevice> {
        return std::make_unique<CountingDevice>(simMaker(target), times.wireSeconds);
    });
    router.SetSlotTarget(0, "sim:phase12-r2");
    std::string error;
    const auto line = bench.LineFor("sim:phase12-r2", error);
    if (!line) return times;
    SilentFeedback feedback;
    ScopedFeedback scopedFeedback(feedback);
    ScopedRuntime runtime(clock, router);
    UpgradeSettings settings;
    settings.flashRate = flashRate;
    settings.programFolder = folder;
    settings.firmwarePath = firmware;
    UpgradeHooks hooks;
    hooks.tagSeed = 1;

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    const uint64_t start = clock.NowMs();
    times.ok = RunUpgrade(settings, hooks).outcome == UpgradeOutcome::Succeeded;
    times.runSeconds = static_cast<double>(clock.NowMs() - start) / 1000.0;
    times.cpuSeconds = CpuSeconds() - cpuStart;
    times.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    times.pauseSeconds = static_cast<double>(clock.PausedMs()) / 1000.0;
    times.radioSeconds = RadioSeconds(line->Radio());
    return times;
}

} // namespace
} // namespace vantrel

int main(int argc, char** argv)
{
    using namespace vantrel;
    uint32_t realTimeRecords = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--real-time-firmware-records") realTimeRecords = std::atoi(argv[i + 1]);
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

    std::printf("Full upgrade of a release 2 Phase 1/2 radio with the sample firmware (simulated time)\n");
    std::printf("%8s %10s %10s %10s %10s %12s %8s %8s\n", "rate", "upgrade s", "wire s", "pauses s", "radio s",
                "floor+p s", "ratio", "wall s");
    bool allOk = true;
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        VirtualClock clock(1000);
        const RunTimes t = RunOnce(clock, rate, folder, "");
        const double floor = t.wireSeconds + t.pauseSeconds + t.radioSeconds;
        std::printf("%8u %10.2f %10.2f %10.2f %10.2f %12.2f %8.4f %8.2f%s\n", rate, t.runSeconds, t.wireSeconds,
                    t.pauseSeconds, t.radioSeconds, floor, t.runSeconds / floor, t.wallSeconds,
                    t.ok ? "" : "  (upgrade FAILED)");
        allOk = allOk && t.ok;
    }
    if (realTimeRecords != 0) {
        std::printf("\nReal-time upgrade with a %u-record firmware (in-process simulated radio, real clock)\n",
                    realTimeRecords);
        std::printf("%8s %10s %12s %8s %10s %10s\n", "rate", "wall s", "floor+p s", "ratio", "cpu s", "cpu/wall");
        for (uint32_t rate : {19200u, 38400u, 115200u}) {
            RealClock clock;
            const RunTimes t = RunOnce(clock, rate, folder, folder + "short/tor5t.mot");
            const double floor = t.wireSeconds + t.pauseSeconds + t.radioSeconds;
            std::printf("%8u %10.2f %12.2f %8.4f %10.3f %9.2f%%%s\n", rate, t.wallSeconds, floor, t.wallSeconds / floor,
                        t.cpuSeconds, 100.0 * t.cpuSeconds / t.wallSeconds, t.ok ? "" : "  (upgrade FAILED)");
            allOk = allOk && t.ok;
        }
    }
    std::filesystem::remove_all(folder);
    return allOk ? 0 : 1;
}
