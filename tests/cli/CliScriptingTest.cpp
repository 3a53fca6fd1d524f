#include "cli/Cli.h"
#include "cli/ConsoleFeedback.h"
#include "support/CliRunner.h"
#include "support/StreamText.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace vantrel {
namespace {

using test::CliRun;
using test::RunCommand;
using test::TempPath;

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CliScripting, VersionNamesTheNewestReleaseAndTheRevision)
{
    const CliRun run = RunCommand({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("vantrel-cli R03.08.08 (revision ")) << run.out;
    EXPECT_TRUE(run.out.ends_with(")\n")) << run.out;
    EXPECT_FALSE(Has(run.out, "(revision )")) << "an empty revision";
}

TEST(CliScripting, HelpSaysTheSampleDataServeTheSimulatedRadioOnly)
{
    const CliRun run = RunCommand({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "sample model table, made for the built-in simulated radio only")) << run.out;
}

struct JsonCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> fields; // parts of the one line printed
};

class JsonOutput : public testing::TestWithParam<JsonCase> {};

TEST_P(JsonOutput, PrintsOneObjectOnOneLine)
{
    const CliRun run = RunCommand(GetParam().args);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.front(), '{');
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line: " << run.out;
    for (const auto& field : GetParam().fields)
        EXPECT_TRUE(Has(run.out, field)) << field << " in " << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, JsonOutput,
    testing::Values(JsonCase{"Info",
                             {"info", "--json"},
                             {R"("modelNumber":"SAMPLE01TA")", R"("serialNumber":"742TQK1234")",
                              R"("softwareVersion":"R03.07.05")", R"("icVersions":[33,16,3,7])",
                              R"("regionalId":{"name":"North America","value":1})", R"("esn":"138/01/)"}},
                    // The serial number refused, the software version not supported.
                    JsonCase{
                        "InfoWithItemsMissing",
                        {"--sim-fault", "nak@2", "--sim-fault", "unsupported@3", "info", "--json"},
                        {R"("serialNumber":null)", R"("softwareVersion":null)", R"("codeplugVersion":"R03.07.00")"}},
                    JsonCase{"RegionWithoutName",
                             {"--sim-profile", "no-region", "region", "--json"},
                             {R"({"regionalId":{"name":"No Region defined","value":255}})"}},
                    JsonCase{"Ports", {"ports", "--json"}, {R"({"ports":[)", R"({"path":"sim",)"}}),
    [](const testing::TestParamInfo<JsonCase>& info) { return std::string(info.param.name); });

// A radio whose texts hold control sequences and 8-bit bytes: printed escaped,
// never raw, both as text and as JSON.
TEST(CliScripting, RadioTextIsPrintedSafely)
{
    const CliRun text = RunCommand({"--sim-profile", "control-text", "info"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_TRUE(Has(text.out, "Model Number:         \\x1B[2J\\x1B]0;X\\x07\\x9B\n")) << text.out;
    EXPECT_TRUE(Has(text.out, "Serial Number:        742\\xE9QK\\x5C12\n")) << text.out;
    EXPECT_TRUE(Has(text.out, "Firmware Part No:     TORVA\\xFF\\x01FW38\n")) << text.out;
    const CliRun json = RunCommand({"--sim-profile", "control-text", "info", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_TRUE(Has(json.out, R"("modelNumber":"\\x1B[2J\\x1B]0;X\\x07\\x9B")")) << json.out;
    for (const std::string* out : {&text.out, &json.out}) {
        for (const char c : *out) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7F)) << "raw byte " << int(byte);
        }
    }
}

TEST(CliScripting, RegionSaysWhyTheRadioRefusedTheRead)
{
    const CliRun run = RunCommand({"--sim-fault", "nak@1", "region"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "Error: The radio refused the Regional ID read: it answered with a NAK or an unexpected reply.\n");
}

TEST(CliScripting, APortIsNamedAsTheUserGaveIt)
{
    // A slot keeps its name and shows the device it reaches (as JSON escapes it in events).
#ifdef _WIN32
    const std::string device = R"(\\.\COM4)", deviceInJson = R"(\\\\.\\COM4)", missing = "no such port";
#else
    const std::string device = "/dev/ttyS3", deviceInJson = device, missing = "no such device";
#endif
    const CliRun slot = RunCommand({"--port", "COM4", "--events", "-", "region"});
    EXPECT_EQ(slot.status, 1);
    EXPECT_TRUE(Has(slot.err, "Error: The serial port COM4 (" + device + ") could not be opened.")) << slot.err;
    EXPECT_TRUE(Has(slot.out, "\"port\":\"COM4 (" + deviceInJson + ")\"")) << slot.out;
    const CliRun path = RunCommand({"--port", "/dev/vantrel-no-such-tty", "--events", "-", "region"});
    EXPECT_TRUE(Has(path.out, R"("text":"The serial port /dev/vantrel-no-such-tty could not be opened.\n)"))
        << path.out;
    EXPECT_TRUE(Has(path.out, "\"note\":\"" + missing + "\"")) << path.out;
}

TEST(CliScripting, JsonIsRefusedWhereThereIsNothingToShow)
{
    EXPECT_EQ(RunCommand({"region", "--json", "set", "asia"}).status, 2);
    EXPECT_EQ(RunCommand({"upgrade", "--json"}).status, 2);
}

// Standard output and standard error written into one log (2>&1), both fully
// buffered as they are on a pipe: every line keeps its place.
TEST(CliScripting, OutputAndErrorsKeepTheirOrderInOneLog)
{
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    std::FILE* out = ::fdopen(::dup(::fileno(log)), "w");
    std::FILE* err = ::fdopen(::dup(::fileno(log)), "w");
    ASSERT_TRUE(out && err);
    std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
    std::setvbuf(err, nullptr, _IOFBF, 1 << 16);
    {
        ConsoleFeedback console({}, out, err, nullptr);
        console.SendProgress(WM_PROGRESS_OPEN, 3);
        console.SendProgress(WM_PROGRESS_TEXT, 20143);
        console.ShowMessageBox(kMsgError, 20147);
        console.ShowNote("a note");
        console.ShowPortOpenFailure("COM2", OpenResult{OpenError::InUse, "in use by another program"});
        console.ShowMessageBox(kMsgInformation, 20154);
    }
    std::fclose(out);
    std::fclose(err);
    const std::string text = test::StreamText(log);
    std::fclose(log);
    EXPECT_EQ(text, "Checking radio data...\n"
                    "Error: The connected radio is not supported by this version of Vantrel\n"
                    "a note\n"
                    "Error: The serial port COM2 could not be opened.\nIt may be in use by another program.\n"
                    "(in use by another program)\n"
                    "Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal Operation) and turn the "
                    "radio OFF and then ON again.\n");
}

TEST(CliScripting, EventsCannotBeWrittenIsAUsageError)
{
    const CliRun run = RunCommand({"--events", "/nonexistent-folder/events.jsonl", "info"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.err, "cannot write the events file /nonexistent-folder/events.jsonl")) << run.err;
}

} // namespace
} // namespace vantrel
