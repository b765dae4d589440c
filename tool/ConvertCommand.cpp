#include "tool/ConvertCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "tool/ResultMeaning.h"
#include "zk8_xml_conv.h"

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
std::string PrivateApplicationData() {
    std::string folder = (fs::temp_directory_path() / "zk8conv.XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return std::string();
    std::error_code error;
    fs::create_directories(fs::path(folder) / "ORVANE" / "Kelmora", error);
    setenv("ZK8_COMMON_APPDATA", folder.c_str(), 1);
    return folder;
}

// Runs one conversion in a child process; its exit status carries the
// export's result (0, or the negated negative code).
pid_t StartWorker(BatchDirection direction, const Job& job, const std::string& outDir) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const std::string appData = PrivateApplicationData();
    const int result =
        direction == BatchDirection::ToDevice
            ? CustToZK8Ext(job.input.c_str(), job.output.c_str(), outDir.c_str())
            : ZK8ToCustExt(job.input.c_str(), job.output.c_str(), outDir.c_str());
    std::error_code error;
    if (!appData.empty()) fs::remove_all(appData, error);
    _exit(result < 0 ? -result : 0);
}

std::string DescribeExit(int status) {
    if (WIFSIGNALED(status)) return "worker stopped by signal " + std::to_string(WTERMSIG(status));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    if (code == 0) return "";
    return std::string(ResultMeaning(-code)) + " (" + std::to_string(-code) + ")";
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
    std::map<pid_t, std::size_t> running;
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
                const pid_t pid = StartWorker(direction, job, workingDirectory);
                if (pid < 0) {
                    job.failure = "cannot start a worker process";
                    reportFailure(job);
                    ++done;
                } else {
                    running[pid] = next;
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
        Job& job = jobs[finished->second];
        running.erase(finished);
        job.failure = DescribeExit(status);
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
