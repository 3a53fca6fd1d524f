#pragma once

#include "flash/FirmwareImage.h"
#include "flash/FlashFileSet.h"
#include "link/LinkTestBench.h"
#include "link/RadioCommands.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace vantrel {

// The radio's bootstrap ROM and the bootcode it starts, on the fake line:
// answers the sync byte, echoes every 8-byte block and, once the expected
// blocks are in, sends the ready byte. Afterwards the line belongs to the
// framed-request responder (the loader).
class BootstrapRadio {
public:
    std::deque<uint8_t> syncAnswers; // answers to the first sync bytes, then syncAnswer
    uint8_t syncAnswer = 0xFF;
    uint32_t replyDelayMs = 0;    // before the sync answer and each block's echo
    uint32_t corruptBlock = 0;    // 1-based block whose echo has one byte changed; 0: none
    uint32_t silentFromBlock = 0; // 1-based first block left without echo; 0: none
    uint32_t expectedBlocks = 0;
    std::optional<uint8_t> readyByte = 'P';
    uint32_t readyDelayMs = 100; // after the last block (or the sync) was heard
    bool running = false;        // the bootcode runs: the line carries framed messages

    uint32_t syncsHeard = 0;
    std::vector<Bytes> blocks;
    std::vector<uint64_t> blockHeardMs;

    void Attach(FakeSerialDevice& device, VirtualClock& clock)
    {
        device.SetByteResponder([this, &clock](uint8_t byte, FakeSerialDevice& line) {
            if (running) return false;
            if (!m_synced) {
                ++syncsHeard;
                uint8_t answer = syncAnswer;
                if (!syncAnswers.empty()) {
                    answer = syncAnswers.front();
                    syncAnswers.pop_front();
                }
                line.Reply({answer}, replyDelayMs);
                m_synced = byte == 0xFD && answer == 0xFF;
                if (m_synced && expectedBlocks == 0) Start(line);
                return true;
            }
            m_block.push_back(byte);
            if (m_block.size() < 8) return true;
            blocks.push_back(m_block);
            blockHeardMs.push_back(clock.NowMs());
            Bytes echo = m_block;
            if (blocks.size() == corruptBlock) echo[3] ^= 0x01;
            if (silentFromBlock == 0 || blocks.size() < silentFromBlock) line.Reply(echo, replyDelayMs);
            m_block.clear();
            if (blocks.size() == expectedBlocks) Start(line);
            return true;
        });
    }

    // All block bytes in the order heard.
    Bytes Downloaded() const
    {
        Bytes all;
        for (const Bytes& b : blocks)
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }

private:
    void Start(FakeSerialDevice& line)
    {
        running = true;
        if (readyByte) line.Reply({*readyByte}, readyDelayMs);
    }

    bool m_synced = false;
    Bytes m_block;
};

// A fake line and a scratch folder for the loader's files. The loader opens
// and closes the port itself; the radio answers framed requests from a script
// once the bootcode runs.
class FlashTestBench : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("vantrel-flash-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        bootstrap.Attach(device, clock);
        device.SetResponder([this](const Bytes& request, FakeSerialDevice& line) {
            requests.push_back(DecodeRequest(request));
            if (script.empty()) return;
            for (const Bytes& message : script.front())
                line.Reply(message, 5);
            script.pop_front();
        });
    }
    void TearDown() override
    {
        TheRadioLink().Attach(nullptr);
        std::filesystem::remove_all(folder);
    }

    std::string WriteFile(const std::string& name, const Bytes& bytes)
    {
        const std::string path = (folder / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // The loader's answer to the next request: ACK and the completion reply.
    void Done() { script.push_back({kAck, Msg(kOpDoneReply)}); }
    void Silence() { script.push_back({}); }

    VirtualClock clock{1000};
    FakeSerialDevice device{clock};
    FakeDeviceFactory factory{device};
    ScopedRuntime runtime{clock, factory};
    RecordingFeedback feedback;
    ScopedFeedback scopedFeedback{feedback};
    BootstrapRadio bootstrap;
    std::filesystem::path folder;
    std::deque<std::vector<Bytes>> script;
    std::vector<HeardRequest> requests;
};

// A firmware record file from (address, data) records.
inline Bytes RecordFile(const std::vector<std::pair<uint32_t, Bytes>>& records)
{
    FirmwareImage image;
    for (const auto& [address, data] : records) {
        image.records.push_back(
            {address, static_cast<uint32_t>(image.data.size()), static_cast<uint32_t>(data.size())});
        image.data.insert(image.data.end(), data.begin(), data.end());
    }
    return EncodeFirmwareRecordFile(image);
}

} // namespace vantrel
