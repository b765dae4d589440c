// The case files of tests/cases (format in TESTING.md): reading them and
// running the steps that need only files and the library's exports. The
// runner of each platform derives from CaseScript: it calls the exports of
// the library it loaded and adds the steps only it can take.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/TempFolder.h"

struct CaseStep {
    int line;
    std::string op, rest;
};

struct Case {
    std::string suite, name, file;
    std::vector<CaseStep> steps;
};

// The cases of one NAME.cases file (suite NAME), in the file's order.
std::vector<Case> ReadCaseFile(const std::string& path);
// The cases of every .cases file in the folder, files by name.
std::vector<Case> ReadCases(const std::string& folder);

// The path up to its last / or \.
std::string FolderOf(const std::string& path);

// An argument written NULL in a call step: the export gets a null pointer.
const char kNullArgument[] = "\x01NULL";
inline const char* ArgumentPointer(const std::string& argument) {
    return argument == kNullArgument ? nullptr : argument.c_str();
}

// A call step as the steps `threads` and `processes` repeat it: arguments
// as paths, except "." for a working directory that is the case's folder;
// `log` holds the run-log entries the call added there.
struct RecordedCall {
    int expected;
    std::string name;
    std::vector<std::string> args;
    std::string log;
};
using ExportCall = std::function<int(const std::string& name, const std::vector<std::string>& args)>;
// The body of a worker process of the step `processes`: worker WORKER's
// share of the calls in CALLS_FILE, ROUNDS times, through `call` (null: the
// library did not load). What differs from the lone calls goes where the
// step reads it; the result is the process's exit status (0 nothing, 1
// differences, 2 nothing could be run).
int RunReplayWorker(const std::string& callsFile, int worker, int rounds, const ExportCall& call);

class CaseScript {
public:
    virtual ~CaseScript() = default;
    // Runs the steps in order, in the case's temporary folder ($T), until one
    // stops the case; the working directory is restored afterwards.
    void RunCase(const Case& c);

protected:
    CaseScript();
    // Calls the export with these arguments; INT_MIN where it cannot.
    virtual int Call(const std::string& name, const std::vector<std::string>& args) = 0;
    // The same on the calling thread, from any thread, once a call has
    // loaded the library.
    virtual int CallHere(const std::string& name, const std::vector<std::string>& args) = 0;
    // Runs WORKERS processes of this program at once, each running
    // RunReplayWorker on the file as worker N; what went wrong in starting
    // or ending them.
    virtual std::string RunWorkerProcesses(const std::string& callsFile, int workers, int rounds) = 0;
    // A step the shared steps do not include; false where this platform has
    // no such step, which skips the rest of the case.
    virtual bool RunOwn(const std::string& op, std::string rest) = 0;
    // A failure at the line of the current step, or why the case is skipped.
    virtual void Report(bool skipped, int line, const std::string& message) = 0;

    void Fail(const std::string& message, bool fatal = false);
    void Skip(const std::string& why);
    void Define(const std::string& name, const std::string& value) { m_vars.insert(m_vars.begin(), {name, value}); }
    static std::string Word(std::string& rest);
    // "-" is the empty string, "." the case's folder; a relative path lies in it.
    std::string Path(const std::string& word) const;
    // Unescaped text, or "@PATH": the file's bytes.
    std::string Text(const std::string& text) const;
    // The text with $NAME replaced; escaped: for a text still to be unescaped.
    std::string Expand(std::string text, bool escaped = false) const;
    // False where it found a difference.
    bool Compare(std::string actual, const std::string& how, const std::string& expected);

    TempFolder m_folder;
    // The last call step, and the files compared whole since it, with the
    // bytes they matched with (what the sweeps hold a repeated call to).
    struct LastCall {
        int result = 0;
        std::string name;
        std::vector<std::string> args;
    } m_lastCall;
    std::map<std::string, std::string> m_matched;

private:
    void RunStep(const std::string& op, std::string rest);
    std::string Masked(std::string text) const;
    // `threads` and `processes`: the recorded calls from several workers at once.
    void RunTogether(bool processes, int workers, int rounds);

    const Case* m_case = nullptr;
    int m_line = 0;
    int m_failures = 0;
    bool m_stopped = false;
    std::vector<std::pair<std::string, std::string>> m_vars;
    // Kept only in cases that repeat their calls together: the calls, and
    // every Temp.xml they left in $A.
    bool m_recording = false;
    std::vector<RecordedCall> m_calls;
    std::set<std::string> m_tempXmls;
    const std::time_t m_started = std::time(nullptr);
};
