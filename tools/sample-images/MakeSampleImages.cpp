// Makes the sample S-record sources that ship in the program folder: the
// firmware "torva5t.0", the three bootcode sources and one codeplug source per
// EEPROM data file of the model table. The real sources are product data we do
// not have; these obey the same rules (S2 records of at most 45 data bytes in
// ascending address order, bootcodes of at most 5000 bytes that the simulated
// radio recognises as loaders for their rate, codeplug sources that convert
// into sound EEPROM data files).
//
// Usage: vantrel_make_samples FOLDER

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "data/ModelTable.h"
#include "data/SampleBootcode.h"
#include "images/SRecordWriter.h"
#include "sim/CodeplugGenerator.h"

namespace {

using vantrel::AppendSRecord;
using vantrel::AppendSRecordData;

// Deterministic content: the same build always ships the same files.
std::vector<uint8_t> PseudoRandom(size_t count, uint32_t seed)
{
    std::vector<uint8_t> bytes(count);
    uint32_t x = seed;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

bool WriteText(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// Firmware: a 352 KiB program area from address 0 and a 16 KiB table area
// higher up, in records of 32 data bytes (the flashing takes at most 45).
std::string MakeFirmware()
{
    std::string text;
    AppendSRecordData(text, 0x000000, PseudoRandom(352 * 1024, 0x5EED0001), 32);
    AppendSRecordData(text, 0x070000, PseudoRandom(16 * 1024 + 20, 0x5EED0002), 32);
    AppendSRecord(text, '9', 0, {});
    return text;
}

// A bootcode: the loader mark, the flash rate it switches to (32-bit
// little-endian), then the loader body.
std::string MakeBootcode(uint32_t rate, size_t size)
{
    std::vector<uint8_t> image = PseudoRandom(size, 0xB0070000u ^ rate);
    for (uint32_t i = 0; i < 4; ++i) {
        image[i] = vantrel::kSampleBootcodeMark[i];
        image[4 + i] = static_cast<uint8_t>(rate >> (8 * i));
    }
    std::string text;
    AppendSRecordData(text, 0x000000, image, 32);
    AppendSRecord(text, '9', 0, {});
    return text;
}

// A codeplug source: the model's EEPROM data file (a Phase 3 hardware
// codeplug template in 0..639, a new-layout block 1 in 651..722) as records
// from address 0 without gaps. The content follows from the name, so rows
// naming the same file agree.
std::string MakeCodeplugSource(const std::string& name)
{
    uint32_t seed = 2166136261u;
    for (const char c : name) seed = (seed ^ static_cast<uint8_t>(c)) * 16777619u;
    std::string text;
    AppendSRecordData(text, 0x000000, vantrel::GenerateEepromDataFile(seed), 32);
    AppendSRecord(text, '9', 0, {});
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    struct Output {
        const char* name;
        std::string text;
    };
    std::vector<Output> outputs = {
        {"torva5t.0", MakeFirmware()},
        {"bt19k_qel.0", MakeBootcode(19200, 3000)},
        {"bt38k_qel.0", MakeBootcode(38400, 3200)},
        {"bt115k_qel.0", MakeBootcode(115200, 3400)},
    };
    // The rows the codeplug export converts: all three names present.
    std::set<std::string> sources;
    for (int i = 0; i < vantrel::kModelTableRows; ++i) {
        const vantrel::ModelRow& row = vantrel::ModelTableRow(i);
        if (!*row.codeplugSourceFile || !*row.eepromDataFile || !*row.modelNumber) continue;
        if (sources.insert(row.codeplugSourceFile).second) {
            outputs.push_back({row.codeplugSourceFile, MakeCodeplugSource(row.codeplugSourceFile)});
        }
    }
    for (const Output& output : outputs) {
        if (!WriteText(folder + output.name, output.text)) {
            std::fprintf(stderr, "%s: cannot write %s%s\n", argv[0], folder.c_str(), output.name);
            return 1;
        }
    }
    return 0;
}
