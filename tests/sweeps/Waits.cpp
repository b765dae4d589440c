// Calls that must not wait forever. Each call runs in a child process of
// this test with a time limit, so that a call that blocks fails the test
// instead of hanging it:
// - an output or a status file that is a FIFO with no reader;
// - a lock held by a program that is stopped (SIGSTOP): on Temp.xml during
//   a UTF-8 conversion, on the run log. The library waits a bounded time
//   of its choosing for such a lock, then gives up.
// What a call returns where the library may choose is set below; nullopt
// accepts any result and shows it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <sstream>

#include "sweeps/SweepSupport.h"

namespace {

// A call with a FIFO as output or status file returns within this time.
constexpr int kFifoSeconds = 10;
// A call that meets a lock held by a stopped program returns within this
// time: the library's bound, shortened here to kLockWait, plus a margin.
const char kLockWait[] = "2000";
constexpr int kLockSeconds = 20;

// A pipe without a reader is a file that cannot be written: like any save
// that fails, it changes no result.
const std::optional<int> kFifoOutputResult = 0;
const std::optional<int> kFifoStatusResult = 0;
// Temp.xml that cannot be reached: the code for Temp.xml that cannot be
// written.
const std::optional<int> kLockedTempXmlResult = -95;
// A run log that cannot be reached loses its entries; the call stands.
const std::optional<int> kLockedRunLogResult = 0;

const Scenario& Named(const std::string& name) {
    for (const Scenario& s : Scenarios()) {
        if (s.name == name) return s;
    }
    throw std::runtime_error("no scenario " + name);
}

// The results of the calls a child made, one per line in `file`.
std::vector<int> Results(const std::string& file) {
    std::vector<int> results;
    std::istringstream lines(ReadFile(file));
    for (int r; lines >> r;) results.push_back(r);
    return results;
}

void Note(const std::string& file, int result) { WriteFile(file, ReadFile(file) + std::to_string(result) + "\n"); }

// The run log's entry lines.
std::vector<std::string> Entries(const std::string& runLog) {
    std::vector<std::string> entries;
    std::istringstream lines(ReadFile(runLog));
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" : ZK8_XML_Conv ") != std::string::npos) entries.push_back(line);
    }
    return entries;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n    " + line;
    return text.empty() ? " none" : text;
}

// A program that takes the lock the library takes on `path` (an
// open-file-description write lock on the whole file) and stops.
pid_t StoppedHolder(const std::string& path) {
    const pid_t holder = fork();
    if (holder == 0) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (fd < 0 || fcntl(fd, F_OFD_SETLK, &whole) != 0) _exit(1);
        raise(SIGSTOP);
        _exit(0);
    }
    int status = 0;
    waitpid(holder, &status, WUNTRACED);
    if (!WIFSTOPPED(status)) return -1;
    return holder;
}

void EndHolder(pid_t holder) {
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
}

// The scenario's call with its output (or status file) a FIFO: it must
// return; then the same call to a regular file gives the right bytes.
void FifoCase(const Scenario& scenario, bool statusIsFifo, const std::optional<int>& expected) {
    const Workspace w(scenario);
    const Library library;
    const std::string fifo = statusIsFifo ? w.Status() : w.OutputFile();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string results = w.Path("results.txt");
    double took = 0;
    const auto status = RunWithTimeout(
        [&] {
            Note(results, w.Call(library));
            w.Clean();
            Note(results, w.Call(library));
            Findings found;
            w.CheckExact(Results(results).back(), "", found);
            return found.empty() ? 0 : 3;
        },
        kFifoSeconds, &took);
    const std::vector<int> r = Results(results);
    ASSERT_TRUE(status.has_value()) << scenario.name << ": the call with " << fifo.substr(fifo.rfind('/') + 1)
                                    << " a FIFO without a reader did not return within " << kFifoSeconds << " s";
    ASSERT_FALSE(r.empty()) << "the child ended with " << DescribeStatus(*status);
    std::cout << scenario.name << " with a FIFO as " << (statusIsFifo ? "status file" : "output") << ": result "
              << r[0] << " after " << took << " s\n";
    testing::Test::RecordProperty("result", std::to_string(r[0]));
    if (expected) {
        EXPECT_EQ(r[0], *expected) << "the call with a FIFO";
    }
    EXPECT_EQ(r.size(), 2u) << "the child ended with " << DescribeStatus(*status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << "the next call to a regular file did not give the right bytes (result "
        << (r.size() > 1 ? std::to_string(r[1]) : "none") << ")";
}

TEST(Waits, FifoAsOutput) { FifoCase(Named("Utf16CatalogueToDevice"), false, kFifoOutputResult); }

TEST(Waits, FifoAsStatusFile) { FifoCase(Named("ReplyToCustomer"), true, kFifoStatusResult); }

// A UTF-8 conversion while a stopped program holds the Temp.xml lock:
// within the bound, the code for Temp.xml it cannot reach, no output, an
// entry in the run log at level 1 (Interface.ini: LoggingLevel=1); once
// the holder is gone, the same call gives the right bytes.
TEST(Waits, StoppedProgramHoldsTempXml) {
    const Scenario& scenario = Named("BeyondTheBmpToCustomer");
    const Workspace w(scenario);
    const Library library;
    setenv("ZK8_LOCK_WAIT_MS", kLockWait, 1);
    const pid_t holder = StoppedHolder(w.TempXml());
    ASSERT_GT(holder, 0) << "the holder could not take the lock";
    const std::string results = w.Path("results.txt");
    double took = 0;
    const auto status = RunWithTimeout([&] { return Note(results, w.Call(library)), 0; }, kLockSeconds, &took);
    EndHolder(holder);
    const std::vector<std::string> entries = Entries(w.RunLog());
    ASSERT_TRUE(status.has_value()) << "the call did not return within " << kLockSeconds
                                    << " s while a stopped program held the Temp.xml lock; run-log entries:"
                                    << Joined(entries);
    const std::vector<int> r = Results(results);
    ASSERT_EQ(r.size(), 1u) << "the child ended with " << DescribeStatus(*status);
    std::cout << "Temp.xml held by a stopped program: result " << r[0] << " after " << took
              << " s; run-log entries:" << Joined(entries) << "\n";
    if (kLockedTempXmlResult) {
        EXPECT_EQ(r[0], *kLockedTempXmlResult);
    }
    EXPECT_LT(r[0], 0) << "a conversion that could not rewrite its input into Temp.xml";
    EXPECT_FALSE(Exists(w.OutputFile())) << Describe(w.OutputFile(), scenario.expectedOutput);
    EXPECT_FALSE(Exists(w.Status())) << Describe(w.Status(), scenario.expectedStatus);
    EXPECT_FALSE(entries.empty()) << "no run-log entry at level 1";

    w.Clean();
    const auto again = RunWithTimeout(
        [&] {
            Findings found;
            w.CheckExact(w.Call(library), "", found);
            return found.empty() ? 0 : 3;
        },
        kLockSeconds);
    ASSERT_TRUE(again.has_value()) << "the call after the holder ended did not return";
    EXPECT_TRUE(WIFEXITED(*again) && WEXITSTATUS(*again) == 0) << "the call after the holder ended: not the right bytes";
}

// A conversion while a stopped program holds the run log's lock: within
// the bound; the conversion's own files are right where it returns 0.
TEST(Waits, StoppedProgramHoldsTheRunLog) {
    const Scenario& scenario = Named("Utf16CatalogueToDevice");
    const Workspace w(scenario);
    const Library library;
    setenv("ZK8_LOCK_WAIT_MS", kLockWait, 1);
    const pid_t holder = StoppedHolder(w.RunLog());
    ASSERT_GT(holder, 0) << "the holder could not take the lock";
    const std::string results = w.Path("results.txt");
    double took = 0;
    const auto status = RunWithTimeout([&] { return Note(results, w.Call(library)), 0; }, kLockSeconds, &took);
    EndHolder(holder);
    ASSERT_TRUE(status.has_value()) << "the call did not return within " << kLockSeconds
                                    << " s while a stopped program held the run log's lock";
    const std::vector<int> r = Results(results);
    ASSERT_EQ(r.size(), 1u) << "the child ended with " << DescribeStatus(*status);
    std::cout << "Run log held by a stopped program: result " << r[0] << " after " << took << " s\n";
    if (kLockedRunLogResult) {
        EXPECT_EQ(r[0], *kLockedRunLogResult);
    }
    if (r[0] == 0) {
        const auto difference = Difference(w.OutputFile(), scenario.expectedOutput);
        EXPECT_FALSE(difference.has_value()) << "result 0, output: " << *difference;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = RunFromOwnFolder(argc, argv)) return *status;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
