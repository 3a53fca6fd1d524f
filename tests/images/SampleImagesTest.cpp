#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "data/SampleBootcode.h"
#include "images/Export.h"
#include "images/ImageTestSupport.h"
#include "support/RecordingFeedback.h"
#include "codeplug/CodeplugValidator.h"

// The sample sources the build puts into the program folder convert into
// files the upgrade can use.

namespace vantrel {
namespace {

using test::TempFolder;

uint32_t LittleEndian32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }

class SampleImagesTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {kFirmwareSourceName, kBootcodeNames[0].source, kBootcodeNames[1].source,
                                 kBootcodeNames[2].source}) {
            const std::filesystem::path source = std::filesystem::path(VANTREL_BIN_DIR) / name;
            ASSERT_TRUE(std::filesystem::exists(source)) << source << " was not made by the build";
            std::filesystem::copy_file(source, folder.File(name));
        }
    }
    // Rows the codeplug export converts.
    static std::vector<ModelRow> ConvertedRows()
    {
        std::vector<ModelRow> rows;
        for (int i = 0; i < kModelTableRows; ++i) {
            const ModelRow& row = ModelTableRow(i);
            if (*row.codeplugSourceFile && *row.eepromDataFile && *row.modelNumber) rows.push_back(row);
        }
        return rows;
    }
    TempFolder folder;
    RecordingFeedback feedback;
    ScopedFeedback scoped{feedback};
};

TEST_F(SampleImagesTest, FirmwareIsFlashable)
{
    ASSERT_TRUE(SaveFirmwareAsBinary(folder.Path()));
    const std::vector<uint8_t> file = folder.Read(kFirmwareRecordFileName);
    ASSERT_GE(file.size(), 4u);
    const uint32_t count = LittleEndian32(file.data());
    size_t offset = 4;
    size_t dataBytes = 0;
    uint32_t nextAddress = 0;
    for (uint32_t i = 0; i < count; ++i) {
        ASSERT_LE(offset + 5, file.size());
        const uint32_t length = file[offset];
        const uint32_t address = LittleEndian32(&file[offset + 1]);
        // Within one write-memory command, in ascending order, inside 24 bits.
        EXPECT_LE(length, 45u);
        EXPECT_GE(address, nextAddress);
        EXPECT_LE(address + length, 0x1000000u);
        nextAddress = address + length;
        dataBytes += length;
        offset += 5 + length;
    }
    EXPECT_EQ(offset, file.size());
    EXPECT_GE(dataBytes, 256u * 1024);
}

TEST_F(SampleImagesTest, BootcodesAreLoadersForTheirRate)
{
    ASSERT_TRUE(SaveBootcodesAsBinary(folder.Path()));
    const uint32_t rates[3] = {19200, 38400, 115200};
    for (int k = 0; k < 3; ++k) {
        const std::vector<uint8_t> image = folder.Read(kBootcodeNames[k].output);
        ASSERT_GE(image.size(), kSampleBootcodeHeaderSize);
        EXPECT_LE(image.size(), kBootcodeImageSize);
        EXPECT_EQ(std::memcmp(image.data(), kSampleBootcodeMark, 4), 0);
        EXPECT_EQ(LittleEndian32(image.data() + 4), rates[k]);
    }
}

TEST_F(SampleImagesTest, CodeplugSourcesGiveSoundEepromDataFiles)
{
    const std::vector<ModelRow> rows = ConvertedRows();
    ASSERT_FALSE(rows.empty());
    for (const ModelRow& row : rows) {
        const std::filesystem::path source = std::filesystem::path(VANTREL_BIN_DIR) / row.codeplugSourceFile;
        ASSERT_TRUE(std::filesystem::exists(source)) << source << " was not made by the build";
        std::filesystem::copy_file(source, folder.File(row.codeplugSourceFile),
                                   std::filesystem::copy_options::skip_existing);
    }
    ASSERT_TRUE(SaveCodeplugsAsBinary(folder.Path()));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20141});
    for (const ModelRow& row : rows) {
        SCOPED_TRACE(row.eepromDataFile);
        const std::vector<uint8_t> data = folder.Read(row.eepromDataFile);
        EXPECT_GE(data.size(), 723u);
        EXPECT_EQ(ValidateEepromDataFile(data), CodeplugProblems{});
    }
}

}  // namespace
}  // namespace vantrel
