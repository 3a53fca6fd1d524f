#include "upgrade/UpgradeRig.h"

#include "codeplug/CodeplugLayout.h"
#include "data/ModelTable.h"
#include "flash/FirmwareImage.h"
#include "images/Export.h"
#include "images/SRecordWriter.h"
#include "link/RadioLink.h"
#include "platform/Files.h"
#include "sim/CodeplugGenerator.h"
#include "sim/SimRig.h"
#include "upgrade/UpgradeLengths.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr uint32_t kFlashRates[] = {19200, 38400, 115200};
const char* const kBootcodeFiles[] = {"bt19.mot", "bt38.mot", "bt115.mot"};

void WriteBytes(const test::TempFolder& folder, const std::string& name, const std::vector<uint8_t>& bytes)
{
    folder.Write(name, std::string(bytes.begin(), bytes.end()));
}

} // namespace

UpgradeFolder::UpgradeFolder(bool samples)
{
    SilentFeedback silent;
    ScopedFeedback scoped(silent);
    if (samples) {
        for (const char* name : {"torva5t.0", "bt19k_qel.0", "bt38k_qel.0", "bt115k_qel.0"})
            std::filesystem::copy_file(std::string(VANTREL_BIN_DIR) + "/" + name, folder.File(name));
        EXPECT_TRUE(SaveBootcodesAsBinary(Path()));
    } else {
        for (int i = 0; i < 3; ++i)
            WriteBytes(folder, kBootcodeFiles[i], SampleLoader(kFlashRates[i]));
        // A firmware of a few records at both ends of the program area.
        std::string source;
        const std::vector<uint8_t> low = test::PseudoRandomBytes(96, 11);
        const std::vector<uint8_t> high = test::PseudoRandomBytes(40, 12);
        AppendSRecordData(source, 0x000000, low, 32);
        AppendSRecordData(source, 0x070000, high, 20);
        AppendSRecord(source, '9', 0, {});
        folder.Write("torva5t.0", source);
        firmware = {{0x000000, low}, {0x070000, high}};
    }
    EXPECT_TRUE(SaveFirmwareAsBinary(Path()));
    if (samples) {
        std::vector<uint8_t> bytes;
        FirmwareImage image;
        EXPECT_TRUE(ReadWholeFile(folder.File("tor5t.mot"), bytes));
        EXPECT_EQ(ParseFirmwareRecordFile(bytes.data(), bytes.size(), image), FirmwareFileError::None);
        for (const FirmwareRecord& record : image.records)
            firmware.emplace_back(record.address,
                                  std::vector<uint8_t>(image.Data(record), image.Data(record) + record.length));
    }
    for (int row = 0; row < kModelTableRows; ++row) {
        const std::string name = ModelTableRow(row).eepromDataFile;
        if (!name.empty() && !folder.Exists(name))
            WriteBytes(folder, name, GenerateEepromDataFile(static_cast<uint32_t>(100 + row)));
    }
}

UpgradeRig::UpgradeRig(const std::string& profile, const std::string& faults, bool samples) : program(samples)
{
    std::string error;
    EXPECT_TRUE(bench.SetFaults(faults, error)) << error;
    router.SetSimMaker(bench.Maker());
    router.SetSlotTarget(0, "sim:" + profile);
    line = bench.LineFor("sim:" + profile, error);
    EXPECT_NE(line, nullptr) << error;
    eepromBefore = Radio().State().eeprom;
    flashBefore = Radio().State().flash.Pages();
    m_runtime = std::make_unique<ScopedRuntime>(clock, router);
    m_feedback = std::make_unique<ScopedFeedback>(feedback);
    SetUserDataFolder(data.Path());
    settings.portIndex = 0;
    settings.flashRate = 19200;
    settings.programFolder = program.Path();
    hooks.tagSeed = 7;
}

UpgradeRig::~UpgradeRig()
{
    for (int listener : m_listeners)
        RemoveOperatorActionListener(listener);
    SetUserDataFolder("");
    TheRadioLink().Attach(nullptr);
}

UpgradeResult UpgradeRig::Run()
{
    UpgradeResult result = RunUpgrade(settings, hooks);
    line->Sync();
    return result;
}

std::vector<uint8_t> UpgradeRig::EepromRange(uint32_t from, uint32_t to)
{
    const auto& e = Radio().State().eeprom;
    return {e.begin() + from, e.begin() + to};
}

bool UpgradeRig::FlashHoldsFirmware()
{
    const SimFlash& flash = Radio().State().flash;
    size_t programmed = 0;
    for (const auto& [offset, bytes] : program.firmware) {
        std::vector<uint8_t> got(bytes.size());
        flash.Read(offset, static_cast<uint32_t>(got.size()), got.data());
        if (got != bytes) return false;
        programmed += bytes.size();
    }
    // Nothing else was programmed: every other byte reads erased.
    size_t notErased = 0;
    for (const auto& [offset, page] : flash.Pages())
        for (uint8_t b : page)
            notErased += b != 0xFF;
    size_t firmwareNotErased = 0;
    for (const auto& [offset, bytes] : program.firmware)
        for (uint8_t b : bytes)
            firmwareNotErased += b != 0xFF;
    return programmed > 0 && notErased == firmwareNotErased;
}

uint8_t UpgradeRig::ExpectedTag() const
{
    TagByteSource tags(*hooks.tagSeed);
    return tags.NextDifferentFrom(eepromBefore[kTagByteAddress]);
}

RadioRequest DecodeRadioRequest(const std::vector<uint8_t>& message)
{
    size_t at = 1;
    RadioRequest r;
    r.opcode = message[0] >> 4;
    if (r.opcode == 0x0F) r.opcode = message[at++];
    if ((message[0] & 0x0F) == 0x0F) at += 2;
    const size_t addressAt = r.opcode == 0x11 ? at + 1 : at;
    if ((r.opcode == 0x11 || r.opcode == 0x17) && message.size() >= addressAt + 4)
        r.address = (message[addressAt] << 16) | (message[addressAt + 1] << 8) | message[addressAt + 2];
    return r;
}

uint32_t RequestNumber(const std::string& profile, const RequestMatch& match, int skip)
{
    UpgradeRig clean(profile);
    EXPECT_EQ(clean.Run().outcome, UpgradeOutcome::Succeeded);
    const auto& requests = clean.Radio().Requests();
    EXPECT_EQ(requests.size(), clean.Radio().MessageCount());
    for (size_t i = 0; i < requests.size(); ++i) {
        if (match(DecodeRadioRequest(requests[i])) && skip-- == 0) return static_cast<uint32_t>(i + 1);
    }
    return 0;
}

RequestMatch ReadAt(uint32_t address)
{
    return [address](const RadioRequest& r) { return r.opcode == 0x11 && r.address == address; };
}
RequestMatch WriteAt(uint32_t address)
{
    return [address](const RadioRequest& r) { return r.opcode == 0x17 && r.address == address; };
}
RequestMatch Opcode(uint8_t opcode)
{
    return [opcode](const RadioRequest& r) { return r.opcode == opcode; };
}

} // namespace vantrel
