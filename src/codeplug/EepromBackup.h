#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

// Why the bytes were saved.
enum class EepromBackupKind : uint8_t {
    Backup = 1, // taken before a write that replaces them (codeplug writing, upgrade)
    Undo = 2,   // the radio's block before a patch, for Undo patch
};

// The radio platform as the model lookup tells it apart.
enum class BackupPlatform : uint8_t {
    Unknown = 0,
    Torva = 1,
    Meq = 2,
};

// A run of a radio's EEPROM saved to a file before it is overwritten, with the
// identity of the radio it came from.
//
// File layout, numbers big-endian:
//   0   8  "VNTLBKUP"
//   8   2  format version (1, or 2 when the lookup identity is kept)
//   10  1  kind (EepromBackupKind)
//   11  1  length of the model number (0..39), then its bytes
//       1  length of the serial number (0..39), then its bytes
//       1  length of the software version (0..39), then its bytes
//   version 2 only:
//       1  length of the codeplug part number (0..39), then its bytes
//       1  platform (BackupPlatform)
//       4  EEPROM start address
//       4  byte count (1..65536; start + count <= 65536)
//       n  the bytes
//   format version 2 only (a backup with further runs):
//       1  number of further runs (1..4), then for each:
//          4  EEPROM start address, 4  byte count (1..256), the bytes
//       4  CRC-32 (IEEE) of everything before it
// Nothing may follow the CRC. A backup without further runs is written as
// version 1.

// A further run of saved bytes away from the main one (an upgrade's tag byte).
struct EepromRun {
    uint32_t start = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const EepromRun&) const = default;
};
constexpr size_t kBackupMaxMoreRuns = 4;
constexpr size_t kBackupMaxMoreRunBytes = 256;

struct EepromBackup {
    EepromBackupKind kind = EepromBackupKind::Backup;
    std::string modelNumber;     // read-info item 0; empty when the radio gave none
    std::string serialNumber;    // item 1
    std::string softwareVersion; // item 3
    // The rest of what the model lookup reads (item 11, and the platform), kept
    // by an upgrade so that a recovery from its backup can work out the same
    // plan with the radio in bootstrap mode; empty and unknown otherwise.
    std::string codeplugPartNumber;
    BackupPlatform platform = BackupPlatform::Unknown;
    uint32_t start = 0;          // EEPROM address of bytes[0]
    std::vector<uint8_t> bytes;
    std::vector<EepromRun> moreRuns; // further runs, written back after the main one

    bool operator==(const EepromBackup&) const = default;
};

constexpr uint32_t kBackupAddressSpace = 0x10000;
constexpr size_t kBackupMaxText = 39; // a read-info value is never longer
constexpr const char* kBackupExtension = ".vbk";

bool EncodeEepromBackup(const EepromBackup& backup, std::vector<uint8_t>& out, std::string& error);
bool DecodeEepromBackup(std::span<const uint8_t> data, EepromBackup& out, std::string& error);

// Writes the backup to exactly this path, then reads the file back and
// compares. Never replaces an existing file. error says why it failed.
bool SaveEepromBackup(const std::string& path, const EepromBackup& backup, std::string& error);

// Saves a new file in the per-user data folder, named from the serial number
// and the time ("742TQK1234-20240131-154502.vbk", a "-2" … added when taken).
// Returns its path; empty on failure, with error saying why.
std::string WriteEepromBackup(const EepromBackup& backup, std::string& error);

// Reads and checks a backup file; every length is bounded, a truncated,
// oversized or damaged file is refused with a reason.
bool ReadEepromBackup(const std::string& path, EepromBackup& out, std::string& error);

// Reads the model number, serial number and software version (read-info items
// 0, 1 and 3) into the backup over the attached link; an item the radio does
// not give stays empty.
void ReadBackupIdentity(EepromBackup& backup);

// A serial number made safe for a file name: letters, digits, '-' and '_'
// kept, anything else '_'; "unknown" when nothing is left.
std::string FileNamePart(const std::string& text);

} // namespace vantrel
