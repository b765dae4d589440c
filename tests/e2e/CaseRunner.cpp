// Runs the cases of tests/cases/*.cases (format in TESTING.md) as a host
// program would: the built library is loaded with dlopen and its exports are
// called; the tool runs as a command. Each case is a test of its own (suite:
// the file's name), so ctest runs it in a fresh process.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include <pugixml.hpp>

#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

struct Step {
    int line;
    std::string op, rest;
};
struct Case {
    std::string file;
    std::vector<Step> steps;
};

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/')); }

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

class CaseTest : public testing::Test {
public:
    explicit CaseTest(Case c) : m_case(std::move(c)) {}

    void TestBody() override {
        m_vars = {{"$TOOL", ZK8_TOOL_PATH}, {"$LIB", ZK8_LIBRARY_PATH},  {"$HOST", Folder(ZK8_HOST_MODULE_PATH)},
                  {"$EXE", Folder(fs::read_symlink("/proc/self/exe"))}, {"$X", ZK8_EXAMPLES_DIR},
                  {"$A", UseAppDataFolderIn(m_folder)},                  {"$T", m_folder.Path()}};
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        const fs::path cwd = fs::current_path();
        for (const Step& step : m_case.steps) {
            SCOPED_TRACE(m_case.file + ":" + std::to_string(step.line));
            Run(step.op, step.rest);
            if (HasFatalFailure() || IsSkipped()) break;
        }
        setrlimit(RLIMIT_AS, &limit);
        fs::current_path(cwd);
    }

private:
    static std::string Word(std::string& rest) {
        const std::size_t start = rest.find_first_not_of(' '), end = rest.find(' ', start);
        std::string word = start == std::string::npos ? "" : rest.substr(start, end - start);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
        return word;
    }
    std::string Expand(std::string text) const {
        for (const auto& [name, value] : m_vars) {
            for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += value.size()) {
                text.replace(at, name.size(), value);
            }
        }
        return text;
    }
    // "-" is the empty string, "." the case's folder; a relative path lies in it.
    std::string Path(const std::string& word) const {
        const std::string path = word == "-" ? "" : word == "." ? m_folder.Path() : Expand(word);
        return path.empty() || path[0] == '/' ? path : m_folder / path;
    }
    // "@PATH": the file's bytes.
    std::string Text(const std::string& text) const {
        return text.rfind('@', 0) == 0 ? ReadFile(Path(text.substr(1))) : Unescape(Expand(text));
    }
    static bool PathExists(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0;
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
    void Compare(std::string actual, const std::string& how, const std::string& expected) {
        const std::string text = Masked(std::move(actual));
        if (how == "~") {
            EXPECT_NE(text.find(expected), std::string::npos) << "missing: " << expected << "\nin: " << text;
        } else if (how == "!~") {
            EXPECT_EQ(text.find(expected), std::string::npos) << "present: " << expected << "\nin: " << text;
        } else if (how == "lines") {
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::stol(expected));
        } else if (text != expected) {
            std::size_t at = 0;
            while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
            const std::size_t from = at < 40 ? 0 : at - 40;
            ADD_FAILURE() << "differs at byte " << at << " of " << text.size() << " (expected " << expected.size()
                          << ")\n  actual:   " << text.substr(from, 160) << "\n  expected: " << expected.substr(from, 160);
        }
    }

    int Call(std::vector<std::string> words) {
        if (m_library == nullptr) m_library = dlopen(ZK8_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        void* symbol = dlsym(m_library, words[0].c_str());
        if (symbol == nullptr) return ADD_FAILURE() << "no export " << words[0], INT_MIN;
        std::vector<std::string> args;
        for (std::size_t i = 1; i < words.size(); ++i) args.push_back(Path(words[i]));
        using C = const char*;
        const auto call = [&]() -> int {
            switch (args.size()) {
                case 1: return reinterpret_cast<int (*)(C)>(symbol)(args[0].c_str());
                case 2: return reinterpret_cast<int (*)(C, C)>(symbol)(args[0].c_str(), args[1].c_str());
                case 3: return reinterpret_cast<int (*)(C, C, C)>(symbol)(args[0].c_str(), args[1].c_str(), args[2].c_str());
                default: return reinterpret_cast<int (*)(C, C, C, C)>(symbol)(args[0].c_str(), args[1].c_str(),
                                                                              args[2].c_str(), args[3].c_str());
            }
        };
        g_allocations = 0;
        const int result = m_asNobody ? AsNobody(m_folder.Path(), call) : OnSmallStack(call);
        m_lastAllocations = g_allocations;
        g_failFrom = SIZE_MAX;
        m_asNobody = false;
        return result;
    }

    void Run(const std::string& op, std::string rest) {
        if (op == "call") {
            std::vector<std::string> words;
            const int expected = std::stoi(Word(rest));
            for (std::string w; !(w = Word(rest)).empty();) words.push_back(w);
            EXPECT_EQ(Call(words), expected) << words[0];
        } else if (op == "todevice" || op == "tocustomer" || op == "tocustomer16") {
            // The input as in.xml (in UTF-16 for tocustomer16), converted into out.xml.
            Run(op == "tocustomer16" ? "write16" : "write", "in.xml " + rest);
            Run("call", op == "todevice" ? "0 CustToZK8Ext in.xml out.xml ." : "0 ZK8ToCustExt in.xml out.xml .");
        } else if (op == "write" || op == "write16") {
            const std::string path = Path(Word(rest)), text = Text(rest);
            std::error_code ignored;
            fs::create_directories(Folder(path), ignored);
            WriteFile(path, op == "write" ? text : "\xFF\xFE" + Utf16Of(text));
        } else if (op == "file" || op == "text") {
            const std::string path = Path(Word(rest)), how = Word(rest), bytes = ReadFile(path);
            ASSERT_TRUE(PathExists(path)) << path;
            Compare(op == "file" ? bytes : TextOfUtf16(bytes), how, Text(rest));
        } else if (op == "absent" || op == "exists") {
            const std::string path = Path(Word(rest));
            EXPECT_EQ(PathExists(path), op == "exists") << path;
        } else if (op == "run") {
            const int expected = std::stoi(Word(rest));
            std::FILE* pipe = popen(("cd " + m_folder.Path() + " && (" + Expand(rest) + ") 2>&1").c_str(), "r");
            char buffer[4096];
            m_output.clear();
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) m_output.append(buffer, n);
            const int status = pclose(pipe);
            EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, expected) << m_output;
        } else if (op == "out") {
            const std::string how = Word(rest);
            Compare(m_output, how, Text(rest));
        } else if (op == "env") {
            const std::string name = Word(rest);
            setenv(name.c_str(), Path(rest).c_str(), 1);
        } else if (op == "unset") {
            unsetenv(rest.c_str());
        } else if (op == "mkdir") {
            fs::create_directories(Path(rest));
        } else if (op == "chmod") {
            const int mode = std::stoi(Word(rest), nullptr, 8);
            chmod(Path(rest).c_str(), mode);
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
                if (rest != "none") mkdir(path.c_str(), 0755);
            }
            for (path += "/"; path.size() < length;) path += name[path.size() % name.size()];
            if (rest == "folder") mkdir(path.c_str(), 0755);
            m_vars.insert(m_vars.begin(), {"$" + name, path});
        } else if (op == "host") {
            ASSERT_NE(dlopen(ZK8_HOST_MODULE_PATH, RTLD_NOW), nullptr);
        } else if (op == "nobody") {
            if (geteuid() != 0) GTEST_SKIP() << "only root can run a call as another user";
            m_asNobody = true;
        } else if (op == "alloc") {
            pugi::set_memory_management_functions(Allocate, Deallocate);
        } else if (op == "alloc-fail") {
            g_failFrom = rest == "first" ? 1 : m_lastAllocations;
        } else if (op == "held") {
            EXPECT_EQ(g_held, std::stol(rest));
        } else if (op == "limit-as") {
#if defined(__SANITIZE_ADDRESS__)
            GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space limit";
#endif
            // The address space in use now and `rest` MB more.
            std::ifstream status("/proc/self/status");
            std::string line;
            while (std::getline(status, line) && line.rfind("VmSize:", 0) != 0) {}
            rlimit cap{};
            getrlimit(RLIMIT_AS, &cap);
            cap.rlim_cur = (std::stoul(line.substr(7)) << 10) + (std::stoul(rest) << 20);
            setrlimit(RLIMIT_AS, &cap);
        } else {
            FAIL() << "unknown step " << op;
        }
    }

    Case m_case;
    TempFolder m_folder;
    std::vector<std::pair<std::string, std::string>> m_vars;
    const std::time_t m_started = std::time(nullptr);
    void* m_library = nullptr;
    bool m_asNobody = false;
    std::size_t m_lastAllocations = 0;
    std::string m_output;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(ZK8_CASES_DIR)) {
        if (entry.path().extension() == ".cases") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        std::ifstream in(path);
        const std::string suite = path.stem().string(), file = path.filename().string();
        std::vector<std::pair<std::string, Case>> cases;
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            const std::size_t start = line.find_first_not_of(' ');
            if (start == std::string::npos || line[start] == '#') continue;
            if (line.rfind("== ", 0) == 0) {
                cases.push_back({line.substr(3), Case{file, {}}});
            } else {
                const std::size_t space = line.find(' ', start);
                cases.back().second.steps.push_back(
                    {number, line.substr(start, space - start), space == std::string::npos ? "" : line.substr(space + 1)});
            }
        }
        for (auto& [name, c] : cases) {
            testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, file.c_str(), 1,
                                  [c = c]() -> testing::Test* { return new CaseTest(c); });
        }
    }
    return RUN_ALL_TESTS();
}
