// Runs the cases of tests/cases/*.cases (format in TESTING.md) as a host
// program would: the built library is loaded with dlopen and its exports are
// called; the tool runs as a command. Each case is a test of its own (suite:
// the file's name), so ctest runs it in a fresh process.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <grp.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/resource.h>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>

#include <pugixml.hpp>

#include "support/CaseScript.h"

#ifdef ZK8_ALLOCATION_HOOKS
extern "C" void zk8_hooks_arm(long failAt);
extern "C" long zk8_hooks_disarm(long* net);
#endif

namespace {

// Counting allocation functions for pugixml, which the library shares.
std::size_t g_allocations = 0, g_failFrom = SIZE_MAX;
long g_held = 0;
void* Allocate(std::size_t size) {
    if (++g_allocations >= g_failFrom) return nullptr;
    ++g_held;
    return std::malloc(size);
}
void Deallocate(void* block) {
    --g_held;
    std::free(block);
}

// A file-size limit for one scope (limit < 0: none): every write past it
// fails with EFBIG, as on a full disk.
class FileLimitScope {
public:
    explicit FileLimitScope(long limit) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        if (limit < 0) return;
        signal(SIGXFSZ, SIG_IGN);
        rlimit cap = m_saved;
        cap.rlim_cur = static_cast<rlim_t>(limit);
        setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~FileLimitScope() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

// The library the cases run against: the one built here, or the one that
// ZK8_CASES_LIBRARY names (an earlier release, to show that it passes a
// case too).
const char* LibraryPath() {
    const char* other = std::getenv("ZK8_CASES_LIBRARY");
    return other != nullptr && *other != '\0' ? other : ZK8_LIBRARY_PATH;
}

// Calls an export of the loaded library on this thread.
int CallExport(void* library, const std::string& name, const std::vector<std::string>& args) {
    void* symbol = dlsym(library, name.c_str());
    if (symbol == nullptr) return INT_MIN;
    using C = const char*;
    const auto at = [&](std::size_t i) { return ArgumentPointer(args[i]); };
    switch (args.size()) {
        case 1: return reinterpret_cast<int (*)(C)>(symbol)(at(0));
        case 2: return reinterpret_cast<int (*)(C, C)>(symbol)(at(0), at(1));
        case 3: return reinterpret_cast<int (*)(C, C, C)>(symbol)(at(0), at(1), at(2));
        default: return reinterpret_cast<int (*)(C, C, C, C)>(symbol)(at(0), at(1), at(2), at(3));
    }
}

int OnSmallStack(const std::function<int()>& call) {
    // A stack of 1 MB: recursion per level of a deep document would not fit.
    struct Job {
        const std::function<int()>& call;
        int result;
    } job{call, INT_MIN};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1 << 20);
    pthread_t thread;
    auto run = [](void* data) -> void* {
        auto* j = static_cast<Job*>(data);
        j->result = j->call();
        return nullptr;
    };
    if (pthread_create(&thread, &attributes, run, &job) == 0) pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    return job.result;
}

// As the user nobody, for whom permission bits count; the result travels as
// the child's exit status.
int AsNobody(const std::string& folder, const std::function<int()>& call) {
    chmod(folder.c_str(), 0755);
    const pid_t child = fork();
    if (child == 0) _exit(setgid(65534) || setuid(65534) ? 200 : static_cast<unsigned char>(call()));
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : INT_MIN;
}

// Runs a shell command with its standard error joined to its output, which
// goes into `output`; as the user nobody when `asNobody`. Its exit status,
// or -1 when it did not exit.
int RunShell(const std::string& folder, const std::string& command, bool asNobody, std::string& output) {
    if (asNobody) chmod(folder.c_str(), 0755);
    int channel[2];
    if (pipe(channel) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(channel[1], STDOUT_FILENO);
        close(channel[0]);
        close(channel[1]);
        if (asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(200);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(channel[1]);
    output.clear();
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    }
    close(channel[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CaseTest : public testing::Test, public CaseScript {
public:
    explicit CaseTest(Case c) : m_case(std::move(c)) {}

    void TestBody() override {
        // The machine-wide application-data folder lies in the case's folder,
        // which keeps Temp.xml of concurrent cases apart.
        setenv("ZK8_COMMON_APPDATA", m_folder.Path().c_str(), 1);
        const std::string appData = m_folder / "ORVANE/Kelmora";
        std::filesystem::create_directories(appData);
        for (const auto& [name, value] : {std::pair<std::string, std::string>{"$TOOL", ZK8_TOOL_PATH},
                                          {"$LIB", LibraryPath()},
                                          {"$HOST", m_folder / "host"},
                                          {"$EXE", FolderOf(std::filesystem::read_symlink("/proc/self/exe"))},
                                          {"$X", ZK8_EXAMPLES_DIR},
                                          {"$A", appData}}) {
            Define(name, value);
        }
        for (const CaseStep& step : m_case.steps) {
            if (step.op == "nobody" && geteuid() == 0) {
                ReachableForNobody();
                break;
            }
        }
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        RunCase(m_case);
        setrlimit(RLIMIT_AS, &limit);
    }

private:
    void Report(bool skipped, int line, const std::string& message) override {
        if (skipped) GTEST_SKIP() << message;
        ADD_FAILURE_AT(m_case.file.c_str(), line) << message;
    }

    int Call(const std::string& name, const std::vector<std::string>& args) override {
        if (m_library == nullptr) m_library = dlopen(LibraryPath(), RTLD_NOW | RTLD_LOCAL);
        if (dlsym(m_library, name.c_str()) == nullptr) return Fail("no export " + name), INT_MIN;
        const auto call = [&] { return CallHere(name, args); };
        g_allocations = 0;
        int result;
        {
            const FileLimitScope limit(m_fileLimit);
            result = m_asNobody ? AsNobody(m_folder.Path(), call) : OnSmallStack(call);
        }
        m_fileLimit = -1;
        m_lastAllocations = g_allocations;
        g_failFrom = SIZE_MAX;
        m_asNobody = false;
        return result;
    }

    int CallHere(const std::string& name, const std::vector<std::string>& args) override {
        return CallExport(m_library, name, args);
    }

    // Worker processes: this program again, with --replay.
    std::string RunWorkerProcesses(const std::string& callsFile, int workers, int rounds) override {
        std::string self = std::filesystem::read_symlink("/proc/self/exe"), flag = "--replay", count = std::to_string(rounds);
        std::vector<pid_t> children;
        for (int w = 0; w < workers; ++w) {
            std::string file = callsFile, worker = std::to_string(w);
            char* argv[] = {self.data(), flag.data(), file.data(), worker.data(), count.data(), nullptr};
            pid_t child;
            if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environ) == 0) children.push_back(child);
        }
        std::string found = children.size() == static_cast<std::size_t>(workers) ? "" : "a worker did not start\n";
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) found += "a worker ended with status " + std::to_string(status) + "\n";
        }
        return found;
    }

    bool RunOwn(const std::string& op, std::string rest) override {
        if (op == "run") {
            const int expected = std::stoi(Word(rest));
            const int code = RunShell(m_folder.Path(), "cd " + m_folder.Path() + " && (" + Expand(rest) + ") 2>&1",
                                      m_asNobody, m_output);
            m_asNobody = false;
            if (code != expected) Fail("exit status " + std::to_string(code) + "\n" + m_output);
        } else if (op == "out") {
            const std::string how = Word(rest);
            Compare(m_output, how, Text(rest));
        } else if (op == "env") {
            const std::string name = Word(rest);
            // A number stays a number; anything else is a path.
            const bool number = !rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos;
            setenv(name.c_str(), number ? rest.c_str() : Path(rest).c_str(), 1);
        } else if (op == "unset") {
            unsetenv(rest.c_str());
        } else if (op == "host") {
            // A copy of its own in $HOST, so that the run log a case makes
            // there is no other case's.
            const std::string copy = m_folder / "host/libZKHost.so";
            std::filesystem::create_directories(FolderOf(copy));
            std::filesystem::copy_file(ZK8_HOST_MODULE_PATH, copy);
            if (dlopen(copy.c_str(), RTLD_NOW) == nullptr) Fail("cannot load the host module", true);
        } else if (op == "nobody") {
            if (geteuid() != 0) Skip("only root can run a call as another user");
            m_asNobody = true;
        } else if (op == "alloc") {
            pugi::set_memory_management_functions(Allocate, Deallocate);
        } else if (op == "alloc-fail") {
            g_failFrom = rest == "first" ? 1 : m_lastAllocations;
        } else if (op == "held") {
            if (g_held != std::stol(rest)) Fail(std::to_string(g_held) + " blocks held");
        } else if (op == "sweep") {
            Sweep(rest == "alloc");
        } else if (op == "limit-file") {
            m_fileLimit = std::stol(rest);
        } else if (op == "limit-as") {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
            return Skip("the sanitizer's shadow memory does not fit under an address-space limit"), true;
#endif
            // The address space in use now and `rest` MB more.
            std::ifstream status("/proc/self/status");
            std::string line;
            while (std::getline(status, line) && line.rfind("VmSize:", 0) != 0) {}
            rlimit cap{};
            getrlimit(RLIMIT_AS, &cap);
            cap.rlim_cur = (std::stoul(line.substr(7)) << 10) + (std::stoul(rest) << 20);
            setrlimit(RLIMIT_AS, &cap);
        } else if (op != "posix") {  // "posix": the case runs here only
            Fail("unknown step " + op, true);
        }
        return true;
    }

    // The names below the case's folder, for files a failed call leaves
    // (the run log's files aside: a failed call logs).
    std::set<std::string> Names() const {
        std::set<std::string> names;
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(m_folder.Path(), error);
             it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.rfind("Runlog", 0) != 0 && name != "Interface.ini") names.insert(it->path().string());
        }
        return names;
    }

    // The last call again on this thread's small stack, with the N-th
    // allocation failing (failAt > 0) or every file cut at `limit` bytes
    // (limit >= 0); gives the result, the allocations made and those kept.
    int CallFailing(long failAt, long limit, long& allocations, long& held) {
        const FileLimitScope limitScope(limit);
        return OnSmallStack([&] {
#ifdef ZK8_ALLOCATION_HOOKS
            zk8_hooks_arm(failAt);
            const int r = CallExport(m_library, m_lastCall.name, m_lastCall.args);
            allocations = zk8_hooks_disarm(&held);
            return r;
#else
            allocations = held = 0;
            return CallExport(m_library, m_lastCall.name, m_lastCall.args);
#endif
        });
    }

    // Removes the compared files (through a symbolic link, the file it
    // names), so that a call that writes none of them is seen.
    void RemoveCompared() {
        std::error_code error;
        for (const auto& [path, bytes] : m_matched) {
            const std::filesystem::path target =
                std::filesystem::is_symlink(path) ? std::filesystem::canonical(path, error) : std::filesystem::path(path);
            std::filesystem::remove(target, error);
        }
    }

    // The sweep: the last call made again failing at each point in turn,
    // for every allocation it makes (alloc) or every byte limit of the
    // files it writes (write, sampled past 4 KiB). After each: the call's
    // result with exactly the compared bytes, or out of memory (alloc) or
    // -95/-90 for a Temp.xml or saved ini copy cut short (write) with none
    // of the outputs; for a byte limit, result 0 may leave an output cut
    // short, a beginning of its bytes. No file left behind, no block of the
    // call still held, and the call again without a failure right.
    void Sweep(bool allocations) {
#ifndef ZK8_ALLOCATION_HOOKS
        if (allocations) return Skip("no allocation hooks in this build");
#endif
        if (m_matched.empty()) return Fail("sweep: no file compared whole since the last call", true);
        const std::string tempXml = Path("$A/Temp.xml");
        std::size_t largest = 0;
        for (const auto& [path, bytes] : m_matched) largest = std::max(largest, bytes.size());
        long count = 0, held = 0;
        CallFailing(0, -1, count, held);
        const std::set<std::string> names = Names();
        auto exact = [&](const std::string& when) {
            for (const auto& [path, bytes] : m_matched) {
                if (ReadFile(path) != bytes) return Fail(when + ": " + path + " differs"), false;
            }
            return true;
        };
        // ZK8_SWEEP_EVERY_BYTE: every byte limit, not a sample (a long sweep).
        const bool everyByte = std::getenv("ZK8_SWEEP_EVERY_BYTE") != nullptr;
        long points = 0;
        for (long at = allocations ? 1 : 0; allocations ? at <= count : at <= static_cast<long>(largest) + 1; ++at) {
            if (!allocations && !everyByte && at > 4096 && at % 509 != 0) {
                bool nearSize = false;
                for (const auto& [path, bytes] : m_matched) nearSize = nearSize || std::labs(at - static_cast<long>(bytes.size())) <= 1;
                if (!nearSize) continue;
            }
            ++points;
            const std::string point = (allocations ? "allocation " : "byte limit ") + std::to_string(at);
            RemoveCompared();
            long made = 0;
            const int result = CallFailing(allocations ? at : 0, allocations ? -1 : at, made, held);
            const bool stopped = allocations ? result == -96 : result == -95 || result == -90;
            for (const auto& [path, bytes] : m_matched) {
                const bool there = Exists(path);
                const std::string actual = there ? ReadFile(path) : "";
                if (stopped) {
                    if (there && path != tempXml) Fail(point + ": result " + std::to_string(result) + " with " + path);
                } else if (result != m_lastCall.result) {
                    Fail(point + ": result " + std::to_string(result) + ", expected " + std::to_string(m_lastCall.result));
                } else if (allocations || path == tempXml ? actual != bytes
                                                          : bytes.compare(0, actual.size(), actual) != 0) {
                    Fail(point + ": " + path + " is not " + (allocations || path == tempXml ? "right" : "a beginning of the right bytes"));
                }
            }
            const std::set<std::string> after = Names();
            for (const std::string& name : after) {
                if (names.count(name) == 0) Fail(point + ": " + name + " left behind");
            }
            if (allocations && result == -96) {
                // Memory the call kept: what the same failing call keeps again
                // (a first failure may fill a cache once).
                CallFailing(at, -1, made, held);
                if (held != 0) Fail(point + ": " + std::to_string(held) + " blocks kept");
            }
            RemoveCompared();
            if (CallFailing(0, -1, made, held) != m_lastCall.result || !exact(point + ", then again")) break;
        }
        std::printf("sweep %s: %ld points\n", allocations ? "alloc" : "write", points);
    }

    Case m_case;
    void* m_library = nullptr;
    bool m_asNobody = false;
    std::unique_ptr<TempFolder> m_forNobody;

    // The tool and the examples where the user nobody can reach them: the
    // checkout may lie in a folder only its owner may enter. A link to the
    // tool where the file system allows, else a copy.
    void ReachableForNobody() {
        m_forNobody = std::make_unique<TempFolder>();
        chmod(m_forNobody->Path().c_str(), 0755);
        namespace fs = std::filesystem;
        const std::string tool = *m_forNobody / "zk8conv", examples = *m_forNobody / "examples";
        std::error_code failed;
        fs::create_hard_link(ZK8_TOOL_PATH, tool, failed);
        if (failed) fs::copy_file(ZK8_TOOL_PATH, tool);
        fs::copy(ZK8_EXAMPLES_DIR, examples, fs::copy_options::recursive);
        Define("$TOOL", tool);
        Define("$X", examples);
    }
    long m_fileLimit = -1;
    std::size_t m_lastAllocations = 0;
    std::string m_output;
};

}  // namespace

int main(int argc, char** argv) {
    // A worker process of the step "processes": --replay CALLS WORKER ROUNDS.
    if (argc == 5 && std::string(argv[1]) == "--replay") {
        void* library = dlopen(LibraryPath(), RTLD_NOW | RTLD_LOCAL);
        ExportCall call;
        if (library != nullptr) {
            call = [library](const std::string& name, const std::vector<std::string>& args) {
                return CallExport(library, name, args);
            };
        }
        return RunReplayWorker(argv[2], std::stoi(argv[3]), std::stoi(argv[4]), call);
    }
    testing::InitGoogleTest(&argc, argv);
    for (const Case& c : ReadCases(ZK8_CASES_DIR)) {
        testing::RegisterTest(c.suite.c_str(), c.name.c_str(), nullptr, nullptr, c.file.c_str(), 1,
                              [c]() -> testing::Test* { return new CaseTest(c); });
    }
    return RUN_ALL_TESTS();
}
