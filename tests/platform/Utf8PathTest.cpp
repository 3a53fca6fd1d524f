// Paths are UTF-8 in the program; a name outside ASCII must reach the same
// file by every way in (on Windows, wide-character paths).

#include "images/ImageTestSupport.h"
#include "platform/Files.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(Utf8PathTest, NamesOutsideAsciiReachTheSameFile)
{
    test::TempFolder folder;
    const std::string sub = folder.Path() + "Pr\xC3\xBC"
                                            "fger\xC3\xA4t"; // Prüfgerät
    SetUserDataFolder(sub);
    const std::string data = UserDataFolder();
    SetUserDataFolder("");
    ASSERT_EQ(data.rfind(sub, 0), 0u) << "the data folder was not made where it was asked for";
    const std::string path = data + "\xE6\x97\xA5\xE6\x9C\xAC-\xC3\x9F.vbk"; // 日本-ß.vbk
    const uint8_t bytes[] = {1, 2, 3, 0xFF};
    ASSERT_TRUE(WriteFileAtomically(path, bytes, sizeof bytes));

    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, std::vector<uint8_t>(bytes, bytes + sizeof bytes));
    EXPECT_EQ(ReadFileAtMost(path, 4, back), BoundedRead::Ok);

    // The file system lists it under the same name.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(data)))
        names.push_back(Utf8FromPath(entry.path().filename()));
    EXPECT_EQ(names, std::vector<std::string>{"\xE6\x97\xA5\xE6\x9C\xAC-\xC3\x9F.vbk"});

    std::FILE* file = OpenFile(path, "rb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    // A second write replaces the file whole (a rename over it, which Windows
    // refuses unless asked to replace).
    const uint8_t again[] = {7, 7};
    ASSERT_TRUE(WriteFileAtomically(path, again, sizeof again));
    ASSERT_TRUE(ReadWholeFile(path, back));
    EXPECT_EQ(back, std::vector<uint8_t>(again, again + sizeof again));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PathFromUtf8(data)), {}), 1)
        << "the temporary file was left behind";
}

} // namespace
} // namespace vantrel
