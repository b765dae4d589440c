// The allocation sweep: for every scenario (Scenarios.cpp), the N-th
// allocation of one call fails, for N = 1, 2, ... until the call makes
// fewer than N. This program owns malloc (AllocHooks.c), so the failing
// allocation may be the library's own, pugixml's, operator new's or one the
// C library makes inside fopen or fwrite.
//
// After each call whose allocation N failed:
// - result -96 with neither output nor status file (both are removed
//   before the call), or result 0 with exactly the right output, status
//   file and Temp.xml;
// - no block allocated during the call still held after it: where one is,
//   the same failing call is made up to three times more, and a leak holds
//   blocks every time (the library may make something once, or keep it for
//   the next call, on a failure path); no file left in the folder; the
//   output link (where there is one) still a link;
// - the same call again, in the same process, gives exactly the right bytes.
// A crash, an abort or a call that does not return is reported with its N.
//
// Each scenario's call runs three times without failures first: the
// dictionary and the logger are made on first use and live on, and the
// blocks they hold must not count as the first failing call's. The third
// call's bytes must already be right.
//
// A large scenario whose call makes more than 1,800 allocations (none does
// today) takes every N of the first 300 and the last 1,500 and every 37th
// in between; `--large` takes every N. `AllocSweep.FreshHost*`
// run a host written in C (FreshHost.c, no libstdc++ of its own) in which
// every allocation from the N-th on fails: the library's first exception
// in that process must not need memory either.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "sweeps/AllocHooks.h"
#include "sweeps/SweepSupport.h"

extern char** environ;

namespace {

bool g_large = false;

// Blocks a call left allocated (or, below zero, freed that were there
// before it: something kept from call to call dropped).
void CheckHeld(long held, const std::string& call, Findings& found) {
    if (held > 0) found.push_back({call + ": blocks it allocated are still held", std::to_string(held) + " blocks"});
    if (held < 0) {
        found.push_back({call + ": it freed blocks that were there before it", std::to_string(-held) + " blocks"});
    }
}

SweepPlan AllocationPlan(const Scenario& scenario, long count) {
    SweepPlan plan;
    plan.extend = true;
    const bool sample = scenario.large && !g_large;
    for (long n = 1; n <= count; ++n) {
        if (!sample || n <= 300 || n > count - 1500 || n % 37 == 0) plan.points.push_back(n);
    }
    if (plan.points.empty()) plan.points.push_back(1);
    return plan;
}

// The library keeps what it read of Interface.ini only once the file's
// last change is more than 2 s (whole seconds of the change time) in the
// past (docs/architecture.md, "Logging settings"); until then every call
// reads it again and allocates differently. Waiting makes every N name the
// same allocation in every run.
void LetInterfaceIniSettle(const Workspace& w) {
    struct stat s {};
    if (stat(w.Path("Interface.ini").c_str(), &s) != 0) return;
    while (std::time(nullptr) - s.st_ctim.tv_sec <= 2) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::vector<std::string> Paths(const Workspace& w, const std::vector<std::string>& call) {
    std::vector<std::string> args;
    for (std::size_t i = 1; i < call.size(); ++i) args.push_back(call[i] == "." ? w.Folder() : w.Path(call[i]));
    return args;
}

class AllocSweepTest : public testing::Test {
public:
    explicit AllocSweepTest(const Scenario& scenario) : m_scenario(scenario) {}

    void TestBody() override {
        const Workspace w(m_scenario);
        const Library library;
        if (!m_scenario.firstCall.empty()) library.Call(m_scenario.firstCall[0], Paths(w, m_scenario.firstCall));
        LetInterfaceIniSettle(w);

        long count = 0;
        Findings found;
        for (int round = 0; round < 3; ++round) {
            w.Clean();
            const long before = AllocLiveBlocks();
            AllocArm(0, 0);
            const int result = w.Call(library);
            count = AllocDisarm();
            const long held = AllocLiveBlocks() - before;
            if (round == 2) {
                w.CheckExact(result, "the call without failures", found);
                CheckHeld(held, "the call without failures", found);
            }
        }
        if (!found.empty()) {
            SweepOutcome outcome;
            outcome.points.emplace_back(0, found);
            ReportFindings("AllocSweep", m_scenario.name, "N", outcome);
            return;
        }

        const auto body = [&](long n, Findings& found, std::string& where) {
            w.Clean();
            const long before = AllocLiveBlocks();
            AllocArm(n, 0);
            const int result = w.Call(library);
            const long made = AllocDisarm();
            const long held = AllocLiveBlocks() - before;
            if (made < n) return false;
            void* frames[48];
            where = FramesText(frames, AllocFailedAt(frames, 48));

            const std::string call = "the call whose allocation N failed";
            if (result == -96) {
                w.CheckNoOutput(call + " (result -96)", found);
            } else if (result == 0) {
                w.CheckExact(result, call, found);
            } else {
                found.push_back({call + ": result " + std::to_string(result) + ", expected -96 or 0", ""});
            }
            w.CheckNothingLeftBehind(call, found);
            // What the library makes once, or keeps from one call for the
            // next, on a failure path settles; a leak holds blocks at every
            // repetition of the same failing call.
            long stillHeld = held;
            for (int repeat = 0; repeat < 3 && stillHeld != 0; ++repeat) {
                w.Clean();
                const long beforeRepeat = AllocLiveBlocks();
                AllocArm(n, 0);
                w.Call(library);
                AllocDisarm();
                stillHeld = AllocLiveBlocks() - beforeRepeat;
            }
            CheckHeld(stillHeld, call + " (result " + std::to_string(result) + "), made again and again", found);
            w.Clean();
            const long beforeAgain = AllocLiveBlocks();
            const int again = w.Call(library);
            const long heldAgain = AllocLiveBlocks() - beforeAgain;
            w.CheckExact(again, "the same call again", found);
            CheckHeld(heldAgain, "the same call again", found);
            return true;
        };
        const SweepOutcome outcome = RunSweep(AllocationPlan(m_scenario, count), body, 30);
        ReportFindings("AllocSweep", m_scenario.name, "N", outcome);
        const long unreached = static_cast<long>(outcome.points.size()) - outcome.Reached();
        std::cout << "AllocSweep " << m_scenario.name << ": " << count << " allocations in the call, "
                  << outcome.Reached() << " allocation points swept (N = 1 to " << outcome.lastReached << ")"
                  << (unreached > 1 ? ", " + std::to_string(unreached - 1) + " on the way not reached" : "") << "\n";
        RecordProperty("allocations", std::to_string(count));
        RecordProperty("swept", std::to_string(outcome.Reached()));
    }

private:
    const Scenario& m_scenario;
};

// The C host: its report lines are "N n" for each N it ran and
// "F n kind detail" (tab-separated) for what it found.
class FreshHostTest : public testing::Test {
public:
    explicit FreshHostTest(const Scenario& scenario) : m_scenario(scenario) {}

    void TestBody() override {
        const Workspace w(m_scenario);
        WriteFile(w.Path("expected.out"), m_scenario.expectedOutput);
        if (m_scenario.expectedStatus) WriteFile(w.Path("expected.status"), *m_scenario.expectedStatus);
        // The C host from the program's own folder, where its fallbacks land.
        const std::string host = ProgramFolder() + "/fresh_host";
        std::error_code ignored;
        std::filesystem::copy_file(ZK8_FRESH_HOST_PATH, host, std::filesystem::copy_options::skip_existing, ignored);
        std::vector<std::string> args = {host, ZK8_LIBRARY_PATH, m_scenario.exportName};
        for (const std::string& arg : m_scenario.args) args.push_back(arg == "." ? w.Folder() : w.Path(arg));
        args.push_back(w.Path("expected.out"));
        args.push_back(m_scenario.expectedStatus ? w.Path("expected.status") : "-");
        const std::string report = w.Path("report.txt");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // What the C library says when it ends the host goes to a file too.
        posix_spawn_file_actions_addopen(&actions, 2, w.Path("host-stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t child;
        ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the C host ended with " << DescribeStatus(status)
                                                                    << "\n" << ReadFile(report);
        SweepOutcome outcome;
        std::istringstream lines(ReadFile(report));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string tag, n, kind, detail;
            std::getline(fields, tag, '\t');
            std::getline(fields, n, '\t');
            std::getline(fields, kind, '\t');
            std::getline(fields, detail);
            if (tag == "N" && (outcome.points.empty() || outcome.points.back().point != std::stol(n))) {
                outcome.points.emplace_back(std::stol(n));
            }
            if (tag == "F" && !outcome.points.empty()) outcome.points.back().found.push_back({kind, detail});
            if (tag == "W") FAIL() << "the C host's call without failures: " << n;
        }
        if (!outcome.points.empty()) outcome.lastReached = outcome.points.back().point;
        // What the C library said as it ended the host.
        std::string said = ReadFile(w.Path("host-stderr.txt"));
        said = said.substr(0, said.find('\n'));
        for (PointOutcome& p : outcome.points) {
            for (Finding& f : p.found) {
                if (!said.empty() && f.kind.find("ended") != std::string::npos) {
                    f.detail += "; the host's standard error begins \"" + said + "\"";
                }
            }
        }
        ReportFindings("AllocSweep (C host, every allocation from N on fails)", m_scenario.name, "N", outcome);
        std::cout << "AllocSweep FreshHost" << m_scenario.name << ": " << outcome.points.size()
                  << " allocation points swept\n";
    }

private:
    const Scenario& m_scenario;
};

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = RunFromOwnFolder(argc, argv)) return *status;
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) g_large = g_large || std::string(argv[i]) == "--large";
    for (const Scenario& s : Scenarios()) {
        testing::RegisterTest("AllocSweep", s.name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                              [&s]() -> testing::Test* { return new AllocSweepTest(s); });
        if (s.name == "CatalogueToDevice" || s.name == "BeyondTheBmpToCustomer") {
            testing::RegisterTest("AllocSweep", ("FreshHost" + s.name).c_str(), nullptr, nullptr, __FILE__, __LINE__,
                                  [&s]() -> testing::Test* { return new FreshHostTest(s); });
        }
    }
    return RUN_ALL_TESTS();
}
