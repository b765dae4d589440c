#include "support/CaseScript.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

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
    std::string out(2 * text.size(), '\0');
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        const int length = c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned u = length == 1 ? c : c & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) u = u << 6 | (text[i + k] & 0x3F);
        out[n++] = static_cast<char>(u & 0xFF);
        out[n++] = static_cast<char>(u >> 8);
        i += length;
    }
    out.resize(n);
    return out;
}

// UTF-16LE after the byte-order mark, as UTF-8; each unit on its own.
std::string TextOfUtf16(const std::string& bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") != 0) return "<no FF FE mark>" + bytes.substr(0, 64);
    std::string out(bytes.size() / 2 * 3, '\0');
    std::size_t n = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned u = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (u >= 0x800) out[n++] = static_cast<char>(0xE0 | u >> 12);
        if (u >= 0x80) out[n++] = static_cast<char>(u >= 0x800 ? 0x80 | (u >> 6 & 0x3F) : 0xC0 | u >> 6);
        out[n++] = static_cast<char>(u >= 0x80 ? 0x80 | (u & 0x3F) : u);
    }
    out.resize(n);
    return bytes.size() % 2 ? out + "<odd byte>" : out;
}

// What a new run log begins with, up to its first entry.
const std::string kLogHead = "Create LogFile\r\n\r\n";

std::string AfterLogHead(const std::string& log) {
    const std::size_t head = log.find(kLogHead);
    return head == std::string::npos ? log : log.substr(head + kLogHead.size());
}

std::string WorkerFolder(const std::string& caseFolder, int worker) {
    return caseFolder + "/worker" + std::to_string(worker);
}

// Worker N's share of a `threads` or `processes` step: ROUNDS times every
// call, from call N % count on, each writing its output into the folder
// $T/worker<N> (the working directory too where the call's is "."). Returns
// what differs from the lone call (result, output and status bytes).
std::string ReplayCalls(const std::string& caseFolder, int worker, int rounds,
                        const std::vector<RecordedCall>& calls, const ExportCall& call) {
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

// Where a worker process leaves what it found.
std::string FindingsFile(const std::string& caseFolder, int worker) {
    return WorkerFolder(caseFolder, worker) + "/found.txt";
}

// The calls as a file a worker process reads (ReadCalls), and back.
void WriteCalls(const std::string& path, const std::string& caseFolder, const std::vector<RecordedCall>& calls) {
    std::string text = caseFolder + "\n";
    for (const RecordedCall& c : calls) {
        text += std::to_string(c.expected) + "\t" + c.name;
        for (const std::string& arg : c.args) text += "\t" + arg;
        text += "\n";
    }
    WriteFile(path, text);
}

bool ReadCalls(const std::string& path, std::string& caseFolder, std::vector<RecordedCall>& calls) {
    std::istringstream in(ReadFile(path));
    if (!std::getline(in, caseFolder)) return false;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        for (std::size_t start = 0, tab; start <= line.size(); start = tab + 1) {
            tab = std::min(line.find('\t', start), line.size());
            fields.push_back(line.substr(start, tab - start));
        }
        if (fields.size() < 2) return false;
        calls.push_back({std::stoi(fields[0]), fields[1], {fields.begin() + 2, fields.end()}, ""});
    }
    return !calls.empty();
}

}  // namespace

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("/\\")); }

int RunReplayWorker(const std::string& callsFile, int worker, int rounds, const ExportCall& call) {
    std::string folder;
    std::vector<RecordedCall> calls;
    if (!call || !ReadCalls(callsFile, folder, calls)) return 2;
    const std::string found = ReplayCalls(folder, worker, rounds, calls, call);
    WriteFile(FindingsFile(folder, worker), found);
    return found.empty() ? 0 : 1;
}

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

std::vector<Case> ReadCases(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".cases") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<Case> cases;
    for (const fs::path& file : files) {
        for (Case& c : ReadCaseFile(file.string())) cases.push_back(std::move(c));
    }
    return cases;
}

CaseScript::CaseScript() { Define("$T", m_folder.Path()); }

void CaseScript::RunCase(const Case& c) {
    m_case = &c;
    for (const CaseStep& step : c.steps) m_recording = m_recording || step.op == "threads" || step.op == "processes";
    const fs::path cwd = fs::current_path();
    for (const CaseStep& step : c.steps) {
        m_line = step.line;
        RunStep(step.op, step.rest);
        if (m_stopped) break;
    }
    fs::current_path(cwd);
}

void CaseScript::Fail(const std::string& message, bool fatal) {
    ++m_failures;
    Report(false, m_line, message);
    m_stopped = m_stopped || fatal;
}

void CaseScript::Skip(const std::string& why) {
    Report(true, m_line, why);
    m_stopped = true;
}

std::string CaseScript::Word(std::string& rest) {
    const std::size_t start = rest.find_first_not_of(' '), end = rest.find(' ', start);
    std::string word = start == std::string::npos ? "" : rest.substr(start, end - start);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    return word;
}

std::string CaseScript::Expand(std::string text, bool escaped) const {
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

std::string CaseScript::Path(const std::string& word) const {
    if (word == "NULL") return kNullArgument;
    const std::string path = word == "-" ? "" : word == "." ? m_folder.Path() : Expand(word);
    return path.empty() || path[0] == '/' || fs::path(path).is_absolute() ? path : m_folder / path;
}

std::string CaseScript::Text(const std::string& text) const {
    return text.rfind('@', 0) == 0 ? ReadFile(Path(text.substr(1))) : Unescape(Expand(text, true));
}

// Run-log and conversion time stamps of this case's run read "<TS>".
std::string CaseScript::Masked(std::string text) const {
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

bool CaseScript::Compare(std::string actual, const std::string& how, const std::string& expected) {
    const std::string text = Masked(std::move(actual));
    const int failuresBefore = m_failures;
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
    return m_failures == failuresBefore;
}

void CaseScript::RunStep(const std::string& op, std::string rest) {
    std::error_code ignored;
    if (op == "call") {
        const std::string expected = Word(rest), name = Word(rest);
        std::vector<std::string> words, args;
        for (std::string w; !(w = Word(rest)).empty();) words.push_back(w), args.push_back(Path(w));
        const std::string log = m_folder / "Runlog.log", before = m_recording ? ReadFile(log) : "";
        const int result = Call(name, args);
        if (result != std::stoi(expected)) Fail(name + ": result " + std::to_string(result) + ", expected " + expected);
        m_lastCall = LastCall{std::stoi(expected), name, args};
        m_matched.clear();
        if (m_recording) {
            RecordedCall call{std::stoi(expected), name, args, ReadFile(log)};
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
        // The names in the folder, one per line.
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
        std::string path = m_folder.Path();
        while (length - path.size() > 202) {
            path += "/" + std::string(200, 'd');
            if (rest != "none") fs::create_directory(path, ignored);
        }
        for (path += "/"; path.size() < length;) path += name[path.size() % name.size()];
        if (rest == "folder") fs::create_directory(path, ignored);
        Define("$" + name, path);
    } else if (!RunOwn(op, rest)) {
        Skip("no step \"" + op + "\" here");
    }
}

void CaseScript::RunTogether(bool processes, int workers, int rounds) {
    if (m_calls.empty()) return Fail("no call to repeat", true);
    std::error_code ignored;
    for (int w = 0; w < workers; ++w) {
        // The logging settings of the case's folder hold in the workers' too.
        const std::string folder = WorkerFolder(m_folder.Path(), w);
        fs::create_directories(folder, ignored);
        fs::copy_file(m_folder / "Interface.ini", folder + "/Interface.ini", fs::copy_options::overwrite_existing, ignored);
    }
    std::string found;
    if (processes) {
        const std::string file = m_folder / "calls.txt";
        WriteCalls(file, m_folder.Path(), m_calls);
        found = RunWorkerProcesses(file, workers, rounds);
        for (int w = 0; w < workers; ++w) found += ReadFile(FindingsFile(m_folder.Path(), w));
    } else {
        std::vector<std::string> findings(workers);
        std::vector<std::thread> threads;
        const ExportCall call = [this](const std::string& name, const std::vector<std::string>& args) {
            return CallHere(name, args);
        };
        for (int w = 0; w < workers; ++w) {
            threads.emplace_back([&, w] { findings[w] = ReplayCalls(m_folder.Path(), w, rounds, m_calls, call); });
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
        Compare(AfterLogHead(ReadFile(WorkerFolder(m_folder.Path(), w) + "/Runlog.log")), "=", Masked(expected));
    }
    // Temp.xml holds one call's rewrite, whole.
    if (!m_tempXmls.empty() && m_tempXmls.count(ReadFile(Path("$A/Temp.xml"))) == 0) {
        Fail("Temp.xml is none of the lone calls' rewrites");
    }
}
