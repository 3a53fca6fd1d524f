#include "images/ImageTestSupport.h"
#include "images/SRecordFile.h"
#include "images/SRecordWriter.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

// Cross-checks with the two common S-record tools: what they write, we read to
// the same bytes, and what we write, they read.

namespace vantrel {
namespace {

using test::PseudoRandomBytes;
using test::TempFolder;

// The tools are run through a POSIX shell; a Windows build has neither.
bool HaveTool(const char* name)
{
#ifdef _WIN32
    (void)name;
    return false;
#else
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

bool RunTool(const std::string& command)
{
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

std::vector<uint8_t> LoadFlat(const std::string& path, uint32_t capacity, size_t size)
{
    CSRecordFile file(capacity);
    EXPECT_TRUE(file.Open(path));
    std::vector<uint8_t> image(size + 16);
    ImageBuffer buffer{image.data(), static_cast<uint32_t>(image.size())};
    EXPECT_TRUE(file.LoadImage(buffer)) << static_cast<int>(file.Error());
    image.resize(buffer.length);
    return image;
}

// The peers start with a header record, which this reader takes as data like
// any other; the program's own sources have none.
void DropHeaderLine(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(text.rfind("S0", 0), 0u);
    text.erase(0, text.find('\n') + 1);
    std::ofstream(path, std::ios::binary) << text;
}

class PeerToolsTest : public testing::Test {
protected:
    // Sizes for S1 files, S2 files and a size that is not a multiple of any record length.
    const size_t sizes[3] = {1000, 70000, 123457};
    TempFolder folder;
};

TEST_F(PeerToolsTest, ReadsWhatObjcopyWrites)
{
    if (!HaveTool("objcopy")) GTEST_SKIP() << "objcopy is not installed";
    for (const size_t size : sizes) {
        for (const char* length : {"", " --srec-len=252"}) {
            SCOPED_TRACE(std::to_string(size) + length);
            const auto data = PseudoRandomBytes(size, static_cast<uint32_t>(size));
            folder.Write("in.bin", std::string(data.begin(), data.end()));
            ASSERT_TRUE(RunTool("objcopy -I binary -O srec" + std::string(length) + " " + folder.File("in.bin") + " " +
                                folder.File("out.srec")));
            DropHeaderLine(folder.File("out.srec"));
            EXPECT_TRUE(LoadFlat(folder.File("out.srec"), 0, size) == data);
            EXPECT_TRUE(LoadFlat(folder.File("out.srec"), 1u << 22, size) == data);
        }
    }
}

TEST_F(PeerToolsTest, ReadsWhatSrecCatWrites)
{
    if (!HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat is not installed";
    for (const size_t size : sizes) {
        // Default records, and records of count 0xFF with 3-byte addresses.
        for (const char* layout : {"", " -address-length=3 -obs=251"}) {
            SCOPED_TRACE(std::to_string(size) + layout);
            const auto data = PseudoRandomBytes(size, static_cast<uint32_t>(size + 1));
            folder.Write("in.bin", std::string(data.begin(), data.end()));
            ASSERT_TRUE(RunTool("srec_cat " + folder.File("in.bin") + " -binary -o " + folder.File("out.srec") +
                                layout + " -disable=header -disable=data-count"));
            EXPECT_TRUE(LoadFlat(folder.File("out.srec"), 0, size) == data);
            EXPECT_TRUE(LoadFlat(folder.File("out.srec"), 1u << 22, size) == data);
        }
    }
}

TEST_F(PeerToolsTest, PeersReadWhatWeWrite)
{
    // The sample sources and the benchmark input come from our writer; both
    // tools check every checksum.
    const auto data = PseudoRandomBytes(100000, 99);
    std::string text;
    AppendSRecordData(text, 0, data, 45);
    AppendSRecord(text, '9', 0, {});
    folder.Write("in.srec", text);
    const std::string expected(data.begin(), data.end());
    auto read = [&](const char* name) {
        std::ifstream in(folder.File(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    if (HaveTool("objcopy")) {
        ASSERT_TRUE(RunTool("objcopy -I srec -O binary " + folder.File("in.srec") + " " + folder.File("objcopy.bin")));
        EXPECT_TRUE(read("objcopy.bin") == expected);
    }
    if (HaveTool("srec_cat")) {
        ASSERT_TRUE(RunTool("srec_cat " + folder.File("in.srec") + " -o " + folder.File("srec_cat.bin") + " -binary"));
        EXPECT_TRUE(read("srec_cat.bin") == expected);
    }
}

}  // namespace
}  // namespace vantrel
