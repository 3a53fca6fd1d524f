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
EepromBackup UpgradeSample()
{
    EepromBackup b = Sample();
    b.codeplugPartNumber = "TORVA_DEF*";
    b.platform = BackupPlatform::Meq;
    return b;
}

class EepromBackupFormat : public ::testing::TestWithParam<bool> {};

TEST_P(EepromBackupFormat, RoundTripsAndRefusesEveryTruncationAndDamage)
{
    const EepromBackup sample = GetParam() ? UpgradeSample() : Sample();
    const std::vector<uint8_t> file = Encoded(sample);
    // Only a backup with the lookup identity needs the second format.
    EXPECT_EQ(file[9], GetParam() ? 2 : 1);
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

INSTANTIATE_TEST_SUITE_P(Versions, EepromBackupFormat, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithLookupIdentity" : "IdentityOnly");
                         });

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
