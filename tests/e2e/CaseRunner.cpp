// Runs the cases of tests/cases/*.cases (TESTING.md) as a host program
// would: the library is loaded at a case's first call and its exports are
// called with paths; the tool runs as a command. The POSIX test runner (each
// case a GoogleTest test) and, built with mingw-w64, the Windows host under
// Wine, where steps with no Windows form skip the rest of their case.
//   e2e_tests [--in FOLDER] CASE_FILE [TITLE]          outside GoogleTest
//   zk8_case_host DLL HOST_MODULE EXAMPLES CASE_FILE   (or "version")
#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include "zk8_xml_conv.h"
#else
#include <dlfcn.h>
#include <grp.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "e2e/RandomCalls.h"
#define ZK8_API
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "support/TempFolder.h"

#ifdef ZK8_ALLOCATION_HOOKS
extern "C" void zk8_hooks_arm(long failAt);
extern "C" long zk8_hooks_disarm(long* net);
#endif

namespace fs = std::filesystem;

namespace {

// What the cases run against. POSIX: the build's files; Windows: the
// arguments the host program is given.
struct Setup {
    std::string library, hostModule, examples, tool, corpus, cases;
    std::vector<std::string> hostArguments;  // given again to worker processes
} g_setup;

// ZK8_CASES_LIBRARY runs the cases against another build (an earlier release).
std::string LibraryPath() {
    const char* other = std::getenv("ZK8_CASES_LIBRARY");
    return other != nullptr && *other != '\0' ? other : g_setup.library;
}

struct CaseStep {
    int line;
    std::string op, rest;
};

struct Case {
    std::string suite, name, file;
    std::vector<CaseStep> steps;
};

std::vector<Case> ReadCaseFile(const std::string& path) {
    std::ifstream in(path);
    const fs::path file(path);
    std::vector<Case> cases;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] == '#') continue;
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({file.stem().string(), line.substr(3), file.filename().string(), {}});
        } else if (!cases.empty()) {
            const std::size_t space = line.find(' ', start);
            cases.back().steps.push_back(
                {number, line.substr(start, space - start), space == std::string::npos ? "" : line.substr(space + 1)});
        }
    }
    return cases;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("/\\")); }

// ---- The platform: the library, its calls, processes ----

#ifdef _WIN32
using Library = HMODULE;
Library LoadLibraryAt(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* Symbol(Library library, const std::string& name) {
    return library != nullptr ? reinterpret_cast<void*>(GetProcAddress(library, name.c_str())) : nullptr;
}
std::string SelfPath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}
#else
using Library = void*;
Library LoadLibraryAt(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* Symbol(Library library, const std::string& name) {
    return library != nullptr ? dlsym(library, name.c_str()) : nullptr;
}
std::string SelfPath() { return fs::read_symlink("/proc/self/exe").string(); }
#endif

// An argument written NULL in a call step: the export gets a null pointer.
const char kNullArgument[] = "\x01NULL";

// Calls an export of the loaded library on this thread; INT_MIN where it has none.
int CallExport(Library library, const std::string& name, const std::vector<std::string>& args) {
    void* f = Symbol(library, name);
    if (f == nullptr) return INT_MIN;
    using C = const char*;
    const auto at = [&](std::size_t i) { return args[i] == kNullArgument ? nullptr : args[i].c_str(); };
    switch (args.size()) {
        case 1: return reinterpret_cast<int(ZK8_API*)(C)>(f)(at(0));
        case 2: return reinterpret_cast<int(ZK8_API*)(C, C)>(f)(at(0), at(1));
        case 3: return reinterpret_cast<int(ZK8_API*)(C, C, C)>(f)(at(0), at(1), at(2));
        default: return reinterpret_cast<int(ZK8_API*)(C, C, C, C)>(f)(at(0), at(1), at(2), at(3));
    }
}

// Runs the call on a new thread, whose stack is 1 MB, a host thread's
// default (main sets it): recursion per level of a deep document would not fit.
int OnSmallStack(const std::function<int()>& call) {
    int result = INT_MIN;
    std::thread([&] { result = call(); }).join();
    return result;
}

// Runs this program again, with the host's arguments and these: its exit
// status (-1 where it did not end normally).
int RunSelf(const std::vector<std::string>& args) {
    std::string command = "\"" + SelfPath() + "\"";
    for (const std::string& arg : g_setup.hostArguments) command += " \"" + arg + "\"";
    for (const std::string& arg : args) command += " \"" + arg + "\"";
#ifdef _WIN32
    return std::system(("\"" + command + "\"").c_str());  // cmd /c takes the outer quotes off
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// ---- Texts ----

// Escapes \n \r \t \0 \\ \xHH; {{N*text}} repeats text N times, # in it
// standing for the repetition's number from 0.
std::string Unescape(const std::string& in) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in.compare(i, 2, "{{") == 0) {
            const std::size_t star = in.find('*', i), end = in.find("}}", i);
            const std::string body = in.substr(star + 1, end - star - 1);
            const long count = std::stol(in.substr(i + 2, star - i - 2));
            if (body.find('#') == std::string::npos) {
                std::string all = Unescape(body);  // doubled up to the count
                const std::size_t size = all.size() * count;
                while (all.size() < size) all.append(all, 0, std::min(all.size(), size - all.size()));
                out += count > 0 ? all : "";
            }
            for (long n = 0; n < count && body.find('#') != std::string::npos; ++n) {
                out += Unescape(std::regex_replace(body, std::regex("#"), std::to_string(n)));
            }
            i = end + 1;
        } else if (in[i] != '\\' || i + 1 == in.size()) {
            out += in[i];
        } else {
            const char c = in[++i];
            if (c == 'x') {
                out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == '0' ? '\0' : c;
            }
        }
    }
    return out;
}

// UTF-8 of the Basic Multilingual Plane (a stray byte is one unit) to UTF-16LE.
std::string Utf16Of(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        const int length = c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned u = length == 1 ? c : c & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) u = u << 6 | (text[i + k] & 0x3F);
        out += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        i += length;
    }
    return out;
}

// UTF-16LE after the byte-order mark, as UTF-8; each unit on its own.
std::string TextOfUtf16(const std::string& bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") != 0) return "<no FF FE mark>" + bytes.substr(0, 64);
    std::string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned u = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (u >= 0x800) out += static_cast<char>(0xE0 | u >> 12);
        if (u >= 0x80) out += static_cast<char>(u >= 0x800 ? 0x80 | (u >> 6 & 0x3F) : 0xC0 | u >> 6);
        out += static_cast<char>(u >= 0x80 ? 0x80 | (u & 0x3F) : u);
    }
    return bytes.size() % 2 ? out + "<odd byte>" : out;
}

// What a new run log begins with, up to its first entry.
const std::string kLogHead = "Create LogFile\r\n\r\n";

std::string AfterLogHead(const std::string& log) {
    const std::size_t head = log.find(kLogHead);
    return head == std::string::npos ? log : log.substr(head + kLogHead.size());
}

// ---- Calls repeated together (the steps threads and processes) ----

// A call as those steps repeat it: arguments as paths, except "." for a
// working directory that is the case's folder; `log` holds the run-log
// entries the lone call added there.
struct RecordedCall {
    int expected;
    std::string name;
    std::vector<std::string> args;
    std::string log;
};
using ExportCall = std::function<int(const std::string& name, const std::vector<std::string>& args)>;

std::string WorkerFolder(const std::string& caseFolder, int worker) {
    return caseFolder + "/worker" + std::to_string(worker);
}

// Worker N's share: ROUNDS times every call, from call N % count on, each
// writing its output into $T/worker<N> (its working directory too where the
// call's is "."). Returns what differs from the lone call.
std::string ReplayCalls(const std::string& caseFolder, int worker, int rounds, const std::vector<RecordedCall>& calls,
                        const ExportCall& call) {
    const std::string folder = WorkerFolder(caseFolder, worker);
    std::string found;
    int differences = 0;
    const auto differ = [&](const std::string& what) {
        if (++differences <= 3) found += "worker " + std::to_string(worker) + ": " + what + "\n";
    };
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t n = 0; n < calls.size(); ++n) {
            const RecordedCall& c = calls[(worker + n) % calls.size()];
            std::vector<std::string> args = c.args;
            std::string mine, lone;
            const std::size_t output = c.name == "CreateTagList" ? 0 : 1;
            for (std::size_t i = 0; i < args.size(); ++i) {
                if (i == output) {
                    lone = args[i];
                    args[i] = mine = folder + "/" + lone.substr(lone.find_last_of("/\\") + 1);
                } else if (args[i] == ".") {
                    args[i] = folder;
                }
            }
            const int result = call(c.name, args);
            if (result != c.expected) differ(c.name + ": result " + std::to_string(result));
            for (const std::string suffix : {"", "_Status.xml"}) {
                if (Exists(mine + suffix) != Exists(lone + suffix) || ReadFile(mine + suffix) != ReadFile(lone + suffix)) {
                    differ(c.name + ": " + mine + suffix + " is not as the lone call's");
                }
            }
        }
    }
    if (differences > 3) found += "worker " + std::to_string(worker) + ": " + std::to_string(differences) + " in all\n";
    return found;
}

// A worker process: --replay CALLS_FILE WORKER ROUNDS. The calls file holds
// the case's folder, then a call per line (result, name, arguments, tab
// separated); what differs goes to found.txt in the worker's folder.
int RunReplayWorker(const std::string& callsFile, int worker, int rounds) {
    std::istringstream in(ReadFile(callsFile));
    std::string folder;
    std::vector<RecordedCall> calls;
    std::getline(in, folder);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        for (std::size_t start = 0, tab; start <= line.size(); start = tab + 1) {
            tab = std::min(line.find('\t', start), line.size());
            fields.push_back(line.substr(start, tab - start));
        }
        calls.push_back({std::stoi(fields[0]), fields[1], {fields.begin() + 2, fields.end()}, ""});
    }
    const Library library = LoadLibraryAt(LibraryPath());
    if (library == nullptr || calls.empty()) return 2;
    const std::string found = ReplayCalls(folder, worker, rounds, calls, [library](const std::string& name, const std::vector<std::string>& args) {
        return CallExport(library, name, args);
    });
    WriteFile(WorkerFolder(folder, worker) + "/found.txt", found);
    return found.empty() ? 0 : 1;
}

#ifndef _WIN32
// A file-size limit (limit < 0: none): every write past it fails with
// EFBIG, as on a full disk. Returns the limit before.
rlimit LimitFileSize(long limit) {
    rlimit saved{}, cap{};
    getrlimit(RLIMIT_FSIZE, &saved);
    cap = saved;
    cap.rlim_cur = limit < 0 ? saved.rlim_cur : static_cast<rlim_t>(limit);
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &cap);
    return saved;
}

// Runs the call in a child process as the user nobody, for whom permission
// bits count; the result travels as the child's exit status.
int AsNobody(const std::string& folder, const std::function<int()>& call) {
    chmod(folder.c_str(), 0755);
    const pid_t child = fork();
    if (child == 0) _exit(setgroups(0, nullptr) || setgid(65534) || setuid(65534) ? 200 : static_cast<unsigned char>(call()));
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : INT_MIN;
}
#endif

// ---- The interpreter ----

#ifndef _WIN32
// Runs a shell command with its standard error joined to its output, which
// goes into `output`; as the user nobody when `asNobody`. Its exit status,
// or -1 when it did not exit.
int RunShell(const std::string& command, bool asNobody, std::string& output) {
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

// What a command puts before a program that loads $LIB: nothing, or in a
// build with AddressSanitizer its runtime, which must be loaded first.
std::string SanitizerPreload() {
#ifdef __SANITIZE_ADDRESS__
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::size_t at = line.find('/');
        if (at != std::string::npos && line.find("/libasan.so", at) != std::string::npos) {
            return "LD_PRELOAD=" + line.substr(at) + " ASAN_OPTIONS=detect_leaks=0";
        }
    }
#endif
    return "";
}
#endif

class CaseScript {
public:
    // The case runs in FOLDER, or in a temporary folder of its own.
    CaseScript(const Case& c, const std::string& folder) : m_case(c) {
        if (folder.empty()) m_temp = std::make_unique<TempFolder>();
        m_root = folder.empty() ? m_temp->Path() : fs::absolute(folder).string();
        Define("$T", m_root);
        Define("$HOST", m_root + "/host");
        Define("$X", g_setup.examples);
        Define("$EXE", FolderOf(SelfPath()));
#ifdef _WIN32
        // The machine's application-data folder of the product, emptied.
        char common[MAX_PATH] = "";
        SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
        const std::string appData = std::string(common) + "\\ORVANE\\Kelmora";
        std::error_code ignored;
        fs::remove_all(appData, ignored);
#else
        // The machine-wide application-data folder lies in the case's folder,
        // which keeps Temp.xml of concurrent cases apart.
        setenv("ZK8_COMMON_APPDATA", m_root.c_str(), 1);
        const std::string appData = m_root + "/ORVANE/Kelmora";
        Define("$TOOL", g_setup.tool);
        Define("$LIB", LibraryPath());
        Define("$CORPUS", g_setup.corpus);
        Define("$TESTS", FolderOf(g_setup.cases));
        Define("$PRELOAD", SanitizerPreload());
        // The tool and the examples where the user nobody can reach them: the
        // checkout may lie in a folder only its owner may enter.
        const bool nobody = std::any_of(c.steps.begin(), c.steps.end(), [](const CaseStep& s) { return s.op == "nobody"; });
        if (nobody && geteuid() == 0) {
            m_forNobody = std::make_unique<TempFolder>();
            chmod(m_forNobody->Path().c_str(), 0755);
            const std::string tool = *m_forNobody / "zk8conv", examples = *m_forNobody / "examples";
            std::error_code failed;
            fs::create_hard_link(g_setup.tool, tool, failed);
            if (failed) fs::copy_file(g_setup.tool, tool);
            fs::copy(g_setup.examples, examples, fs::copy_options::recursive);
            Define("$TOOL", tool);
            Define("$X", examples);
        }
#endif
        fs::create_directories(appData);
        Define("$A", appData);
    }

    ~CaseScript() {
#ifdef _WIN32
        if (m_library != nullptr) FreeLibrary(m_library);
        if (m_host != nullptr) FreeLibrary(m_host);
#endif
    }

    void Run() {
        for (const CaseStep& step : m_case.steps) m_recording = m_recording || step.op == "threads" || step.op == "processes";
        const fs::path cwd = fs::current_path();
#ifndef _WIN32
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
#endif
        RunSteps(0);
        fs::current_path(cwd);
#ifndef _WIN32
        setrlimit(RLIMIT_AS, &limit);
#endif
    }

    // What the steps reported: failures, and why the case was skipped.
    std::string m_failures, m_skipped;

private:
    void Define(const std::string& name, const std::string& value) { m_vars.insert(m_vars.begin(), {name, value}); }

    // The steps from the n-th on. "each FILE KIND" runs the steps after it
    // once for every line of FILE that is KIND, a tab and fields separated
    // by tabs: $1, $2, ... (unescaped).
    void RunSteps(std::size_t from) {
        for (std::size_t n = from; n < m_case.steps.size() && !m_stopped; ++n) {
            std::string rest = m_case.steps[n].rest;
            m_line = m_case.steps[n].line;
            if (m_case.steps[n].op != "each") {
                RunStep(m_case.steps[n].op, rest);
                continue;
            }
            std::istringstream rows(ReadFile(Path(Word(rest))));
            int count = 0;
            for (std::string row; std::getline(rows, row);) {
                if (row.rfind(rest + "\t", 0) != 0) continue;
                std::istringstream fields(row.substr(rest.size() + 1));
                int k = 0;
                for (std::string field; std::getline(fields, field, '\t');) Define("$" + std::to_string(++k), Unescape(field));
                RunSteps(n + 1);
                ++count;
            }
            if (count == 0) Fail("each: no line " + rest);
            return;
        }
    }

    void Fail(const std::string& message, bool fatal = false) {
        m_failures += m_case.file + ":" + std::to_string(m_line) + ": " + message + "\n";
        m_stopped = m_stopped || fatal;
    }

    void Skip(const std::string& why) {
        m_skipped += m_case.file + ":" + std::to_string(m_line) + ": " + why + "\n";
        m_stopped = true;
    }

    static std::string Word(std::string& rest) {
        const std::size_t start = rest.find_first_not_of(' '), end = rest.find(' ', start);
        std::string word = start == std::string::npos ? "" : rest.substr(start, end - start);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
        return word;
    }

    // The text with $NAME replaced; escaped: for a text still to be unescaped.
    std::string Expand(std::string text, bool escaped = false) const {
        for (auto [name, value] : m_vars) {
            // A Windows path's backslashes stay themselves in an unescaped text.
            for (std::size_t at = 0; escaped && (at = value.find('\\', at)) != std::string::npos; at += 2) {
                value.insert(at, 1, '\\');
            }
            for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += value.size()) {
                text.replace(at, name.size(), value);
            }
        }
        return text;
    }

    // "-" is the empty string, "." the case's folder; a relative path lies in it.
    std::string Path(const std::string& word) const {
        if (word == "NULL") return kNullArgument;
        const std::string path = word == "-" ? "" : word == "." ? m_root : Expand(word);
        return path.empty() || path[0] == '/' || fs::path(path).is_absolute() ? path : m_root + "/" + path;
    }

    // Unescaped text, or "@PATH": the file's bytes.
    std::string Text(const std::string& text) const {
        return text.rfind('@', 0) == 0 ? ReadFile(Path(text.substr(1))) : Unescape(Expand(text, true));
    }

    // Run-log and conversion time stamps of this case's run read "<TS>".
    std::string Masked(std::string text) const {
        if (text.size() > (1 << 20)) return text;
        static const std::regex stamp(R"((\d{4})[.-](\d\d)[.-](\d\d)[ T](\d\d)[.:](\d\d)[.:](\d\d))");
        std::string out;
        auto from = text.cbegin();
        for (std::sregex_iterator m(text.begin(), text.end(), stamp), end; m != end; ++m) {
            std::tm t{};
            t.tm_year = std::stoi((*m)[1]) - 1900, t.tm_mon = std::stoi((*m)[2]) - 1, t.tm_mday = std::stoi((*m)[3]);
            t.tm_hour = std::stoi((*m)[4]), t.tm_min = std::stoi((*m)[5]), t.tm_sec = std::stoi((*m)[6]);
            t.tm_isdst = -1;
            const std::time_t at = std::mktime(&t);
            out.append(from, (*m)[0].first);
            out += at >= m_started - 1 && at <= std::time(nullptr) + 1 ? "<TS>" : m->str();
            from = (*m)[0].second;
        }
        return out.append(from, text.cend());
    }

    // False where it found a difference.
    bool Compare(std::string actual, const std::string& how, const std::string& expected) {
        const std::string text = Masked(std::move(actual));
        const std::size_t failuresBefore = m_failures.size();
        if (how == "~" || how == "!~") {
            if ((text.find(expected) != std::string::npos) != (how == "~")) {
                Fail((how == "~" ? "missing: " : "present: ") + expected + "\nin: " + text);
            }
        } else if (how == "entries") {
            // A run log: its head once, at the start, then whole entry lines; or,
            // for any number, empty (just rotated).
            static const std::regex entry("<TS> : .{20} .{5}   .*\r");
            const std::string body = AfterLogHead(text);
            bool whole = (text.rfind("Date/Time", 0) == 0 && body.size() < text.size()) || (text.empty() && expected == "*");
            long count = 0;
            std::istringstream lines(body);
            for (std::string line; std::getline(lines, line); ++count) whole = whole && std::regex_match(line, entry);
            if (!whole || (expected != "*" && count != std::stol(expected))) {
                Fail(std::to_string(count) + " entries, expected " + expected + (whole ? "" : ", not all whole") + ":\n" +
                     text.substr(0, 4000));
            }
        } else if (how == "begins") {
            // What a forward write that stopped early leaves: a beginning of the
            // whole, however short.
            if (expected.compare(0, text.size(), text) != 0) {
                std::size_t at = 0;
                while (at < text.size() && text[at] == expected[at]) ++at;
                Fail("not a beginning of the expected bytes: differs at byte " + std::to_string(at) + " of " +
                     std::to_string(text.size()));
            }
        } else if (how == "lines") {
            const long lines = std::count(text.begin(), text.end(), '\n');
            if (lines != std::stol(expected)) Fail(std::to_string(lines) + " lines, expected " + expected);
        } else if (text != expected) {
            std::size_t at = 0;
            while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
            const std::size_t from = at < 40 ? 0 : at - 40;
            Fail("differs at byte " + std::to_string(at) + " of " + std::to_string(text.size()) + " (expected " +
                 std::to_string(expected.size()) + ")\n  actual:   " + text.substr(from, 160) +
                 "\n  expected: " + expected.substr(from, 160));
        }
        return m_failures.size() == failuresBefore;
    }

    int Call(const std::string& name, const std::vector<std::string>& args) {
        if (m_library == nullptr) m_library = LoadLibraryAt(LibraryPath());
        if (Symbol(m_library, name) == nullptr) return Fail("no export " + name, true), INT_MIN;
        const auto call = [&] { return CallExport(m_library, name, args); };
#ifdef _WIN32
        return OnSmallStack(call);
#else
        const rlimit saved = LimitFileSize(m_fileLimit);
        const int result = m_asNobody ? AsNobody(m_root, call) : OnSmallStack(call);
        setrlimit(RLIMIT_FSIZE, &saved);
        m_fileLimit = -1;
        m_asNobody = false;
        return result;
#endif
    }

    void RunStep(const std::string& op, std::string rest) {
        std::error_code ignored;
        if (op == "call") {
            // The result "*": any (the step note shows it).
            const std::string expected = Word(rest), name = Word(rest);
            std::vector<std::string> words, args;
            for (std::string w; !(w = Word(rest)).empty();) words.push_back(w), args.push_back(Path(w));
            const std::string log = m_root + "/Runlog.log", before = m_recording ? ReadFile(log) : "";
            const int result = Call(name, args);
            const int wanted = expected == "*" ? result : std::stoi(expected);
            if (result != wanted) Fail(name + ": result " + std::to_string(result) + ", expected " + expected);
            m_lastCall = LastCall{wanted, name, args};
            m_matched.clear();
            if (m_recording) {
                RecordedCall call{wanted, name, args, ReadFile(log)};
                for (std::size_t i = 0; i < words.size(); ++i) call.args[i] = words[i] == "." ? "." : args[i];
                const bool grown = call.log.compare(0, before.size(), before) == 0;
                call.log = AfterLogHead(grown ? call.log.substr(before.size()) : call.log);
                m_calls.push_back(call);
                if (Exists(Path("$A/Temp.xml"))) m_tempXmls.insert(ReadFile(Path("$A/Temp.xml")));
            }
        } else if (op == "threads" || op == "processes") {
            const int workers = std::stoi(Word(rest));
            RunTogether(op == "processes", workers, std::stoi(Word(rest)));
        } else if (op == "todevice" || op == "tocustomer" || op == "tocustomer16") {
            // The input as in.xml (in UTF-16 for tocustomer16), converted into out.xml.
            RunStep(op == "tocustomer16" ? "write16" : "write", "in.xml " + rest);
            RunStep("call", op == "todevice" ? "0 CustToZK8Ext in.xml out.xml ." : "0 ZK8ToCustExt in.xml out.xml .");
        } else if (op == "write" || op == "write16") {
            const std::string path = Path(Word(rest)), text = Text(rest);
            fs::create_directories(FolderOf(path), ignored);
            WriteFile(path, op == "write" ? text : "\xFF\xFE" + Utf16Of(text));
        } else if (op == "file" || op == "text") {
            const std::string path = Path(Word(rest)), how = Word(rest);
            if (!Exists(path)) return Fail("no file " + path, true);
            const std::string bytes = ReadFile(path);
            if (Compare(op == "file" ? bytes : TextOfUtf16(bytes), how, Text(rest)) && how == "=") m_matched[path] = bytes;
        } else if (op == "absent" || op == "exists") {
            const std::string path = Path(Word(rest));
            if (Exists(path) != (op == "exists")) Fail((op == "exists" ? "no " : "unexpected ") + path);
        } else if (op == "remove") {
            for (std::string w; !(w = Word(rest)).empty();) fs::remove_all(Path(w), ignored);
        } else if (op == "listing") {
            const std::string folder = Path(Word(rest)), how = Word(rest);
            std::vector<std::string> names;
            for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename().string());
            std::sort(names.begin(), names.end());
            std::string text;
            for (const std::string& name : names) text += name + "\n";
            Compare(text, how, Text(rest));
        } else if (op == "mkdir") {
            fs::create_directories(Path(rest));
        } else if (op == "chmod") {
            const auto mode = static_cast<fs::perms>(std::stoi(Word(rest), nullptr, 8));
            fs::permissions(Path(rest), mode, ignored);
        } else if (op == "cd") {
            fs::current_path(Path(rest));
        } else if (op == "long") {
            // $NAME: a path of exactly LENGTH characters below the case's folder, in
            // folders of 200 characters and a last name made of NAME; "parents"
            // makes the folders, "folder" the last name too.
            const std::string name = Word(rest);
            const std::size_t length = std::stoul(Word(rest));
            std::string path = m_root;
            while (length - path.size() > 202) {
                path += "/" + std::string(200, 'd');
                if (rest != "none") fs::create_directory(path, ignored);
            }
            for (path += "/"; path.size() < length;) path += name[path.size() % name.size()];
            if (rest == "folder") fs::create_directory(path, ignored);
            Define("$" + name, path);
        } else if (op == "host") {
            // A copy of its own in $HOST, so that the run log a case makes there
            // is no other case's.
            const std::string copy = m_root + "/host/" + fs::path(g_setup.hostModule).filename().string();
            fs::create_directories(FolderOf(copy), ignored);
            fs::copy_file(g_setup.hostModule, copy, ignored);
            m_host = LoadLibraryAt(copy);
            if (m_host == nullptr) Fail("cannot load " + copy, true);
        } else if (!RunPosixStep(op, rest)) {
            Skip("no step \"" + op + "\" here");
        }
    }

    void RunTogether(bool processes, int workers, int rounds) {
        if (m_calls.empty()) return Fail("no call to repeat", true);
        std::error_code ignored;
        for (int w = 0; w < workers; ++w) {
            // The logging settings of the case's folder hold in the workers' too.
            const std::string folder = WorkerFolder(m_root, w);
            fs::create_directories(folder, ignored);
            fs::copy_file(m_root + "/Interface.ini", folder + "/Interface.ini", fs::copy_options::overwrite_existing, ignored);
        }
        std::string found;
        if (processes) {
            std::string calls = m_root + "\n";
            for (const RecordedCall& c : m_calls) {
                calls += std::to_string(c.expected) + "\t" + c.name;
                for (const std::string& arg : c.args) calls += "\t" + arg;
                calls += "\n";
            }
            WriteFile(m_root + "/calls.txt", calls);
            std::vector<int> statuses(workers);
            std::vector<std::thread> starts;
            for (int w = 0; w < workers; ++w) {
                starts.emplace_back([&, w] {
                    statuses[w] = RunSelf({"--replay", m_root + "/calls.txt", std::to_string(w), std::to_string(rounds)});
                });
            }
            for (int w = 0; w < workers; ++w) {
                starts[w].join();
                if (statuses[w] != 0 && statuses[w] != 1) found += "worker " + std::to_string(w) + " ended with " + std::to_string(statuses[w]) + "\n";
                found += ReadFile(WorkerFolder(m_root, w) + "/found.txt");
            }
        } else {
            std::vector<std::string> findings(workers);
            std::vector<std::thread> threads;
            const ExportCall call = [this](const std::string& name, const std::vector<std::string>& args) {
                return CallExport(m_library, name, args);
            };
            for (int w = 0; w < workers; ++w) {
                threads.emplace_back([&, w] { findings[w] = ReplayCalls(m_root, w, rounds, m_calls, call); });
            }
            for (std::thread& thread : threads) thread.join();
            for (const std::string& finding : findings) found += finding;
        }
        if (!found.empty()) Fail(found);
        // A worker's run log: the entries of the lone calls, in the worker's
        // order, round after round.
        for (int w = 0; w < workers; ++w) {
            std::string expected;
            for (int round = 0; round < rounds; ++round) {
                for (std::size_t n = 0; n < m_calls.size(); ++n) expected += m_calls[(w + n) % m_calls.size()].log;
            }
            Compare(AfterLogHead(ReadFile(WorkerFolder(m_root, w) + "/Runlog.log")), "=", Masked(expected));
        }
        // Temp.xml holds one call's rewrite, whole.
        if (!m_tempXmls.empty() && m_tempXmls.count(ReadFile(Path("$A/Temp.xml"))) == 0) {
            Fail("Temp.xml is none of the lone calls' rewrites");
        }
    }

#ifdef _WIN32
    bool RunPosixStep(const std::string&, std::string) { return false; }
#else
    bool RunPosixStep(const std::string& op, std::string rest) {
        if (op == "run") {
            const int expected = std::stoi(Word(rest));
            if (m_asNobody) chmod(m_root.c_str(), 0755);
            const int code = RunShell("cd " + m_root + " && (" + Expand(rest) + ") 2>&1", m_asNobody, m_output);
            m_asNobody = false;
            if (code != expected) Fail("exit status " + std::to_string(code) + "\n" + m_output);
        } else if (op == "out") {
            const std::string how = Word(rest);
            Compare(m_output, how, Text(rest));
        } else if (op == "env") {
            // A number stays a number; anything else is a path.
            const std::string name = Word(rest);
            const bool number = !rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos;
            setenv(name.c_str(), number ? rest.c_str() : Path(rest).c_str(), 1);
        } else if (op == "unset") {
            unsetenv(rest.c_str());
        } else if (op == "umask") {
            umask(static_cast<mode_t>(std::stoi(rest, nullptr, 8)));
        } else if (op == "nobody") {
            if (geteuid() != 0) Skip("only root can run a call as another user");
            m_asNobody = true;
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
        } else if (op == "note") {
            std::fputs(Note().c_str(), stdout);
        } else if (op == "sequences") {
            const long count = std::stol(Word(rest));
            std::vector<std::string> pools;
            for (std::string w; !(w = Word(rest)).empty();) pools.push_back(Path(w));
            Sequences(count, pools);
        } else if (op != "posix") {  // "posix": the case needs POSIX
            return false;
        }
        return true;
    }

    // The names below the case's folder, for files a failed call leaves
    // (the run log's files aside: a failed call logs).
    std::set<std::string> Names() const {
        std::set<std::string> names;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(m_root, error); it != fs::recursive_directory_iterator();
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.rfind("Runlog", 0) != 0 && name != "Interface.ini") names.insert(it->path().string());
        }
        return names;
    }

    // The last call again on a small stack, with the N-th allocation failing
    // (failAt > 0) or every file cut at `limit` bytes (limit >= 0); gives the
    // result, the allocations made and those kept.
    int CallFailing(long failAt, long limit, long& allocations, long& held) {
        const rlimit saved = LimitFileSize(limit);
        allocations = held = 0;
        const int result = OnSmallStack([&] {
#ifdef ZK8_ALLOCATION_HOOKS
            zk8_hooks_arm(failAt);
            const int r = CallExport(m_library, m_lastCall.name, m_lastCall.args);
            allocations = zk8_hooks_disarm(&held);
            return r;
#else
            static_cast<void>(failAt);
            return CallExport(m_library, m_lastCall.name, m_lastCall.args);
#endif
        });
        setrlimit(RLIMIT_FSIZE, &saved);
        return result;
    }

    // Removes the compared files (through a symbolic link, the file it names),
    // so that a call that writes none of them is seen.
    void RemoveCompared() {
        std::error_code error;
        for (const auto& [path, bytes] : m_matched) {
            fs::remove(fs::is_symlink(path) ? fs::canonical(path, error) : fs::path(path), error);
        }
    }

    // The sweep: the last call made again failing at each point in turn, for
    // every allocation it makes (alloc) or every byte limit of the files it
    // writes (write, sampled past 4 KiB). After each: the call's result with
    // exactly the compared bytes, or out of memory (alloc) or -95/-90 for a
    // Temp.xml or saved ini copy cut short (write) with none of the outputs;
    // for a byte limit, result 0 may leave an output cut short, a beginning of
    // its bytes. No file left behind, no block of the call still held, and the
    // call again without a failure right.
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
                } else if (allocations || path == tempXml ? actual != bytes : bytes.compare(0, actual.size(), actual) != 0) {
                    Fail(point + ": " + path + " is not " + (allocations || path == tempXml ? "right" : "a beginning of the right bytes"));
                }
            }
            for (const std::string& name : Names()) {
                if (names.count(name) == 0) Fail(point + ": " + name + " left behind");
            }
            if (allocations && result == -96) {
                // Memory the call kept: what the same failing call keeps again
                // (a first failure may fill a cache once).
                CallFailing(at, -1, made, held);
                if (held != 0) Fail(point + ": " + std::to_string(held) + " blocks kept");
            }
            RemoveCompared();
            bool again = CallFailing(0, -1, made, held) == m_lastCall.result;
            for (const auto& [path, bytes] : m_matched) again = again && ReadFile(path) == bytes;
            if (!again) return Fail(point + ", then again: not the call's result and bytes");
        }
        std::printf("sweep %s: %ld points\n", allocations ? "alloc" : "write", points);
    }

    // The last call's result and every file below the case's folder (but the
    // runner's copy and the host module): its size and a hash of its bytes,
    // UTF-16 read as text, with the folder's path and this run's time stamps
    // masked.
    std::string Note() const {
        std::string note = "line " + std::to_string(m_line) + ": " + m_lastCall.name + " -> " +
                           std::to_string(m_lastCall.result) + "\n";
        std::map<std::string, std::string> files;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(m_root, error); it != fs::recursive_directory_iterator();
             it.increment(error)) {
            const std::string name = fs::relative(it->path(), m_root).string();
            if (it->is_directory(error) || name == "bin/e2e_tests" || name == "host/libZKHost.so") continue;
            std::string bytes = ReadFile(it->path().string());
            bytes = Masked(bytes.compare(0, 2, "\xFF\xFE") == 0 ? TextOfUtf16(bytes) : bytes);
            for (std::size_t at = 0; (at = bytes.find(m_root, at)) != std::string::npos;) bytes.replace(at, m_root.size(), "$T");
            files[name] = std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string>()(bytes));
        }
        for (const auto& [name, what] : files) note += "  " + name + " " + what + "\n";
        return note;
    }

    // Random sequences of calls (RandomCalls.h) on the inputs of the POOL
    // folders, each run by this program as a case of its own in a process and
    // a folder of its own, on the library and on ZK8_REFERENCE_LIBRARY (else
    // the library again): what the steps "note" print must be the same. COUNT
    // sequences from seed ZK8_SEQUENCE_SEED (1), or as many as fit into
    // ZK8_SEQUENCE_SECONDS.
    void Sequences(long count, std::vector<std::string> pools) {
        const char* reference = std::getenv("ZK8_REFERENCE_LIBRARY");
        const char* seconds = std::getenv("ZK8_SEQUENCE_SECONDS");
        const char* first = std::getenv("ZK8_SEQUENCE_SEED");
        const std::string libraries[] = {reference != nullptr ? reference : LibraryPath(), LibraryPath()};
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds != nullptr ? std::stol(seconds) : 0);
        std::vector<std::pair<std::string, std::string>> inputs;  // name, path
        for (const std::string& pool : pools) {
            for (const auto& entry : fs::directory_iterator(pool)) {
                if (entry.is_regular_file()) inputs.push_back({fs::path(pool).filename().string() + "_" + entry.path().filename().string(), entry.path().string()});
            }
        }
        std::sort(inputs.begin(), inputs.end());
        std::vector<std::string> names;
        for (const auto& input : inputs) names.push_back(input.first);
        long sequences = 0, calls = 0;
        std::uint64_t seed = first != nullptr ? std::stoull(first) : 1;
        for (; seconds != nullptr ? std::chrono::steady_clock::now() < end : sequences < count; ++sequences, ++seed) {
            const std::string steps = RandomCalls(seed, names), file = m_root + "/sequence.cases";
            WriteFile(file, "== Sequence\n" + steps);
            std::string notes[2];
            for (int which = 0; which < 2; ++which) {
                const std::string folder = m_root + (which == 0 ? "/reference" : "/candidate");
                std::error_code error;
                fs::remove_all(folder, error);
                fs::create_directories(folder + "/bin");
                // The executable's folder is a fallback for Temp.xml and the
                // settings: a link to this program in the folder keeps them there.
                fs::create_hard_link(SelfPath(), folder + "/bin/e2e_tests", error);
                if (error) fs::copy_file(SelfPath(), folder + "/bin/e2e_tests");
                for (const auto& [name, path] : inputs) fs::copy_file(path, folder + "/" + name);
                const int status = std::system(("ZK8_CASES_LIBRARY='" + libraries[which] + "' '" + folder + "/bin/e2e_tests' --in '" +
                                                folder + "' '" + file + "' > '" + folder + ".notes' 2>&1").c_str());
                notes[which] = ReadFile(folder + ".notes") + "exit " + std::to_string(status) + "\n";
            }
            // Where the notes part: the lines around the first difference.
            std::istringstream expected(notes[0]), actual(notes[1]);
            for (std::string e, a, context;;) {
                const bool moreExpected = static_cast<bool>(std::getline(expected, e));
                const bool moreActual = static_cast<bool>(std::getline(actual, a));
                if (!moreExpected && !moreActual) break;
                if (e != a || moreExpected != moreActual) {
                    return Fail("seed " + std::to_string(seed) + ": after " + context + "\n  reference: " + e +
                                "\n  library:   " + a + "\nthe steps (" + file + "):\n" + steps);
                }
                if (e.find(" -> ") != std::string::npos) context = e, ++calls;
            }
        }
        std::printf("%ld sequences from seed %s, %ld calls: no difference\n", sequences, first != nullptr ? first : "1", calls);
    }
#endif

    const Case& m_case;
    std::unique_ptr<TempFolder> m_temp;
    std::string m_root;  // $T
    int m_line = 0;
    bool m_stopped = false;
    std::vector<std::pair<std::string, std::string>> m_vars;
    Library m_library = nullptr, m_host = nullptr;
    const std::time_t m_started = std::time(nullptr);
    // The last call, and the files compared whole since it, with the bytes
    // they matched (what the sweeps hold a repeated call to).
    struct LastCall {
        int result = 0;
        std::string name;
        std::vector<std::string> args;
    } m_lastCall;
    std::map<std::string, std::string> m_matched;
    // Kept only in cases that repeat their calls together: the calls, and
    // every Temp.xml they left in $A.
    bool m_recording = false;
    std::vector<RecordedCall> m_calls;
    std::set<std::string> m_tempXmls;
#ifndef _WIN32
    bool m_asNobody = false;
    long m_fileLimit = -1;
    std::string m_output;
    std::unique_ptr<TempFolder> m_forNobody;
#endif
};

// Runs the cases of a file (or the one titled so) each in a fresh script:
// on Windows with the DLL loaded afresh; on POSIX a process runs one case.
int RunFile(const std::string& folder, const std::string& file, const std::string& title) {
    int passed = 0, failed = 0, skipped = 0;
    for (const Case& c : ReadCaseFile(file)) {
        if (!title.empty() && c.name != title) continue;
        CaseScript script(c, folder);
        script.Run();
        const std::string name = c.suite + "." + c.name;
        if (!script.m_failures.empty()) {
            ++failed;
            std::printf("FAILED %s\n%s", name.c_str(), script.m_failures.c_str());
        } else if (!script.m_skipped.empty()) {
            ++skipped;
            std::printf("skipped %s: %s", name.c_str(), script.m_skipped.c_str());
        } else {
            ++passed;
        }
    }
    std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    // A file whose cases were all skipped has tested nothing.
    return failed == 0 && passed > 0 ? 0 : 1;
}

#ifdef _WIN32
// The fixed and the string version information of the DLL.
int ShowVersion(const std::string& dll) {
    DWORD handle = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(dll.c_str(), &handle));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoA(dll.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size)) {
        return std::printf("no version resource in %s\n", dll.c_str()), 1;
    }
    std::printf("file %lu.%lu.%lu.%lu product %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
                fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
                fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16,
                fixed->dwProductVersionLS & 0xFFFF);
    for (const char* key : {"FileDescription", "FileVersion", "ProductVersion", "OriginalFilename"}) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)) value = nullptr;
        std::printf("%s: %s\n", key, value != nullptr ? value : "(none)");
    }
    return 0;
}
#else
class CaseTest : public testing::Test {
public:
    explicit CaseTest(Case c) : m_case(std::move(c)) {}
    void TestBody() override {
        CaseScript script(m_case, "");
        script.Run();
        if (!script.m_failures.empty()) ADD_FAILURE() << script.m_failures;
        else if (!script.m_skipped.empty()) GTEST_SKIP() << script.m_skipped;
    }

private:
    Case m_case;
};
#endif

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
#ifdef _WIN32
    if (args.size() < 4) return std::printf("usage: zk8_case_host DLL HOST_MODULE EXAMPLES CASE_FILE | version\n"), 2;
    g_setup.library = args[0], g_setup.hostModule = args[1], g_setup.examples = args[2];
    g_setup.hostArguments.assign(args.begin(), args.begin() + 3);
    args.erase(args.begin(), args.begin() + 3);
    if (args[0] == "version") return ShowVersion(g_setup.library);
#else
    g_setup = {ZK8_LIBRARY_PATH, ZK8_HOST_MODULE_PATH, ZK8_EXAMPLES_DIR, ZK8_TOOL_PATH, ZK8_CORPUS_DIR, ZK8_CASES_DIR, {}};
    pthread_attr_t small;  // the Windows host's threads have it from its link options
    pthread_attr_init(&small);
    pthread_attr_setstacksize(&small, 1 << 20);
    pthread_setattr_default_np(&small);
#endif
    if (args.size() == 4 && args[0] == "--replay") return RunReplayWorker(args[1], std::stoi(args[2]), std::stoi(args[3]));
    std::string folder;
    if (args.size() >= 2 && args[0] == "--in") folder = args[1], args.erase(args.begin(), args.begin() + 2);
    if (!args.empty() && args[0].size() > 6 && args[0].compare(args[0].size() - 6, 6, ".cases") == 0) {
        return RunFile(folder, args[0], args.size() > 1 ? args[1] : "");
    }
#ifndef _WIN32
    testing::InitGoogleTest(&argc, argv);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(g_setup.cases)) {
        if (entry.path().extension() == ".cases") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        for (const Case& c : ReadCaseFile(file.string())) {
            testing::RegisterTest(c.suite.c_str(), c.name.c_str(), nullptr, nullptr, c.file.c_str(), 1,
                                  [c]() -> testing::Test* { return new CaseTest(c); });
        }
    }
    return RUN_ALL_TESTS();
#endif
}
