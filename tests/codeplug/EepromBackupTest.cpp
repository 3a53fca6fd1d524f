#include "codeplug/EepromBackup.h"

#include "images/ImageTestSupport.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

EepromBackup Sample()
{
    EepromBackup b;
    b.modelNumber = "H25TVA0A1B";
    b.serialNumber = "742TQK1234";
    b.softwareVersion = "R03.07.05";
    b.start = 640;
    b.bytes = test::PseudoRandomBytes(300, 5);
    return b;
}

std::vector<uint8_t> Encoded(const EepromBackup& b)
{
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(EncodeEepromBackup(b, out, error)) << error;
    return out;
}

// An upgrade's backup also keeps what the model lookup reads.
EepromBackup WithLookup(EepromBackup b)
{
    b.codeplugPartNumber = "TORVA_DEF*";
    b.platform = BackupPlatform::Meq;
    return b;
}

// An upgrade's backup: the image from address 0 and the tag byte far beyond it.
EepromBackup SampleWithRuns()
{
    EepromBackup b = Sample();
    b.start = 0;
    b.moreRuns = {{0x3FF0, {0x42}}, {0x7000, test::PseudoRandomBytes(256, 6)}};
    return b;
}

// The sample comes back from its file; every shorter, longer or damaged file is refused.
void ExpectRoundTripAndRefusals(const EepromBackup& sample)
{
    const std::vector<uint8_t> file = Encoded(sample);
    EepromBackup back;
    std::string error;
    ASSERT_TRUE(DecodeEepromBackup(file, back, error)) << error;
    EXPECT_EQ(back, sample);

    for (size_t n = 0; n < file.size(); ++n) {
        EXPECT_FALSE(DecodeEepromBackup(std::span(file).first(n), back, error)) << "cut to " << n;
        EXPECT_FALSE(error.empty());
    }
    for (size_t at = 0; at < file.size(); ++at) {
        std::vector<uint8_t> damaged = file;
        damaged[at] ^= 0x01;
        EXPECT_FALSE(DecodeEepromBackup(damaged, back, error)) << "bit flipped at " << at;
    }
    std::vector<uint8_t> longer = file;
    longer.push_back(0);
    EXPECT_FALSE(DecodeEepromBackup(longer, back, error));
    EXPECT_NE(error.find("after the checksum"), std::string::npos) << error;
    EXPECT_EQ(back, sample) << "a refused file leaves the result alone";
}

TEST(EepromBackup, RoundTripsAndRefusesEveryTruncationAndDamage)
{
    const struct {
        const char* name;
        EepromBackup sample;
        uint8_t version;
    } cases[] = {{"identity only", Sample(), 1},
                 {"further runs", SampleWithRuns(), 2},
                 {"lookup identity", WithLookup(Sample()), 3},
                 {"lookup identity and further runs", WithLookup(SampleWithRuns()), 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRoundTripAndRefusals(c.sample);
        // Without further runs or the lookup identity the file keeps the
        // first format, byte for byte.
        EXPECT_EQ(Encoded(c.sample)[9], c.version);
    }
}

TEST(EepromBackup, FurtherRunsAreBounded)
{
    std::vector<uint8_t> out;
    std::string error;
    EepromBackup bad = SampleWithRuns();
    bad.moreRuns.resize(kBackupMaxMoreRuns + 1, {0x100, {1}});
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));
    bad = SampleWithRuns();
    bad.moreRuns[1].bytes.resize(kBackupMaxMoreRunBytes + 1);
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));
    bad = SampleWithRuns();
    bad.moreRuns[0] = {0xFFFF, {1, 2}};
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));
    bad = SampleWithRuns();
    bad.moreRuns[0].bytes.clear();
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));

    // A count of further runs or a run length the file cannot hold is refused
    // before anything is reserved for it.
    const std::vector<uint8_t> file = Encoded(SampleWithRuns());
    const size_t runsAt = 8 + 2 + 1 + 11 + 11 + 10 + 4 + 4 + 300;
    EepromBackup back;
    for (const auto& [at, value] : std::vector<std::pair<size_t, uint8_t>>{
             {runsAt, 0}, {runsAt, 5}, {runsAt + 1 + 4 + 2, 0x10}, {runsAt + 1 + 4 + 3, 0x00}}) {
        std::vector<uint8_t> damaged = file;
        damaged[at] = value;
        EXPECT_FALSE(DecodeEepromBackup(damaged, back, error)) << at << " = " << int{value};
        EXPECT_NE(error.find("further runs"), std::string::npos) << error;
    }
}

TEST(EepromBackup, LengthsFromTheFileAreBounded)
{
    // A count that claims more bytes than the file has, with a matching CRC
    // impossible to reach: the reader must stop at the data's end, not after.
    std::vector<uint8_t> file = Encoded(Sample());
    const size_t countAt = 8 + 2 + 1 + 11 + 11 + 10 + 4;
    file[countAt] = 0x7F;
    EepromBackup back;
    std::string error;
    EXPECT_FALSE(DecodeEepromBackup(file, back, error));
    EXPECT_NE(error.find("outside the EEPROM"), std::string::npos) << error;
    file[countAt] = 0x00;
    file[countAt + 2] = 0x02; // 0x22C bytes: inside the EEPROM, beyond the file
    EXPECT_FALSE(DecodeEepromBackup(file, back, error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    // Fields the encoder must refuse rather than write a file nobody can read.
    std::vector<uint8_t> out;
    EepromBackup bad = Sample();
    bad.serialNumber.assign(40, 'S');
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));
    bad = Sample();
    bad.start = 0xFFFF;
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));
    bad.bytes.clear();
    bad.start = 0;
    EXPECT_FALSE(EncodeEepromBackup(bad, out, error));
}

TEST(EepromBackup, FilesAreNeverReplacedAndReadBackChecked)
{
    test::TempFolder folder;
    SetUserDataFolder(folder.Path());
    const EepromBackup sample = Sample();
    std::string error;
    const std::string first = WriteEepromBackup(sample, error);
    const std::string second = WriteEepromBackup(sample, error);
    ASSERT_FALSE(first.empty()) << error;
    ASSERT_FALSE(second.empty()) << error;
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(folder.Path() + "742TQK1234-", 0), 0u) << first;
    EXPECT_TRUE(first.ends_with(".vbk"));
    EXPECT_EQ(folder.Names().size(), 2u) << "no temporary files left";

    EXPECT_FALSE(SaveEepromBackup(first, Sample(), error)) << "an existing file is kept";
    EepromBackup back;
    ASSERT_TRUE(ReadEepromBackup(first, back, error)) << error;
    EXPECT_EQ(back, sample);

    folder.Write("huge.vbk", std::string(70 * 1024, 'x'));
    EXPECT_FALSE(ReadEepromBackup(folder.File("huge.vbk"), back, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_FALSE(ReadEepromBackup(folder.File("none.vbk"), back, error));

    EepromBackup unnamed = Sample();
    unnamed.serialNumber = "../../x y";
    const std::string path = WriteEepromBackup(unnamed, error);
    EXPECT_EQ(path.rfind(folder.Path() + "______x_y-", 0), 0u) << path;
    EXPECT_EQ(FileNamePart(""), "unknown");
    EXPECT_EQ(FileNamePart("//"), "unknown");
    SetUserDataFolder("");
}

// A data folder named outside ASCII (the user's own name in its path) is no
// obstacle to saving, finding a free name and reading back.
TEST(EepromBackup, DataFolderNamedOutsideAscii)
{
    test::TempFolder folder;
    SetUserDataFolder(folder.Path() + "J\xC3\xBCrgen");
    std::string error;
    const std::string first = WriteEepromBackup(Sample(), error);
    const std::string second = WriteEepromBackup(Sample(), error);
    SetUserDataFolder("");
    ASSERT_FALSE(first.empty()) << error;
    EXPECT_NE(first, second) << "the first file was not seen";
    EepromBackup back;
    ASSERT_TRUE(ReadEepromBackup(first, back, error)) << error;
    EXPECT_EQ(back, Sample());
}

} // namespace
} // namespace vantrel
