// Random sequences of calls, run in one process on two builds of the library
// and compared byte for byte: what one call leaves for the next must be the
// same in both.
//
//   sequence_runner --reference LIB --library LIB --host HOSTMODULE --pool DIR
//                   [--seconds N] [--seed S] [--count N]
//
// For every seed, each library runs the same sequence of 2 to 20 calls (all
// nine exports, both directions and encodings, settings files present,
// missing and saved, inputs from DIR, bad inputs) in a process and a folder
// of its own. After every call the process notes the result and every file
// of its folder (run logs and outputs with their time stamps blanked); the
// two notes must be equal. The first difference is printed with its seed and
// the runner stops with status 1.
//
//   sequence_runner --run LIB --host HOSTMODULE --pool DIR --folder F --seed S
//
// runs one sequence and prints its notes (the child's part; useful to replay
// a seed by hand, the folder is kept).
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Time stamps differ from run to run: the run log's ("2026.12.07 10.11.12")
// and a conversion time in UTF-16 ("2026-12-07T10:11:12").
void BlankPattern(std::string& text, const std::string& pattern, bool wide) {
    const std::size_t width = wide ? 2 : 1, length = pattern.size() * width;
    for (std::size_t at = 0; at + length <= text.size(); ++at) {
        bool match = true;
        for (std::size_t i = 0; match && i < pattern.size(); ++i) {
            const char c = text[at + i * width];
            match = (pattern[i] == 'D' ? c >= '0' && c <= '9' : c == pattern[i]) && (!wide || text[at + i * 2 + 1] == 0);
        }
        if (!match) continue;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == 'D') text[at + i * width] = '#';
        }
        at += length - 1;
    }
}

std::string Blanked(std::string bytes) {
    BlankPattern(bytes, "DDDD.DD.DD DD.DD.DD", false);
    BlankPattern(bytes, "DDDD-DD-DDTDD:DD:DD", true);
    return bytes;
}

// FNV-1a: a short name for a file's bytes in the notes.
std::string Digest(const std::string& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Every file of the folder but the runner's own and the inputs, with its
// blanked bytes.
std::string FolderNote(const fs::path& folder, const std::vector<std::string>& inputs) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string name = fs::relative(it->path(), folder).string();
        if (name.rfind("bin/sequence_runner", 0) == 0 || name == "host/libZKHost.so" ||
            std::binary_search(inputs.begin(), inputs.end(), name)) {
            continue;
        }
        if (it->is_directory(error)) {
            files[name + "/"] = "";
        } else {
            const std::string bytes = Blanked(ReadFile(it->path()));
            files[name] = std::to_string(bytes.size()) + " " + Digest(bytes);
        }
    }
    std::string note;
    for (const auto& [name, what] : files) note += "  " + name + " " + what + "\n";
    return note;
}

using Call1 = int (*)(const char*);
using Call2 = int (*)(const char*, const char*);
using Call3 = int (*)(const char*, const char*, const char*);
using Call4 = int (*)(const char*, const char*, const char*, const char*);

// One sequence: calls with files changed between them, all from the seed.
class Sequence {
public:
    Sequence(void* library, const fs::path& folder, std::uint64_t seed, std::vector<std::string> inputs)
        : m_library(library), m_folder(folder), m_random(seed), m_inputs(std::move(inputs)) {}

    std::string Run() {
        std::string notes;
        const int calls = Pick(2, 20);
        for (int call = 0; call < calls; ++call) {
            for (int change = Pick(0, 3); change > 0; --change) notes += ChangeFiles();
            notes += MakeCall();
            notes += FolderNote(m_folder, m_inputs);
        }
        return notes;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    template <typename T>
    const T& PickOf(const std::vector<T>& choices) {
        return choices[static_cast<std::size_t>(Pick(0, static_cast<int>(choices.size()) - 1))];
    }

    std::string IniText() {
        std::string text = PickOf<std::string>({"[Advanced]\r\n", "[advanced]\n", "; options\r\n[Advanced]\r\n"});
        const std::vector<std::string> keys{"bCreateNilAttribute", "bCreateLengthAttribute",
                                            "bEnableDefaultNamespace"};
        for (const std::string& key : keys) {
            if (Pick(0, 2) == 0) continue;
            text += key + "=" + PickOf<std::string>({"0", "1", "1", "2", "x", " 1"}) + "\r\n";
        }
        return text;
    }

    std::string ChangeFiles() {
        std::error_code error;
        switch (Pick(0, 9)) {
            case 0:
                WriteFile(m_folder / "opt.ini", IniText());
                return "write opt.ini\n";
            case 1:
                fs::remove(m_folder / "opt.ini", error);
                return "remove opt.ini\n";
            case 2: {
                const fs::path saved = m_folder / PickOf<std::string>({"SavedData", "sub/SavedData"});
                fs::create_directories(saved, error);
                WriteFile(saved / "opt_bkp.ini", IniText() + "SavedIniFile=" + PickOf<std::string>({"0", "1", "1"}) +
                                                     "\r\n");
                return "write " + fs::relative(saved, m_folder).string() + "/opt_bkp.ini\n";
            }
            case 3:
                fs::remove_all(m_folder / "SavedData", error);
                return "remove SavedData\n";
            case 4: {
                const std::string where = PickOf<std::string>({".", "sub", "host", "ORVANE/Kelmora"});
                if (!fs::exists(m_folder / where)) return "";
                WriteFile(m_folder / where / "Interface.ini",
                          "[LogFiles]\r\nLoggingLevel=" + PickOf<std::string>({"1", "2", "3", "3", "0", "x"}) +
                              "\r\n" + (Pick(0, 1) ? "RunLogSize=" + std::to_string(Pick(100, 3000)) + "\r\n" : ""));
                return "write " + where + "/Interface.ini\n";
            }
            case 5:
                fs::create_directories(m_folder / "sub", error);
                return "mkdir sub\n";
            case 6:
                fs::remove_all(m_folder / "sub", error);
                return "remove sub\n";
            case 7:
                fs::create_directories(m_folder / "ORVANE/Kelmora", error);
                return "mkdir ORVANE/Kelmora\n";
            case 8:
                fs::remove_all(m_folder / "ORVANE", error);
                return "remove ORVANE\n";
            default:
                // The application-data query fails only once a call has found
                // the folder, so that no fallback leaves the run's folder.
                if (m_calls == 0) return "";
                m_appDataFails = !m_appDataFails;
                setenv("ZK8_COMMON_APPDATA", m_appDataFails ? "" : m_folder.c_str(), 1);
                return m_appDataFails ? "application-data query fails\n" : "application-data query works\n";
        }
    }

    std::string MakeCall() {
        ++m_calls;
        const std::string input = Pick(0, 15) == 0 ? "missing.xml" : PickOf(m_inputs);
        const std::string output = PickOf<std::string>({"out1.xml", "out2.xml", "sub/out.xml"});
        // A working directory that is missing sends the settings-driven calls
        // to the application-data folder, which may be missing too while its
        // query fails: the run log would then go to the root folder.
        std::vector<std::string> folders{".", ".", "sub"};
        if (!m_appDataFails) folders.insert(folders.end(), {"nowhere", ""});
        const std::string folder = PickOf(folders);
        const std::string ini = PickOf<std::string>({"opt.ini", "opt.ini", "missing.ini", "sub/opt.ini"});
        const std::vector<std::string> names{"ZK8ToCust",      "ZK8ToCustExt",
                                             "ZK8ToCustLibStd", "CustToZK8",
                                             "CustToZK8WithLengthAttribute", "CustToZK8Ext",
                                             "CustToZK8ExtWithLengthAttribute", "CustToZK8LibStd",
                                             "CreateTagList"};
        const std::string name = PickOf(names);
        void* symbol = dlsym(m_library, name.c_str());
        if (symbol == nullptr) return "no export " + name + "\n";
        int result;
        std::string shown;
        if (name == "CreateTagList") {
            shown = "tags.txt";
            result = reinterpret_cast<Call1>(symbol)("tags.txt");
        } else if (name.find("LibStd") != std::string::npos) {
            shown = input + " " + output + " '" + folder + "' " + ini;
            result = reinterpret_cast<Call4>(symbol)(input.c_str(), output.c_str(), folder.c_str(), ini.c_str());
        } else if (name.find("Ext") != std::string::npos) {
            // An empty working directory would put the run log in the root folder.
            const std::string given = folder.empty() ? "." : folder;
            shown = input + " " + output + " '" + given + "'";
            result = reinterpret_cast<Call3>(symbol)(input.c_str(), output.c_str(), given.c_str());
        } else {
            shown = input + " " + output;
            result = reinterpret_cast<Call2>(symbol)(input.c_str(), output.c_str());
        }
        return "call " + name + " " + shown + " -> " + std::to_string(result) + "\n";
    }

    void* m_library;
    fs::path m_folder;
    std::mt19937_64 m_random;
    std::vector<std::string> m_inputs;
    int m_calls = 0;
    bool m_appDataFails = false;
};

struct Options {
    std::string reference, library, host, pool, folder, run;
    double seconds = 10;
    std::uint64_t seed = 1;
    long count = -1;
};

// The child: a fresh folder with the pool's inputs, this program's copy in
// bin/ (the executable's folder is a fallback for Temp.xml and the
// settings), the host module's copy in host/ (the plain exports' working
// directory), the application-data folder inside.
int RunOne(const Options& options) {
    const fs::path folder = fs::absolute(options.folder);
    std::vector<std::string> inputs;
    for (const auto& entry : fs::directory_iterator(options.pool)) {
        fs::copy_file(entry.path(), folder / entry.path().filename(), fs::copy_options::overwrite_existing);
        inputs.push_back(entry.path().filename().string());
    }
    std::sort(inputs.begin(), inputs.end());
    fs::create_directories(folder / "host");
    fs::copy_file(options.host, folder / "host/libZKHost.so", fs::copy_options::overwrite_existing);
    fs::create_directories(folder / "ORVANE/Kelmora");
    setenv("ZK8_COMMON_APPDATA", folder.c_str(), 1);
    if (chdir(folder.c_str()) != 0) return 2;
    if (dlopen((folder / "host/libZKHost.so").c_str(), RTLD_NOW) == nullptr) return 2;
    void* library = dlopen(options.run.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", options.run.c_str(), dlerror());
        return 2;
    }
    const std::string notes = Sequence(library, folder, options.seed, inputs).Run();
    std::fwrite(notes.data(), 1, notes.size(), stdout);
    return 0;
}

// Runs this program as the child of one library in `folder`, from its copy
// in the folder's bin/; the notes it printed, or "" when it failed.
std::string RunChild(const Options& options, const std::string& library, const fs::path& folder) {
    fs::create_directories(folder / "bin");
    const fs::path self = fs::read_symlink("/proc/self/exe"), copy = folder / "bin/sequence_runner";
    if (link(self.c_str(), copy.c_str()) != 0) fs::copy_file(self, copy);
    const std::string command = "'" + copy.string() + "' --run '" + library + "' --host '" + options.host +
                                "' --pool '" + options.pool + "' --folder '" + folder.string() + "' --seed " +
                                std::to_string(options.seed);
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    std::string notes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) notes.append(buffer, n);
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) notes += "(the process ended with status " +
                                                                  std::to_string(status) + ")\n";
    return notes;
}

// Where two notes part: the lines around the first difference.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::istringstream left(a), right(b);
    std::string l, r, context;
    for (int line = 1;; ++line) {
        const bool moreLeft = static_cast<bool>(std::getline(left, l));
        const bool moreRight = static_cast<bool>(std::getline(right, r));
        if (!moreLeft && !moreRight) return "";
        if (l != r || moreLeft != moreRight) {
            return context + "  reference: " + (moreLeft ? l : "(end)") + "\n  library:   " + (moreRight ? r : "(end)") +
                   "\n";
        }
        if (l.rfind("call ", 0) == 0) context = "after " + l + "\n";
    }
}

int Compare(const Options& options) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    const fs::path scratch = fs::temp_directory_path() / ("zk8-sequences-" + std::to_string(getpid()));
    long sequences = 0, calls = 0;
    Options run = options;
    for (; options.count >= 0 ? sequences < options.count : std::chrono::steady_clock::now() < deadline;
         ++sequences, ++run.seed) {
        fs::remove_all(scratch);
        const std::string expected = RunChild(run, options.reference, scratch / "reference");
        const std::string actual = RunChild(run, options.library, scratch / "library");
        std::istringstream lines(actual);
        for (std::string line; std::getline(lines, line);) calls += line.rfind("call ", 0) == 0 ? 1 : 0;
        const std::string difference = FirstDifference(expected, actual);
        if (!difference.empty() || expected.empty()) {
            std::printf("seed %llu differs (folders kept in %s):\n%s", static_cast<unsigned long long>(run.seed),
                        scratch.c_str(), expected.empty() ? "  the reference ran no call\n" : difference.c_str());
            std::printf("1 passed, 1 failed\n");
            return 1;
        }
    }
    fs::remove_all(scratch);
    std::printf("%ld sequences (seeds %llu to %llu), %ld calls: no difference\n", sequences,
                static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(options.seed + sequences - 1), calls);
    std::printf("%ld passed, 0 failed\n", sequences);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--reference") options.reference = value;
        else if (flag == "--library") options.library = value;
        else if (flag == "--host") options.host = value;
        else if (flag == "--pool") options.pool = value;
        else if (flag == "--folder") options.folder = value;
        else if (flag == "--run") options.run = value;
        else if (flag == "--seconds") options.seconds = std::stod(value);
        else if (flag == "--seed") options.seed = std::stoull(value);
        else if (flag == "--count") options.count = std::stol(value);
        else return std::fprintf(stderr, "unknown option %s\n", flag.c_str()), 2;
    }
    if (!options.run.empty()) return RunOne(options);
    if (options.reference.empty() || options.library.empty() || options.host.empty() || options.pool.empty()) {
        std::fprintf(stderr, "usage: sequence_runner --reference LIB --library LIB --host HOST --pool DIR "
                             "[--seconds N] [--seed S] [--count N]\n");
        return 2;
    }
    return Compare(options);
}
