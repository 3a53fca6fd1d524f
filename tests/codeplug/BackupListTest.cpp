#include "codeplug/BackupList.h"

#include "images/ImageTestSupport.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

EepromBackup Backup(const std::string& serial, uint32_t start, EepromBackupKind kind = EepromBackupKind::Backup)
{
    EepromBackup b;
    b.kind = kind;
    b.modelNumber = "H25TVA0A1B";
    b.serialNumber = serial;
    b.softwareVersion = "R02.02.04";
    b.start = start;
    b.bytes = test::PseudoRandomBytes(64, start + 1);
    return b;
}

void Save(const test::TempFolder& folder, const std::string& name, const EepromBackup& backup)
{
    std::string error;
    ASSERT_TRUE(SaveEepromBackup(folder.File(name), backup, error)) << error;
}

TEST(BackupList, NewestFirstWithoutUndoDataOrDamagedFiles)
{
    test::TempFolder folder;
    Save(folder, "742TQK1234-20240131-154502.vbk", Backup("742TQK1234", 0));
    Save(folder, "742TQK1234-20240131-154502-2.vbk", Backup("742TQK1234", 640));
    Save(folder, "742TQK9999-20231231-235959.vbk", Backup("742TQK9999", 0));
    Save(folder, "742TQK1234-20250101-000000.vbk", Backup("742TQK1234", 0, EepromBackupKind::Undo));
    folder.Write("742TQK1234-20260101-000000.vbk", "not a backup");
    Save(folder, "copied by hand.vbk", Backup("742TQK5555", 0));
    Save(folder, "742TQK1234-20270101-000000.bak", Backup("742TQK1234", 0));

    const std::vector<BackupListing> list = ListEepromBackups(folder.Path());
    std::vector<std::string> names;
    for (const BackupListing& listing : list)
        names.push_back(listing.path.substr(folder.Path().size()));
    // The file copied by hand has today's modification time: newest.
    EXPECT_EQ(names, (std::vector<std::string>{"copied by hand.vbk", "742TQK1234-20240131-154502-2.vbk",
                                               "742TQK1234-20240131-154502.vbk", "742TQK9999-20231231-235959.vbk"}));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1].taken, "2024-01-31 15:45:02");
    EXPECT_EQ(list[1].backup.start, 640u);
    EXPECT_EQ(list[3].backup.serialNumber, "742TQK9999");

    // An upgrade's backup of a radio starts at address 0.
    EXPECT_EQ(NewestBackupOf(folder.Path(), "742TQK1234").path, folder.File("742TQK1234-20240131-154502.vbk"));
    EXPECT_TRUE(NewestBackupOf(folder.Path(), "742TQK0000").path.empty());
    EXPECT_TRUE(NewestBackupOf(folder.Path(), "").path.empty());
    EXPECT_TRUE(ListEepromBackups(folder.File("no such folder")).empty());
    EXPECT_TRUE(ListEepromBackups("").empty());
}

} // namespace
} // namespace vantrel
