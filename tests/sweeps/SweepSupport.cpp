#include "sweeps/SweepSupport.h"

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

std::string ProgramFolder() {
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).parent_path().string();
}

std::optional<int> RunFromOwnFolder(int argc, char** argv) {
    if (std::getenv("ZK8_SWEEP_OWN_FOLDER") != nullptr) return std::nullopt;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return std::nullopt;
    }
    const TempFolder folder;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const std::string copy = folder / self.filename().string();
    fs::copy_file(self, copy, error);
    if (error) return std::nullopt;  // run here, where we are
    setenv("ZK8_SWEEP_OWN_FOLDER", folder.Path().c_str(), 1);
    const pid_t child = fork();
    if (child == 0) {
        argv[0] = const_cast<char*>(copy.c_str());
        execv(copy.c_str(), argv);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Library::Library() : m_handle(dlopen(ZK8_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {}

void* Library::Export(const std::string& name) const {
    return m_handle == nullptr ? nullptr : dlsym(m_handle, name.c_str());
}

int Library::Call(const std::string& name, const std::vector<std::string>& args) const {
    std::vector<const char*> pointers;
    for (const std::string& arg : args) pointers.push_back(arg.c_str());
    return CallExport(Export(name), pointers);
}

int CallExport(void* symbol, const std::vector<const char*>& args) {
    if (symbol == nullptr) return INT_MIN;
    using C = const char*;
    switch (args.size()) {
        case 1: return reinterpret_cast<int (*)(C)>(symbol)(args[0]);
        case 3: return reinterpret_cast<int (*)(C, C, C)>(symbol)(args[0], args[1], args[2]);
        case 4: return reinterpret_cast<int (*)(C, C, C, C)>(symbol)(args[0], args[1], args[2], args[3]);
        default: return INT_MIN;
    }
}

namespace {

std::string Hex(const std::string& bytes, std::size_t from, std::size_t count) {
    std::string out;
    char two[4];
    for (std::size_t i = from; i < bytes.size() && i < from + count; ++i) {
        std::snprintf(two, sizeof two, "%02X ", static_cast<unsigned char>(bytes[i]));
        out += two;
    }
    return out.empty() ? "(end)" : out.substr(0, out.size() - 1);
}

bool IsLink(const std::string& path) {
    struct stat s {};
    return lstat(path.c_str(), &s) == 0 && S_ISLNK(s.st_mode);
}

// The sweep programs in their own folder (a copy of the C host among them).
bool IsProgram(const fs::path& path) {
    struct stat s {};
    return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode) && (s.st_mode & S_IXUSR) != 0;
}

bool Present(const std::string& path) {
    struct stat s {};
    return lstat(path.c_str(), &s) == 0;
}

}  // namespace

std::string Describe(const std::string& path, const std::optional<std::string>& expected) {
    if (!Present(path)) return "absent";
    const std::string bytes = ReadFile(path);
    std::string text = std::to_string(bytes.size()) + " bytes";
    if (!expected) return text;
    if (bytes == *expected) return text + ", the right bytes";
    std::size_t at = 0;
    while (at < bytes.size() && at < expected->size() && bytes[at] == (*expected)[at]) ++at;
    if (at == bytes.size()) {
        return text + ", a prefix of the right " + std::to_string(expected->size()) + " bytes";
    }
    std::string found = text + " (right: " + std::to_string(expected->size()) + "), first difference at byte " +
                        std::to_string(at) + ": " + Hex(bytes, at, 8) + " instead of " + Hex(*expected, at, 8);
    // A run of NUL bytes is the mark of a hole.
    const std::size_t nul = bytes.find(std::string(16, '\0'));
    if (nul != std::string::npos) found += "; 16 NUL bytes from byte " + std::to_string(nul);
    return found;
}

std::string Shape(const std::string& path, const std::string& expected) {
    const std::string bytes = ReadFile(path);
    for (std::size_t at = 0; (at = bytes.find(std::string(4, '\0'), at)) != std::string::npos; ++at) {
        if (at % 2 == 0 && expected.find(std::string(4, '\0')) == std::string::npos) return "holds NUL characters";
    }
    const std::size_t tail = std::min<std::size_t>(16, expected.size());
    if (bytes.size() >= tail && bytes.compare(bytes.size() - tail, tail, expected, expected.size() - tail, tail) == 0) {
        return "ends as the right file ends";
    }
    return "differs";
}

namespace {

// A short word on a file that is present: for the kind of a finding.
std::string State(const std::string& path, const std::optional<std::string>& expected) {
    if (!expected) return "a file";
    if (ReadFile(path) == *expected) return "the right bytes";
    if (IsPrefixOrAbsent(path, *expected)) return "a prefix of the right bytes";
    return "a file that " + Shape(path, *expected);
}

}  // namespace

std::optional<std::string> Difference(const std::string& path, const std::string& expected) {
    if (Present(path) && ReadFile(path) == expected) return std::nullopt;
    return Describe(path, expected);
}

bool IsPrefixOrAbsent(const std::string& path, const std::string& expected) {
    if (!Present(path)) return true;
    const std::string bytes = ReadFile(path);
    return bytes.size() <= expected.size() && expected.compare(0, bytes.size(), bytes) == 0;
}

Workspace::Workspace(const Scenario& scenario) : m_scenario(scenario) {
    setenv("ZK8_COMMON_APPDATA", m_folder.Path().c_str(), 1);
    fs::create_directories(Path("ORVANE/Kelmora"));
    for (const auto& [name, bytes] : scenario.files) {
        fs::create_directories(fs::path(Path(name)).parent_path());
        WriteFile(Path(name), bytes);
    }
    for (const std::string& arg : scenario.args) m_args.push_back(arg == "." ? m_folder.Path() : Path(arg));
    for (const std::string& arg : m_args) m_argPointers.push_back(arg.c_str());
    Clean();
}

std::string Workspace::OutputFile() const {
    return m_scenario.linkTarget.empty() ? Output() : Path(m_scenario.linkTarget);
}

void Workspace::Clean() const {
    std::error_code ignored;
    for (const std::string& path : {Output(), OutputFile(), Status(), Output() + "_Status.xml", TempXml(), RunLog()}) {
        fs::remove(path, ignored);
    }
    if (!m_scenario.linkTarget.empty()) fs::create_symlink(m_scenario.linkTarget, Output(), ignored);
    if (std::getenv("ZK8_SWEEP_OWN_FOLDER") == nullptr) return;
    for (const auto& entry : fs::directory_iterator(ProgramFolder(), ignored)) {
        if (!IsProgram(entry.path())) fs::remove_all(entry.path(), ignored);
    }
}

int Workspace::Call(const Library& library) const {
    if (m_export == nullptr) m_export = library.Export(m_scenario.exportName);
    return CallExport(m_export, m_argPointers);
}

void Workspace::CheckExact(int result, const std::string& call, Findings& found) const {
    if (result != 0) found.push_back({call + ": result " + std::to_string(result) + ", expected 0", ""});
    const auto exact = [&](const std::string& name, const std::string& path, const std::optional<std::string>& bytes) {
        if (!bytes) {
            if (Present(path)) found.push_back({call + ": there is a " + name, Describe(path, std::nullopt)});
        } else if (const auto difference = Difference(path, *bytes)) {
            found.push_back({call + " (result " + std::to_string(result) + "): " + name + " is not right", *difference});
        }
    };
    exact(m_scenario.output, OutputFile(), m_scenario.expectedOutput);
    exact(StatusName(), Status(), m_scenario.expectedStatus);
    exact("Temp.xml", TempXml(), m_scenario.expectedTempXml);
    CheckLink(call, found);
}

void Workspace::CheckNoOutput(const std::string& call, Findings& found) const {
    if (Present(OutputFile())) {
        found.push_back({call + ": " + m_scenario.output + " is there, " + State(OutputFile(), m_scenario.expectedOutput),
                         Describe(OutputFile(), m_scenario.expectedOutput)});
    }
    if (Present(Status())) {
        found.push_back({call + ": " + StatusName() + " is there, " + State(Status(), m_scenario.expectedStatus),
                         Describe(Status(), m_scenario.expectedStatus)});
    }
    CheckLink(call, found);
}

void Workspace::CheckLink(const std::string& call, Findings& found) const {
    if (m_scenario.linkTarget.empty()) return;
    std::error_code error;
    if (!IsLink(Output()) || fs::read_symlink(Output(), error) != m_scenario.linkTarget) {
        found.push_back({call + ": the output link " + m_scenario.output + " is no longer a link to " +
                             m_scenario.linkTarget,
                         Present(Output()) ? "now a file of " + Describe(Output(), m_scenario.expectedOutput) : "removed"});
    }
}

void Workspace::CheckNothingLeftBehind(const std::string& call, Findings& found) const {
    std::set<std::string> known = {"Interface.ini", "Runlog.log", m_scenario.output, StatusName(),
                                   "ORVANE/Kelmora/Temp.xml"};
    if (!m_scenario.linkTarget.empty()) known.insert({m_scenario.linkTarget, m_scenario.linkTarget + "_Status.xml"});
    for (const auto& file : m_scenario.files) known.insert(file.first);
    if (m_scenario.firstCall.size() > 2) known.insert(m_scenario.firstCall[2]);
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(m_folder.Path(), ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) continue;
        const std::string name = fs::relative(it->path(), m_folder.Path(), ignored).string();
        if (known.count(name) == 0) {
            found.push_back({call + ": a file is left behind", name + ", " + Describe(it->path().string(), std::nullopt)});
        }
    }
    if (std::getenv("ZK8_SWEEP_OWN_FOLDER") == nullptr) return;
    for (const auto& entry : fs::directory_iterator(ProgramFolder(), ignored)) {
        if (!IsProgram(entry.path())) {
            found.push_back({call + ": a file is written into the program's folder",
                             entry.path().filename().string() + ", " + Describe(entry.path().string(), std::nullopt)});
        }
    }
}

namespace {

// One line of the child's report: a tag and two texts, whose tabs and
// line ends become spaces.
std::string Line(const std::string& tag, std::string a, std::string b = std::string()) {
    for (std::string* text : {&a, &b}) {
        for (char& c : *text) {
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        }
    }
    return tag + "\t" + a + "\t" + b + "\n";
}

void WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::optional<long> NextPoint(const SweepPlan& plan, std::size_t& index, long point, bool reached) {
    if (index + 1 < plan.points.size()) return plan.points[++index];
    if (plan.extend && reached) {
        ++index;
        return point + 1;
    }
    return std::nullopt;
}

// Splits "a\tb\tc" at the first two tabs.
void Fields(const std::string& line, std::string& tag, std::string& a, std::string& b) {
    const std::size_t first = line.find('\t'), second = line.find('\t', first + 1);
    tag = line.substr(0, first);
    a = first == std::string::npos ? "" : line.substr(first + 1, second - first - 1);
    b = second == std::string::npos ? "" : line.substr(second + 1);
}

}  // namespace

std::string DescribeStatus(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    }
    return "status " + std::to_string(status);
}

std::string FramesText(void* const* frames, int count) {
    std::string text;
    Dl_info self{};
    dladdr(reinterpret_cast<void*>(&FramesText), &self);
    int shown = 0;
    bool belowOwn = false;
    for (int i = 0; i < count && shown < 6; ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) == 0 || info.dli_fname == nullptr) continue;
        const bool own = info.dli_fbase == self.dli_fbase;
        if (own) {
            if (belowOwn) break;  // back in the test program: the call of the export
            continue;
        }
        belowOwn = true;
        const std::string module = info.dli_fname;
        char offset[32];
        std::snprintf(offset, sizeof offset, "+0x%lx",
                      static_cast<unsigned long>(static_cast<char*>(frames[i]) - static_cast<char*>(info.dli_fbase) - 1));
        if (!text.empty()) text += " | ";
        if (module.find("libZK8_XML_Conv") != std::string::npos || info.dli_sname == nullptr) {
            text += "M" + module + offset;
        } else {
            text += "S" + module.substr(module.find_last_of('/') + 1) + ":" + info.dli_sname;
        }
        ++shown;
    }
    return text;
}

namespace {

// A function's name without template arguments, parameters, clone suffix
// and anonymous namespace.
std::string Shortened(const std::string& function) {
    std::string out;
    int depth = 0;
    for (std::size_t i = 0; i < function.size(); ++i) {
        const char c = function[i];
        if (c == '<') {
            if (depth++ == 0) out += "<>";
        } else if (c == '>') {
            --depth;
        } else if (depth == 0) {
            if (c == '(' && function.compare(i, 21, "(anonymous namespace)") != 0) break;
            out += c;
        }
    }
    for (std::size_t at; (at = out.find("(anonymous namespace)::")) != std::string::npos;) out.erase(at, 23);
    return out;
}

}  // namespace

std::string Symbolized(const std::string& framesText) {
    std::string out;
    std::istringstream frames(framesText);
    for (std::string frame; std::getline(frames, frame, '|');) {
        frame.erase(0, frame.find_first_not_of(' '));
        frame.erase(frame.find_last_not_of(' ') + 1);
        if (!out.empty()) out += " <- ";
        if (frame.rfind("S", 0) == 0) {
            out += frame.substr(1);
            continue;
        }
        const std::size_t plus = frame.rfind('+');
        const std::string module = frame.substr(1, plus - 1), offset = frame.substr(plus + 1);
        std::string found;
        if (std::FILE* pipe = popen(("addr2line -f -C -s -e '" + module + "' " + offset + " 2>/dev/null").c_str(), "r")) {
            char line[1024];
            while (std::fgets(line, sizeof line, pipe) != nullptr) found += line;
            pclose(pipe);
        }
        const std::size_t newline = found.find('\n');
        std::string function = found.substr(0, newline), place = newline == std::string::npos ? "" : found.substr(newline + 1);
        if (!place.empty() && place.back() == '\n') place.pop_back();
        out += function.empty() || function == "??" ? frame.substr(1) : Shortened(function) + " (" + place + ")";
    }
    return out.empty() ? "(no frame)" : out;
}

SweepOutcome RunSweep(const SweepPlan& plan, const std::function<bool(long, Findings&, std::string&)>& body,
                      int stallSeconds) {
    SweepOutcome outcome;
    if (plan.points.empty()) return outcome;
    std::size_t index = 0;
    std::optional<long> start = plan.points[0];
    while (start) {
        int fds[2];
        if (pipe(fds) != 0) break;
        const std::size_t startIndex = index;
        const pid_t child = fork();
        if (child == 0) {
            // The child never returns into the test program.
            close(fds[0]);
            std::size_t i = startIndex;
            try {
                for (std::optional<long> point = start; point;) {
                    WriteAll(fds[1], Line("B", std::to_string(*point)));
                    Findings found;
                    std::string where;
                    const bool reached = body(*point, found, where);
                    std::string lines = where.empty() ? "" : Line("W", where);
                    for (const Finding& f : found) lines += Line("F", f.kind, f.detail);
                    WriteAll(fds[1], lines + Line("E", std::to_string(*point), reached ? "1" : "0"));
                    point = NextPoint(plan, i, *point, reached);
                }
            } catch (...) {
                _exit(3);
            }
            WriteAll(fds[1], Line("D", ""));
            _exit(0);
        }
        close(fds[1]);
        std::optional<PointOutcome> running;
        bool done = false, hung = false, reached = true;
        long last = *start;
        std::string pending;
        char buffer[65536];
        while (!done && !hung) {
            pollfd p{fds[0], POLLIN, 0};
            const int ready = poll(&p, 1, stallSeconds * 1000);
            if (ready == 0) {
                hung = true;
                break;
            }
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::string tag, a, b;
                Fields(pending.substr(0, end), tag, a, b);
                pending.erase(0, end + 1);
                if (tag == "B") {
                    running.emplace(std::stol(a));
                } else if (tag == "W" && running) {
                    running->where = a;
                } else if (tag == "F" && running) {
                    running->found.push_back({a, b});
                } else if (tag == "E" && running) {
                    last = running->point;
                    reached = b == "1";
                    running->reached = reached;
                    if (reached) outcome.lastReached = last;
                    outcome.points.push_back(std::move(*running));
                    running.reset();
                } else if (tag == "D") {
                    done = true;
                }
            }
        }
        if (hung) kill(child, SIGKILL);
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (done) break;
        if (!running) {  // the child ended between points
            running.emplace(last);
            reached = true;
        }
        running->found.push_back({hung ? "the call did not return (the child was killed after " +
                                             std::to_string(stallSeconds) + " s without progress)"
                                       : "the process ended during the call or its checks",
                                  DescribeStatus(status)});
        const long point = running->point;
        outcome.lastReached = std::max(outcome.lastReached, point);
        outcome.points.push_back(std::move(*running));
        // Go on after that point, in a new child.
        index = startIndex;
        while (index < plan.points.size() && plan.points[index] != point) ++index;
        if (index == plan.points.size()) index = plan.points.size() - 1;
        start = NextPoint(plan, index, point, true);
    }
    return outcome;
}

namespace {

// The points with a finding as runs of consecutive swept points: "a-b"
// covers every point swept from a to b.
std::string Ranges(const std::vector<long>& swept, const std::set<long>& with) {
    std::vector<std::string> runs;
    for (std::size_t i = 0; i < swept.size();) {
        if (with.count(swept[i]) == 0) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < swept.size() && with.count(swept[j + 1]) != 0) ++j;
        runs.push_back(std::to_string(swept[i]) + (j > i ? "-" + std::to_string(swept[j]) : ""));
        i = j + 1;
    }
    std::string text;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        if (r == 12 && runs.size() > 14) {
            text += ", ... (" + std::to_string(runs.size() - 13) + " more runs)";
            r = runs.size() - 1;
        }
        text += (text.empty() ? "" : ", ") + runs[r];
    }
    return text;
}

}  // namespace

long SweepOutcome::Reached() const {
    long count = 0;
    for (const PointOutcome& p : points) count += p.reached ? 1 : 0;
    return count;
}

void ReportFindings(const std::string& sweep, const std::string& scenario, const std::string& pointName,
                    const SweepOutcome& outcome) {
    struct Kind {
        std::set<long> points;
        std::vector<std::pair<const PointOutcome*, std::string>> details;  // each point's first
    };
    std::map<std::string, Kind> kinds;
    std::vector<std::string> order;
    std::vector<long> swept;
    for (const PointOutcome& p : outcome.points) {
        if (p.reached) swept.push_back(p.point);
        for (const Finding& f : p.found) {
            auto [it, fresh] = kinds.try_emplace(f.kind);
            if (fresh) order.push_back(f.kind);
            if (it->second.points.insert(p.point).second) it->second.details.push_back({&p, f.detail});
        }
    }
    for (const std::string& kind : order) {
        const Kind& k = kinds[kind];
        std::ostringstream message;
        message << sweep << " " << scenario << ": " << kind << "\n  at " << pointName << " = "
                << Ranges(swept, k.points) << " (" << k.points.size() << " of " << swept.size() << " swept)";
        // The first two and the last.
        for (std::size_t i = 0; i < k.details.size(); ++i) {
            if (i >= 2 && i + 1 < k.details.size()) continue;
            const auto& [point, detail] = k.details[i];
            if (detail.empty() && point->where.empty()) continue;
            message << "\n  " << pointName << " = " << point->point << ": " << detail;
            if (!point->where.empty()) message << "\n    the allocation: " << Symbolized(point->where);
        }
        ADD_FAILURE() << message.str();
    }
}

std::optional<int> RunWithTimeout(const std::function<int()>& body, int seconds, double* tookSeconds) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        int status = 99;  // the body threw
        try {
            status = body();
        } catch (...) {
        }
        _exit(status);
    }
    int status = 0;
    for (;;) {
        if (waitpid(child, &status, WNOHANG) == child) break;
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(seconds)) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            if (tookSeconds != nullptr) *tookSeconds = seconds;
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (tookSeconds != nullptr) {
        *tookSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    return status;
}
