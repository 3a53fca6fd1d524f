#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/FileTrace.h"
#include "link/LinkTestBench.h"
#include "link/RadioCommands.h"

namespace vantrel {
namespace {

using FileTraceTest = LinkTestBench;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(FileTraceTest, ATransactionReadsAsOneLinePerMessageAndDirection)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("vantrel-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                               ".log"))
                                 .string();
    {
        FileTrace trace;
        ASSERT_TRUE(trace.Open(path));
        ScopedTrace scoped(&trace);
        answerDelayMs = 20;
        Answer({kAck, Msg(kOpReadInfoReply, {0x10, 0x01})});
        uint8_t value[kInfoBufferSize];
        uint32_t length = 0;
        ASSERT_TRUE(ReadInfo(value, kItemRegionalId, length));
        port.Close();
    }
    const std::string text = ReadText(path);
    std::filesystem::remove(path);
    // The echo and the answer arrive a byte time apart and each reads as one
    // line; the answer comes 20 ms after the request.
    EXPECT_EQ(text,
              "# input purged\n"
              "       0 TX F2 23 10 DA\n"
              "       2 RX F2 23 10 DA\n"
              "      26 RX 50 F3 8B 10 01 70\n"
              "# close COM1\n");
}

}  // namespace
}  // namespace vantrel
