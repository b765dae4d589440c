// What the sweeps share (AllocSweep.cpp, WriteSweep.cpp, Waits.cpp): the
// scenarios' folders, the library loaded as a host loads it, byte checks
// that name the first differing byte, and sweeps that run their points in
// child processes, so that a crash or a hang at one point is reported
// with that point and the sweep goes on after it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/TempFolder.h"
#include "sweeps/Scenarios.h"

// Where the library cannot reach its folders it falls back to the
// executable's folder (Temp.xml, Interface.ini, the run log). So that a
// sweep neither writes into build/tests, which other tests use, nor misses
// such a write, each sweep program runs as a copy of itself in a folder of
// its own: called first in main, this makes the copy, runs it with the same
// arguments and returns its exit status; in the copy (and when only
// listing tests) it returns nullopt.
std::optional<int> RunFromOwnFolder(int argc, char** argv);
// The folder of the running program.
std::string ProgramFolder();

// The library, loaded with dlopen as a host loads it.
class Library {
public:
    Library();
    // The export's result; INT_MIN when the library or the export is missing.
    int Call(const std::string& name, const std::vector<std::string>& args) const;
    // The export, or null; called through CallExport, which allocates nothing.
    void* Export(const std::string& name) const;

private:
    void* m_handle;
};

// Calls the export with one, three or four arguments.
int CallExport(void* symbol, const std::vector<const char*>& args);

// One thing a check found: `kind` says what is wrong (the same words for
// every point where the same thing is wrong), `detail` what was seen.
struct Finding {
    std::string kind, detail;
};
using Findings = std::vector<Finding>;

// A scenario's own folder ($T, also the working directory), with its
// application-data folder $T/ORVANE/Kelmora (ZK8_COMMON_APPDATA is set to
// $T for the process) and the scenario's files written.
class Workspace {
public:
    explicit Workspace(const Scenario& scenario);
    const std::string& Folder() const { return m_folder.Path(); }
    std::string Path(const std::string& relative) const { return m_folder / relative; }
    std::string Output() const { return Path(m_scenario.output); }
    // The file the output's name leads to (the link's target for a link).
    std::string OutputFile() const;
    std::string Status() const { return OutputFile() + "_Status.xml"; }
    std::string StatusName() const { return m_scenario.output + "_Status.xml"; }
    std::string TempXml() const { return Path("ORVANE/Kelmora/Temp.xml"); }
    std::string RunLog() const { return Path("Runlog.log"); }
    // Removes what a call writes (output, status file, Temp.xml, run log, and
    // anything in the program's folder but the programs) and makes the output
    // link again where the output is one.
    void Clean() const;
    // The scenario's call; nothing is allocated here but by the library.
    int Call(const Library& library) const;

    // Checks after a call. CheckExact: result 0 with exactly the right
    // output, status file and Temp.xml. CheckNoOutput: neither output nor
    // status file.
    void CheckExact(int result, const std::string& call, Findings& found) const;
    void CheckNoOutput(const std::string& call, Findings& found) const;
    // Files the call left in $T that are none of the scenario's, and any
    // file in the program's folder but the program.
    void CheckNothingLeftBehind(const std::string& call, Findings& found) const;
    // The output link is still the link it was.
    void CheckLink(const std::string& call, Findings& found) const;

private:
    const Scenario& m_scenario;
    TempFolder m_folder;
    std::vector<std::string> m_args;
    std::vector<const char*> m_argPointers;
    mutable void* m_export = nullptr;
};

// The file's bytes against the expected: nothing when equal; else what it
// is (absent, N bytes, a prefix of the right bytes, or where it differs,
// with the bytes there in hex).
std::optional<std::string> Difference(const std::string& path, const std::string& expected);
// For an expected prefix: the file is absent or begins the right bytes.
bool IsPrefixOrAbsent(const std::string& path, const std::string& expected);
// What is wrong with a file that is neither absent nor the right bytes nor a
// prefix of them: "holds NUL characters" (a hole), "ends as the right file
// ends" (a whole-looking file with bytes missing or misplaced), or
// "differs".
std::string Shape(const std::string& path, const std::string& expected);
// "absent", or "N bytes" and what they are against the right bytes.
std::string Describe(const std::string& path, const std::optional<std::string>& expected);

// A sweep over points (allocation numbers, byte limits). `body` runs one
// point in a child process and returns whether the point was reached (an
// allocation that the call made); points run in order in one child, a new
// child going on after a point whose child died or hung.
struct PointOutcome {
    explicit PointOutcome(long at, Findings findings = Findings()) : point(at), found(std::move(findings)) {}
    long point;
    Findings found;
    bool reached = true;
    std::string where;  // FramesText of the failed allocation
};
struct SweepOutcome {
    std::vector<PointOutcome> points;  // every point run, in order
    long lastReached = 0;
    long Reached() const;
};
// Points: `points` in order; after the last, point + 1 while `extend` and
// the point before was reached.
struct SweepPlan {
    std::vector<long> points;
    bool extend = false;
};
// `body` may set `where` to say where the point is in the code.
SweepOutcome RunSweep(const SweepPlan& plan, const std::function<bool(long, Findings&, std::string& where)>& body,
                      int stallSeconds);

// Return addresses as text a report can show: the frames below the test
// program's own (the allocation functions) down to the first of the test
// program again (the call of the export), each as the library's file and
// offset, or another module's name and symbol.
std::string FramesText(void* const* frames, int count);
// The same with the library's functions and lines (addr2line).
std::string Symbolized(const std::string& framesText);

// Each kind of finding as one test failure: where (N = ... or K = ...,
// as ranges) and the first details.
void ReportFindings(const std::string& sweep, const std::string& scenario, const std::string& pointName,
                    const SweepOutcome& outcome);

// Runs `body` in a child process and waits at most `seconds` for it; the
// child's exit status, or nullopt when it had to be killed.
std::optional<int> RunWithTimeout(const std::function<int()>& body, int seconds, double* tookSeconds = nullptr);

// "exit status 1", "signal 6 (Aborted)".
std::string DescribeStatus(int status);
