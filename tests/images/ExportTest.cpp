#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <span>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "images/Export.h"
#include "images/ImageTestSupport.h"
#include "images/SRecordWriter.h"
#include "support/RecordingFeedback.h"

namespace vantrel {
namespace {

using test::PseudoRandomBytes;
using test::TempFolder;
using Progress = std::vector<std::pair<uint32_t, uint32_t>>;

std::string Records(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& records, char type = '2')
{
    std::string text;
    for (const auto& [address, data] : records) AppendSRecord(text, type, address, data);
    AppendSRecord(text, '9', 0, {});
    return text;
}

#ifndef _WIN32
// Caps the size of files this process may write, so that a write fails the
// way it does on a full disk. Restores the limit when it goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};
#endif

class ExportTest : public testing::Test {
protected:
    TempFolder folder;
    RecordingFeedback feedback;
    ScopedFeedback scoped{feedback};
};

TEST_F(ExportTest, FirmwareRecordFileLayoutAndProgress)
{
    const auto a = PseudoRandomBytes(16, 1);
    const auto b = PseudoRandomBytes(16, 2);
    const auto c = PseudoRandomBytes(4, 3);
    folder.Write(kFirmwareSourceName, Records({{0x000000, a}, {0x000010, b}, {0x400020, c}}));
    ASSERT_TRUE(SaveFirmwareAsBinary(folder.Path()));

    const std::vector<uint8_t> out = folder.Read(kFirmwareRecordFileName);
    ASSERT_EQ(out.size(), 55u);
    std::vector<uint8_t> expected = {3, 0, 0, 0, 16, 0x00, 0x00, 0x00, 0x00};
    expected.insert(expected.end(), a.begin(), a.end());
    expected.insert(expected.end(), {16, 0x10, 0x00, 0x00, 0x00});
    expected.insert(expected.end(), b.begin(), b.end());
    expected.insert(expected.end(), {4, 0x20, 0x00, 0x40, 0x00});
    expected.insert(expected.end(), c.begin(), c.end());
    EXPECT_EQ(out, expected);

    // The position runs one past the records: the last step finds the end.
    EXPECT_EQ(feedback.Progress(), (Progress{{WM_PROGRESS_OPEN, 3},
                                             {WM_PROGRESS_RANGE, 3},
                                             {WM_PROGRESS_TEXT, 20139},
                                             {WM_PROGRESS_POS, 1},
                                             {WM_PROGRESS_POS, 2},
                                             {WM_PROGRESS_POS, 3},
                                             {WM_PROGRESS_POS, 4},
                                             {WM_PROGRESS_CLOSE, 0}}));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20138});
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{kFirmwareRecordFileName, kFirmwareSourceName}));
}

TEST_F(ExportTest, FirmwareKeepsS1AddressesAndEmptyRecords)
{
    folder.Write(kFirmwareSourceName, Records({{0x1234, {0xAB}}, {0xFFFF, {}}}, '1'));
    ASSERT_TRUE(SaveFirmwareAsBinary(folder.Path()));
    EXPECT_EQ(folder.Read(kFirmwareRecordFileName),
              (std::vector<uint8_t>{2, 0, 0, 0, 1, 0x34, 0x12, 0x00, 0x00, 0xAB, 0, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST_F(ExportTest, FirmwareFailuresLeaveNoOutputAndNoSuccess)
{
    // Missing source: only the message, no progress.
    EXPECT_FALSE(SaveFirmwareAsBinary(folder.Path()));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20114});
    EXPECT_TRUE(feedback.Progress().empty());

    // A malformed source does not touch a firmware file made earlier.
    folder.Write(kFirmwareRecordFileName, "earlier");
    folder.Write(kFirmwareSourceName, "S1130000010203\n" + Records({{0, {1, 2}}}));
    feedback.Clear();
    EXPECT_FALSE(SaveFirmwareAsBinary(folder.Path()));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20111});
    EXPECT_EQ(feedback.Progress().back(), (std::pair<uint32_t, uint32_t>{WM_PROGRESS_CLOSE, 0}));
    const std::vector<uint8_t> earlier = folder.Read(kFirmwareRecordFileName);
    EXPECT_EQ(std::string(earlier.begin(), earlier.end()), "earlier");

    // An output that cannot take the finished file's place.
    std::filesystem::remove(folder.File(kFirmwareRecordFileName));
    std::filesystem::create_directory(folder.File(kFirmwareRecordFileName));
    folder.Write(kFirmwareSourceName, Records({{0, {1, 2}}}));
    feedback.Clear();
    EXPECT_FALSE(SaveFirmwareAsBinary(folder.Path()));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20171});
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{kFirmwareRecordFileName, kFirmwareSourceName}));
}

TEST_F(ExportTest, FailedWritesLeaveNoPartialFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file size limit to make a write fail";
#else
    // One output far larger than the write buffer fails mid-way, a small one
    // only when it is flushed; neither leaves a file behind.
    for (const size_t dataBytes : {size_t{200000}, size_t{2000}}) {
        SCOPED_TRACE(dataBytes);
        std::string text;
        AppendSRecordData(text, 0, PseudoRandomBytes(dataBytes, 5), 32);
        folder.Write(kFirmwareSourceName, text);
        feedback.Clear();
        {
            FileSizeLimit limit(1000);
            EXPECT_FALSE(SaveFirmwareAsBinary(folder.Path()));
        }
        EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20171});
        EXPECT_EQ(folder.Names(), std::vector<std::string>{kFirmwareSourceName});
    }
#endif
}

TEST_F(ExportTest, CodeplugsOverTheRows)
{
    const auto first = PseudoRandomBytes(723, 11);
    const auto second = PseudoRandomBytes(800, 12);
    std::string text;
    AppendSRecordData(text, 0, first, 32);
    folder.Write("k1_AAA.0", text + "S9030000FC\n");
    text.clear();
    AppendSRecordData(text, 0, second, 45);
    folder.Write("k1_BBB.0", text);

    const ModelRow rows[] = {
        {"k1_AAA.0", "k1_AAA.mot", "AAA", "AAA"},
        {"", "", "", ""},
        {"k1_CCC.0", "", "CCC", "CCC"},  // no data file: skipped without a word
        {"k1_DDD.0", "k1_DDD.mot", "", "DDD"},  // no model number: skipped
        {nullptr, nullptr, nullptr, nullptr},
        {"k1_BBB.0", "k1_BBB.mot", "BBB", "BBB"},
    };
    ASSERT_TRUE(SaveCodeplugsAsBinary(folder.Path(), rows));
    EXPECT_EQ(folder.Read("k1_AAA.mot"), first);
    EXPECT_EQ(folder.Read("k1_BBB.mot"), second);
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20141});

    Progress expected = {{WM_PROGRESS_OPEN, 1}, {WM_PROGRESS_RANGE, 23}, {WM_PROGRESS_TEXT, 20142}};
    for (uint32_t i = 1; i <= 24; ++i) expected.push_back({WM_PROGRESS_POS, i});
    expected.insert(expected.end(), {{WM_PROGRESS_RANGE, 18}, {WM_PROGRESS_TEXT, 20142}});
    for (uint32_t i = 1; i <= 19; ++i) expected.push_back({WM_PROGRESS_POS, i});
    expected.push_back({WM_PROGRESS_CLOSE, 0});
    EXPECT_EQ(feedback.Progress(), expected);
}

TEST_F(ExportTest, CodeplugsStopAtTheFirstFailure)
{
    folder.Write("a.0", Records({{0, {1, 2, 3}}}));
    folder.Write("c.0", Records({{0, {4, 5, 6}}}));
    folder.Write("plain", "a file, not a folder");

    struct Case {
        const char* name;
        ModelRow failing;
        uint32_t message;
    };
    const Case cases[] = {
        {"missing source", {"b.0", "b.mot", "B", "B"}, 20114},
        {"output not creatable", {"c.0", "plain/c.mot", "C", "C"}, 20170},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(folder.File("a.mot"));
        feedback.Clear();
        const ModelRow rows[] = {{"a.0", "a.mot", "A", "A"}, c.failing, {"c.0", "c.mot", "C", "C"}};
        EXPECT_FALSE(SaveCodeplugsAsBinary(folder.Path(), rows));
        // Earlier files stay, later rows are not reached, the window closes.
        EXPECT_EQ(folder.Read("a.mot"), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_FALSE(folder.Exists("c.mot"));
        EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{c.message});
        EXPECT_EQ(feedback.Progress().back(), (std::pair<uint32_t, uint32_t>{WM_PROGRESS_CLOSE, 0}));
    }
}

TEST_F(ExportTest, Bootcodes)
{
    std::vector<std::vector<uint8_t>> images;
    for (size_t k = 0; k < 3; ++k) {
        // The last one is over the reader's capacity and so read from disk.
        images.push_back(PseudoRandomBytes(k == 2 ? 5000 : 1000 + k, static_cast<uint32_t>(20 + k)));
        std::string text;
        AppendSRecordData(text, 0, images[k], k == 2 ? 8 : 32);
        folder.Write(kBootcodeNames[k].source, text);
    }
    ASSERT_TRUE(SaveBootcodesAsBinary(folder.Path()));
    for (size_t k = 0; k < 3; ++k) EXPECT_EQ(folder.Read(kBootcodeNames[k].output), images[k]);
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20137});
    EXPECT_TRUE(feedback.Progress().empty());
}

TEST_F(ExportTest, BootcodesStopAtTheFirstFailure)
{
    std::string small;
    AppendSRecordData(small, 0, PseudoRandomBytes(100, 1), 32);
    std::string oversized;
    AppendSRecordData(oversized, 0, PseudoRandomBytes(5001, 2), 32);

    struct Case {
        const char* name;
        std::string secondSource;  // empty: missing
        uint32_t message;
    };
    const Case cases[] = {
        {"missing", "", 20109},
        {"more than the image holds", oversized, 20111},
        {"malformed", small + "S2FF00\n", 20111},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& names : kBootcodeNames) {
            std::filesystem::remove(folder.File(names.source));
            std::filesystem::remove(folder.File(names.output));
        }
        folder.Write(kBootcodeNames[0].source, small);
        if (!c.secondSource.empty()) folder.Write(kBootcodeNames[1].source, c.secondSource);
        folder.Write(kBootcodeNames[2].source, small);
        feedback.Clear();
        EXPECT_FALSE(SaveBootcodesAsBinary(folder.Path()));
        EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{c.message});
        EXPECT_EQ(folder.Read(kBootcodeNames[0].output).size(), 100u);
        EXPECT_FALSE(folder.Exists(kBootcodeNames[1].output));
        EXPECT_FALSE(folder.Exists(kBootcodeNames[2].output));
    }
}

// Each export on one source in the folder; the output it would write.
struct ExportUnderTest {
    const char* name;
    std::string source;
    std::string output;
    uint32_t openFailure;
    std::function<bool(const std::string& folder)> run;
};

std::vector<ExportUnderTest> EveryExport()
{
    const ModelRow row{"cp.0", "cp.mot", "M1", "M1"};
    return {
        {"firmware", kFirmwareSourceName, kFirmwareRecordFileName, 20114, SaveFirmwareAsBinary},
        {"codeplug", "cp.0", "cp.mot", 20114,
         [row](const std::string& f) { return SaveCodeplugsAsBinary(f, std::span<const ModelRow>(&row, 1)); }},
        {"bootcode", kBootcodeNames[0].source, kBootcodeNames[0].output, 20109, SaveBootcodesAsBinary},
    };
}

// A source read only in part, or without any data, converts to a file that
// is not the source: no file, no success box.
TEST_F(ExportTest, SourcesReadOnlyInPartOrWithoutDataAreNotConverted)
{
    const std::string rec = "S1040000AA51";
    const std::string end = "S9030000FC\r\n";
    struct Case {
        const char* name;
        std::string text; // empty: a folder stands where the source should be
        uint32_t message; // 0: the export's open failure
    };
    const Case cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF" + rec + "\r\n" + end, 20111},
        {"leading blank line", "\r\n" + rec + "\r\n" + end, 20111},
        {"CR CR LF line ends", rec + "\r\r\n" + rec + "\r\r\n" + end, 20111},
        {"only an end record", end, 20213},
        {"only header and count records", "S0030000FC\r\nS5030000FC\r\n" + end, 20213},
        {"a folder", "", 0},
    };
    for (const ExportUnderTest& e : EveryExport()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(e.name) + ", " + c.name);
            std::filesystem::remove_all(folder.File(e.source));
            if (c.text.empty())
                std::filesystem::create_directory(folder.File(e.source));
            else
                folder.Write(e.source, c.text);
            feedback.Clear();
            EXPECT_FALSE(e.run(folder.Path()));
            EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{c.message != 0 ? c.message : e.openFailure});
            EXPECT_FALSE(folder.Exists(e.output));
        }
        std::filesystem::remove_all(folder.File(e.source));
    }
    // The short header and count records are records without data, not damage.
    folder.Write(kFirmwareSourceName, "S0030000FC\r\n" + rec + "\r\nS5030001FB\r\n" + end);
    feedback.Clear();
    EXPECT_TRUE(SaveFirmwareAsBinary(folder.Path()));
    EXPECT_EQ(folder.Read(kFirmwareRecordFileName),
              (std::vector<uint8_t>{3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0xAA, 0, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace vantrel
