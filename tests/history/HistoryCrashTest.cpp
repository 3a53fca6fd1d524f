#include "history/HistoryStore.h"
#include "images/ImageTestSupport.h"
#include "support/HistoryRecords.h"

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vantrel {
namespace {

// Record n of the writer below: long texts, so that a write takes a while.
ServiceRecord NumberedRecord(int n)
{
    ServiceRecord r;
    r.time = "2024-05-01T10:00:00Z";
    r.operation = "write-codeplug";
    r.frontEnd = "crash-test";
    r.serialNumber = "SN" + std::to_string(n);
    r.detail = std::string(2000 + n % 500, static_cast<char>('a' + n % 26));
    r.resultId = static_cast<uint32_t>(n);
    r.outcome = ServiceOutcome::Succeeded;
    return r;
}

// In the child: appends records without end, telling the parent the number
// of each one committed.
[[noreturn]] void WriteForever(const std::string& path, int reportFd)
{
    CHistoryStore store(path);
    std::string error;
    std::string setAside;
    if (!store.Open(error, setAside)) _exit(2);
    for (int n = 1;; ++n) {
        ServiceRecord record = NumberedRecord(n);
        if (!store.Append(record, error)) _exit(3);
        if (write(reportFd, &n, sizeof n) != sizeof n) _exit(4);
    }
}

TEST(HistoryCrash, AProgramKilledWhileWritingLeavesTheEarlierRecordsIntact)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    for (int round = 0; round < 3; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            WriteForever(path, pipeFds[1]);
        }
        close(pipeFds[1]);
        // Killed at once when it reports its 30th record (of this round): it
        // is then in the middle of the next one.
        int committed = 0;
        int n = 0;
        pollfd wait{pipeFds[0], POLLIN, 0};
        while (committed < 30 && poll(&wait, 1, 20000) > 0 && read(pipeFds[0], &n, sizeof n) == sizeof n)
            committed = n;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(pipeFds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own with " << WEXITSTATUS(status);
        ASSERT_EQ(committed, 30);

        EXPECT_EQ(test::SqlValue(path, "PRAGMA integrity_check"), "ok") << "round " << round;
        std::string error;
        const std::vector<ServiceRecord> records = test::HistoryRecords(path, {}, &error);
        ASSERT_EQ(error, "") << "a sound file read as damaged";
        // Every committed record of every round is there, whole; the one cut
        // off is either whole or absent.
        ASSERT_GE(records.size(), static_cast<size_t>(30 * (round + 1)));
        int expected = 0;
        for (const ServiceRecord& r : records) {
            expected = r.resultId == 1 ? 1 : expected + 1;
            ServiceRecord want = NumberedRecord(expected);
            want.id = r.id;
            EXPECT_EQ(r, want) << "record " << r.id;
        }
    }
}

TEST(HistoryConcurrency, ProgramsStartingTogetherOnANewHistoryAllRecord)
{
    constexpr int kPrograms = 8;
    constexpr int kRecordsEach = 10;
    for (int round = 0; round < 3; ++round) {
        test::TempFolder folder;
        const std::string path = folder.File("history.sqlite");
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        std::vector<pid_t> children;
        for (int p = 0; p < kPrograms; ++p) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                close(go[1]);
                char start = 0;
                // All of them open the file that does not exist yet at once.
                if (read(go[0], &start, 1) != 0) _exit(5);
                for (int n = 0; n < kRecordsEach; ++n) {
                    CHistoryStore store(path);
                    std::string error;
                    std::string setAside;
                    ServiceRecord record = NumberedRecord(p * 100 + n);
                    if (!store.Open(error, setAside) || !store.Append(record, error) || !setAside.empty()) _exit(6);
                }
                _exit(0);
            }
            children.push_back(child);
        }
        close(go[0]);
        close(go[1]); // every child reads the end of the pipe: go
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        std::string error;
        const std::vector<ServiceRecord> records = test::HistoryRecords(path, {}, &error);
        EXPECT_EQ(error, "");
        EXPECT_EQ(records.size(), static_cast<size_t>(kPrograms * kRecordsEach)) << "round " << round;
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"history.sqlite"})) << "nothing set aside or left over";
    }
}

} // namespace
} // namespace vantrel
