#include "tool/ConvertCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "tool/CompleteOutput.h"
#include "tool/ResultMeaning.h"
#include "tool/ScratchFiles.h"

namespace fs = std::filesystem;

namespace {

struct Job {
    std::string input;
    std::string output;
    std::string failure;  // set when the job cannot start or its worker failed
};

// The library rewrites UTF-8 input into one fixed file, Temp.xml, in the
// application-data folder; workers running side by side would share it. Each
// worker gets an application-data folder of its own for the time of its run.
// "" or why it could not be made.
std::string PrivateApplicationData(const ScratchFolder& folder) {
    if (!folder.Failure().empty()) {
        return "cannot create a temporary folder in " + TemporaryFolder() + ": " + folder.Failure();
    }
    std::error_code error;
    fs::create_directories(fs::path(folder.Path()) / "ORVANE" / "Kelmora", error);
    if (error) return "cannot create a temporary folder in " + folder.Path() + ": " + error.message();
    setenv("ZK8_COMMON_APPDATA", folder.Path().c_str(), 1);
    return "";
}

struct Worker {
    std::size_t job;
    int report;  // read end of the pipe the worker writes its failure into
};

// Runs one conversion in a child process. Its exit status carries the
// export's result (0, or the negated negative code); a file it could not
// write in full is told through the pipe, with exit status kWriteFailed.
const int kWriteFailed = 200;

pid_t StartWorker(BatchDirection direction, const Job& job, const std::string& outDir, int& report) {
    int channel[2];
    if (pipe(channel) != 0) return -1;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid != 0) {
        close(channel[1]);
        if (pid < 0) close(channel[0]);
        report = channel[0];
        return pid;
    }
    close(channel[0]);
    CompleteOutput outcome;
    {
        const ScratchFolder appData;
        outcome.failure = PrivateApplicationData(appData);
        if (outcome.failure.empty()) {
            outcome = WriteComplete(
                job.output,
                direction == BatchDirection::ToCustomer ? std::optional(StatusFileOf(job.output)) : std::nullopt,
                [&](const char* out) {
                    return engine::Convert({direction == BatchDirection::ToDevice ? engine::Direction::ToDevice
                                                                                  : engine::Direction::ToCustomer,
                                            job.input.c_str(), out, engine::Folder::Given, outDir.c_str()});
                });
        }
    }  // _exit runs no destructors
    if (!outcome.failure.empty()) {
        const ssize_t written = write(channel[1], outcome.failure.data(), outcome.failure.size());
        _exit(written > 0 ? kWriteFailed : 1);
    }
    _exit(outcome.result < 0 ? -outcome.result : 0);
}

std::string ReadAll(int descriptor) {
    std::string text;
    char chunk[512];
    ssize_t count;
    while ((count = read(descriptor, chunk, sizeof chunk)) > 0) text.append(chunk, count);
    close(descriptor);
    return text;
}

std::string DescribeExit(int status, const std::string& report, const std::string& input) {
    if (WIFSIGNALED(status)) return "worker stopped by signal " + std::to_string(WTERMSIG(status));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    if (code == 0) return "";
    if (code == kWriteFailed) return report;
    return std::string(ResultMeaning(-code)) + " (" + std::to_string(-code) + "); " + InputRemedy(-code, input);
}

class Progress {
public:
    Progress(std::size_t total) : m_total(total), m_enabled(isatty(STDOUT_FILENO) != 0) {}
    void Show(std::size_t done) const {
        if (!m_enabled) return;
        const int width = 30;
        const int filled = m_total == 0 ? width : static_cast<int>(done * width / m_total);
        std::printf("\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                    std::string(width - filled, ' ').c_str(), done, m_total);
        std::fflush(stdout);
    }
    // Clears the bar so that a message can be printed on a line of its own.
    void Clear() const {
        if (m_enabled) std::printf("\r%*s\r", 50, "");
    }

private:
    std::size_t m_total;
    bool m_enabled;
};

}  // namespace

int RunBatchConvert(BatchDirection direction, const std::vector<std::string>& inputs,
                    const std::string& outDir, unsigned workers) {
    std::error_code error;
    fs::create_directories(outDir, error);
    if (!fs::is_directory(outDir)) {
        std::fprintf(stderr, "zk8conv: cannot create the output folder %s\n", outDir.c_str());
        return 1;
    }
    const std::string workingDirectory = fs::absolute(outDir).string();
    // Once here rather than in every worker.
    RemoveStale(outDir);
    RemoveStale(TemporaryFolder());

    std::vector<Job> jobs;
    std::set<std::string> outputs;
    for (const std::string& input : inputs) {
        Job job{input, (fs::path(outDir) / fs::path(input).filename()).string(), ""};
        if (!outputs.insert(job.output).second) {
            job.failure = "another input has the same file name";
        } else if (fs::exists(job.output) && fs::equivalent(job.input, job.output, error)) {
            job.failure = "the output would overwrite the input";
        }
        jobs.push_back(job);
    }

    const Progress progress(jobs.size());
    std::map<pid_t, Worker> running;
    std::size_t next = 0, done = 0, failed = 0;
    auto reportFailure = [&](const Job& job) {
        progress.Clear();
        std::printf("FAILED %s: %s\n", job.input.c_str(), job.failure.c_str());
        ++failed;
    };
    progress.Show(0);
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && running.size() < std::max(1u, workers)) {
            Job& job = jobs[next];
            if (!job.failure.empty()) {
                reportFailure(job);
                ++done;
            } else {
                int report = -1;
                const pid_t pid = StartWorker(direction, job, workingDirectory, report);
                if (pid < 0) {
                    job.failure = "cannot start a worker process";
                    reportFailure(job);
                    ++done;
                } else {
                    running[pid] = Worker{next, report};
                }
            }
            ++next;
            progress.Show(done);
        }
        if (running.empty()) continue;
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        auto finished = running.find(pid);
        if (finished == running.end()) continue;
        Job& job = jobs[finished->second.job];
        const std::string report = ReadAll(finished->second.report);
        running.erase(finished);
        job.failure = DescribeExit(status, report, job.input);
        if (!job.failure.empty()) reportFailure(job);
        ++done;
        progress.Show(done);
    }
    progress.Clear();
    std::printf("%zu of %zu files converted into %s", jobs.size() - failed, jobs.size(),
                outDir.c_str());
    if (failed > 0) std::printf("; %zu failed", failed);
    std::printf("\n");
    return failed == 0 ? 0 : 1;
}
