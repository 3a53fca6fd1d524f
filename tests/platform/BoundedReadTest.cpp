#include "images/ImageTestSupport.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// The limit is checked on what is read, across the reader's chunk boundary,
// and a refused file leaves nothing behind in the output.
TEST(ReadFileAtMost, EnforcesTheLimitOnTheBytesRead)
{
    test::TempFolder folder;
    const size_t limit = 65536 + 10;
    folder.Write("exact", std::string(limit, 'a'));
    folder.Write("over", std::string(limit + 1, 'b'));
    folder.Write("empty", "");

    std::vector<uint8_t> out;
    EXPECT_EQ(ReadFileAtMost(folder.File("exact"), limit, out), BoundedRead::Ok);
    EXPECT_EQ(out.size(), limit);
    EXPECT_EQ(out.back(), 'a');

    EXPECT_EQ(ReadFileAtMost(folder.File("over"), limit, out), BoundedRead::TooLarge);
    EXPECT_TRUE(out.empty());

    EXPECT_EQ(ReadFileAtMost(folder.File("empty"), 0, out), BoundedRead::Ok);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ReadFileAtMost(folder.File("over"), 0, out), BoundedRead::TooLarge);

    EXPECT_EQ(ReadFileAtMost(folder.File("missing"), limit, out), BoundedRead::CannotOpen);
#ifdef _WIN32
    // Windows refuses to open a directory as a file.
    EXPECT_EQ(ReadFileAtMost(folder.Path(), limit, out), BoundedRead::CannotOpen);
#else
    // A directory opens but cannot be read as a file.
    EXPECT_EQ(ReadFileAtMost(folder.Path(), limit, out), BoundedRead::ReadError);
#endif

    std::string error;
    EXPECT_FALSE(ReadFileAtMost(folder.File("over"), limit, "patch file", out, error));
    EXPECT_EQ(error, folder.File("over") + " is too large for a patch file");
    EXPECT_FALSE(ReadFileAtMost(folder.File("missing"), limit, "patch file", out, error));
    EXPECT_EQ(error, "cannot open " + folder.File("missing"));
}

} // namespace
} // namespace vantrel
