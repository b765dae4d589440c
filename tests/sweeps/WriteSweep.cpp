// The write sweep: for every scenario (Scenarios.cpp), one call with a
// file-size limit of K bytes (RLIMIT_FSIZE, SIGXFSZ ignored), so that every
// write past byte K of any file fails with EFBIG: the output, the status
// file, Temp.xml, the saved ini file's copy and the run log alike. K goes
// from 0 to one past the largest file the call writes.
//
// After each limited call (output, status file, Temp.xml and run log are
// removed before it):
// - where a file the conversion needs whole could not be written (the
//   saved ini file's copy: -90; Temp.xml: -95), that result, and neither
//   output nor status file;
// - otherwise result 0, Temp.xml exact, and the output and the status file
//   each absent or a prefix of the right bytes (what a save that writes
//   forward leaves on a full disk); exact where K is at least their size;
// - no file left behind, the output link still a link;
// - the same call without the limit gives exactly the right bytes.
//
// Large scenarios (the tag list, and late fields in outputs of 88 to 170 KB)
// take every K up to 512, every 509th, and every K within 24 bytes of the
// places where late fields land, of each file's size and of each 64 KiB
// boundary; `--large` takes every K.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <iostream>
#include <set>

#include "sweeps/SweepSupport.h"

namespace {

bool g_large = false;

SweepPlan LimitPlan(const Scenario& scenario, long largest) {
    std::set<long> limits;
    const long end = largest + 1;
    if (!scenario.large || g_large) {
        for (long k = 0; k <= end; ++k) limits.insert(k);
    } else {
        std::vector<long> around(scenario.marks.begin(), scenario.marks.end());
        around.push_back(static_cast<long>(scenario.expectedOutput.size()));
        if (scenario.expectedStatus) around.push_back(static_cast<long>(scenario.expectedStatus->size()));
        for (const Prerequisite& p : scenario.prerequisites) around.push_back(static_cast<long>(p.size));
        for (long boundary = 65536; boundary <= end; boundary += 65536) around.push_back(boundary);
        around.push_back(end);
        for (long k = 0; k < 512; ++k) limits.insert(k);
        for (long k = 512; k <= end; k += 509) limits.insert(k);
        for (long at : around) {
            for (long k = std::max(0L, at - 24); k <= std::min(end, at + 24); ++k) limits.insert(k);
        }
    }
    SweepPlan plan;
    plan.points.assign(limits.begin(), limits.end());
    return plan;
}

class WriteSweepTest : public testing::Test {
public:
    explicit WriteSweepTest(const Scenario& scenario) : m_scenario(scenario) {}

    void TestBody() override {
        const Workspace w(m_scenario);
        const Library library;
        if (!m_scenario.firstCall.empty()) {
            std::vector<std::string> args;
            for (std::size_t i = 1; i < m_scenario.firstCall.size(); ++i) {
                args.push_back(m_scenario.firstCall[i] == "." ? w.Folder() : w.Path(m_scenario.firstCall[i]));
            }
            library.Call(m_scenario.firstCall[0], args);
        }
        Findings found;
        w.Clean();
        w.CheckExact(w.Call(library), "the call without limit", found);
        if (!found.empty()) {
            SweepOutcome outcome;
            outcome.points.emplace_back(-1, found);
            return ReportFindings("WriteSweep", m_scenario.name, "K", outcome);
        }
        // The largest file the call writes: the run log's size is taken from
        // this call (its time stamps differ from call to call, not its size).
        long largest = static_cast<long>(ReadFile(w.RunLog()).size());
        largest = std::max(largest, static_cast<long>(m_scenario.expectedOutput.size()));
        if (m_scenario.expectedStatus) largest = std::max(largest, static_cast<long>(m_scenario.expectedStatus->size()));
        for (const Prerequisite& p : m_scenario.prerequisites) largest = std::max(largest, static_cast<long>(p.size));

        signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        const auto body = [&](long k, Findings& found, std::string&) {
            w.Clean();
            rlimit limited = unlimited;
            limited.rlim_cur = static_cast<rlim_t>(k);
            setrlimit(RLIMIT_FSIZE, &limited);
            const int result = w.Call(library);
            setrlimit(RLIMIT_FSIZE, &unlimited);

            const std::string call = "the call limited to K bytes a file";
            const std::string withResult = call + " (result " + std::to_string(result) + ")";
            const Prerequisite* missing = nullptr;
            for (const Prerequisite& p : m_scenario.prerequisites) {
                if (missing == nullptr && static_cast<long>(p.size) > k) missing = &p;
            }
            if (missing != nullptr) {
                if (result != missing->result) {
                    found.push_back({call + ": " + missing->what + " cannot be written whole, but the result is " +
                                         std::to_string(result) + ", expected " + std::to_string(missing->result),
                                     ""});
                }
                w.CheckNoOutput(withResult + " with " + missing->what + " not written whole", found);
            } else {
                if (result != 0) found.push_back({call + ": result " + std::to_string(result) + ", expected 0", ""});
                if (!m_scenario.expectedTempXml) {
                    if (Exists(w.TempXml())) found.push_back({withResult + ": there is a Temp.xml", ""});
                } else if (const auto difference = Difference(w.TempXml(), *m_scenario.expectedTempXml)) {
                    found.push_back({withResult + ": Temp.xml is not right", *difference});
                }
                const auto forward = [&](const std::string& name, const std::string& path,
                                         const std::optional<std::string>& expected) {
                    if (!expected) return;
                    if (k >= static_cast<long>(expected->size())) {
                        if (const auto difference = Difference(path, *expected)) {
                            found.push_back({withResult + ": " + name + " is not right, though it fits under the limit",
                                             *difference});
                        }
                    } else if (!IsPrefixOrAbsent(path, *expected)) {
                        found.push_back({withResult + ": " + name + " is neither absent nor a prefix of the right bytes; it " +
                                             Shape(path, *expected),
                                         Describe(path, expected)});
                    }
                };
                forward(m_scenario.output, w.OutputFile(), m_scenario.expectedOutput);
                forward(w.StatusName(), w.Status(), m_scenario.expectedStatus);
                if (!m_scenario.expectedStatus && Exists(w.Status())) {
                    found.push_back({withResult + ": there is a status file", ""});
                }
                w.CheckLink(call, found);
            }
            w.CheckNothingLeftBehind(call, found);

            w.Clean();
            w.CheckExact(w.Call(library), "the same call without limit", found);
            return true;
        };
        const SweepOutcome outcome = RunSweep(LimitPlan(m_scenario, largest), body, 30);
        ReportFindings("WriteSweep", m_scenario.name, "K", outcome);
        std::cout << "WriteSweep " << m_scenario.name << ": " << outcome.Reached() << " byte limits swept (K = 0 to "
                  << outcome.lastReached << "; largest file " << largest << " bytes)\n";
        RecordProperty("swept", std::to_string(outcome.Reached()));
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
        testing::RegisterTest("WriteSweep", s.name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                              [&s]() -> testing::Test* { return new WriteSweepTest(s); });
    }
    return RUN_ALL_TESTS();
}
