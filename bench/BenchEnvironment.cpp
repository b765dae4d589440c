#include "bench/BenchEnvironment.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "zk8_xml_conv.h"

namespace bench {

namespace {

std::string g_root;

constexpr unsigned kParseOptions = pugi::parse_ws_pcdata_single;
constexpr unsigned kFormatOptions = pugi::format_write_bom | pugi::format_raw | pugi::format_no_escapes;

long StatusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length + 1);
    }
    return -1;
}

}  // namespace

const char* DirectionName(Direction direction) {
    return direction == Direction::ToDevice ? "to_device" : "to_customer";
}

Dialect InputDialect(Direction direction) {
    return direction == Direction::ToDevice ? Dialect::Customer : Dialect::Device;
}

void Scratch::Init(const std::string& root) {
    g_root = root;
    namespace fs = std::filesystem;
    fs::create_directories(root + "/inputs");
    fs::create_directories(root + "/outputs");
    fs::create_directories(root + "/work");
    // Temp.xml goes to the application-data folder when it exists.
    fs::create_directories(root + "/appdata/ORVANE/Kelmora");
    setenv("ZK8_COMMON_APPDATA", (root + "/appdata").c_str(), 1);
}

const std::string& Scratch::Root() { return g_root; }

std::string Scratch::WorkDir() { return g_root + "/work"; }

std::string Scratch::InputPath(const std::string& name) { return g_root + "/inputs/" + name; }

std::string Scratch::OutputPath(const std::string& name) { return g_root + "/outputs/" + name; }

std::string Scratch::Input(const std::string& name, const InputRecipe& recipe) {
    const std::string path = InputPath(name);
    if (!std::filesystem::exists(path) && !WriteInputFile(recipe, path)) {
        std::fprintf(stderr, "zk8bench: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

void Scratch::SetLoggingLevel(int level) {
    std::ofstream ini(WorkDir() + "/Interface.ini", std::ios::binary | std::ios::trunc);
    ini << "[LogFiles]\r\nLoggingLevel=" << level << "\r\nRunLogSize=81920\r\n";
}

void Scratch::RemoveAll() {
    // Only what this program made: the folder itself goes only when empty.
    std::error_code ignored;
    for (const char* folder : {"/inputs", "/outputs", "/work", "/appdata"}) {
        std::filesystem::remove_all(g_root + folder, ignored);
    }
    std::filesystem::remove(g_root, ignored);
}

int Convert(Direction direction, const std::string& input, const std::string& output) {
    const std::string work = Scratch::WorkDir();
    if (direction == Direction::ToDevice) return CustToZK8Ext(input.c_str(), output.c_str(), work.c_str());
    return ZK8ToCustExt(input.c_str(), output.c_str(), work.c_str());
}

void FloorLoad(const std::string& input) {
    pugi::xml_document document;
    document.load_file(input.c_str(), kParseOptions, pugi::encoding_auto);
}

void FloorSave(const pugi::xml_document& document, const std::string& output) {
    document.save_file(output.c_str(), PUGIXML_TEXT(""), kFormatOptions, pugi::encoding_utf16_le);
}

void LoadOutput(pugi::xml_document& document, const std::string& output) {
    document.load_file(output.c_str(), kParseOptions, pugi::encoding_auto);
}

std::size_t FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

long CurrentRssKilobytes() { return StatusField("VmRSS:"); }

long PeakRssKilobytes() { return StatusField("VmHWM:"); }

ChildResult RunChild(const std::string& self, const std::vector<std::string>& arguments) {
    ChildResult result;
    int channel[2];
    if (pipe(channel) != 0) return result;

    std::vector<std::string> args = {self, "--child"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        close(channel[0]);
        dup2(channel[1], STDOUT_FILENO);
        close(channel[1]);
        execv(self.c_str(), argv.data());
        _exit(127);
    }
    close(channel[1]);
    std::string text;
    char buffer[256];
    ssize_t count;
    while ((count = read(channel[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(count));
    close(channel[0]);

    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return result;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::istringstream values(text);
    double value;
    while (values >> value) result.values.push_back(value);
    return result;
}

int ChildMain(int argc, char** argv) {
    // argv: program --child ROOT MODE ...
    if (argc < 4) return 2;
    Scratch::Init(argv[2]);
    const std::string mode = argv[3];
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };

    // The processor time of this process (user and system), which other
    // programs on a shared machine disturb less than the clock on the wall.
    auto cpu = [] {
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };

    // Every mode prints its time in seconds, then the peak resident memory
    // of this process in kilobytes (VmHWM: counted from the exec on, unlike
    // the rusage of a forked child, which includes the parent's pages); the
    // modes of one large file then the processor time of the part timed.
    if (mode == "idle") {
        std::printf("0 %ld\n", PeakRssKilobytes());
        return 0;
    }
    if (mode == "convert" && argc == 7) {
        const Direction direction = std::strcmp(argv[4], "to_device") == 0 ? Direction::ToDevice
                                                                           : Direction::ToCustomer;
        const double cpuStart = cpu();
        const auto start = Clock::now();
        const int code = Convert(direction, argv[5], argv[6]);
        const auto end = Clock::now();
        std::printf("%.6f %ld %.6f\n", seconds(start, end), PeakRssKilobytes(), cpu() - cpuStart);
        return code == 0 ? 0 : 1;
    }
    if (mode == "floor" && argc == 7) {
        // input, a conversion output (the document to save), where to save it.
        // Both documents are held at once, as in a conversion.
        pugi::xml_document input;
        pugi::xml_document output;
        const double cpuStart = cpu();
        const auto start = Clock::now();
        input.load_file(argv[4], kParseOptions, pugi::encoding_auto);
        const auto loaded = Clock::now();
        const double cpuLoaded = cpu();
        LoadOutput(output, argv[5]);
        const double cpuBuilt = cpu();
        const auto built = Clock::now();
        FloorSave(output, argv[6]);
        const auto end = Clock::now();
        std::printf("%.6f %ld %.6f\n", seconds(start, loaded) + seconds(built, end), PeakRssKilobytes(),
                    cpuLoaded - cpuStart + cpu() - cpuBuilt);
        return 0;
    }
    if (mode == "strict" && argc == 6) {
        // The strict floor: the input loaded with the conversion's parse
        // options and that same document saved as UTF-16, nothing more.
        const double cpuStart = cpu();
        const auto start = Clock::now();
        pugi::xml_document document;
        document.load_file(argv[4], kParseOptions, pugi::encoding_auto);
        FloorSave(document, argv[5]);
        const auto end = Clock::now();
        std::printf("%.6f %ld %.6f\n", seconds(start, end), PeakRssKilobytes(), cpu() - cpuStart);
        return 0;
    }
    if (mode == "strict-repeat" && argc == 7) {
        // The strict floor COUNT times in one process.
        const long count = std::atol(argv[6]);
        const auto start = Clock::now();
        for (long i = 0; i < count; ++i) {
            pugi::xml_document document;
            document.load_file(argv[4], kParseOptions, pugi::encoding_auto);
            FloorSave(document, argv[5]);
        }
        std::printf("%.6f %ld\n", seconds(start, Clock::now()), PeakRssKilobytes());
        return 0;
    }
    if (mode == "fair-repeat" && argc == 10) {
        // The fair floor COUNT times in one process: what every call must do.
        // The strict floor's load and save, one look at Interface.ini (a
        // change made between calls must be seen), LOGBYTES appended to a
        // log that each call opens and closes (when it has entries to write),
        // and the files every such call must write besides: STATUSBYTES into
        // the status file of a conversion to customer XML, TEMPBYTES into
        // Temp.xml for a UTF-8 input (none where they are 0).
        const long count = std::atol(argv[6]);
        const std::string line(static_cast<std::size_t>(std::atol(argv[7])), 'x');
        const std::string status(static_cast<std::size_t>(std::atol(argv[8])), 's');
        const std::string temp(static_cast<std::size_t>(std::atol(argv[9])), 't');
        const std::string statusPath = std::string(argv[5]) + "_Status.xml";
        const std::string tempPath = Scratch::WorkDir() + "/fair-temp.xml";
        // Nothing where there are no bytes: no file is opened.
        const auto writeFile = [](const std::string& path, const std::string& bytes, const char* mode) {
            if (bytes.empty()) return;
            if (std::FILE* file = std::fopen(path.c_str(), mode)) {
                std::fwrite(bytes.data(), 1, bytes.size(), file);
                std::fclose(file);
            }
        };
        const std::string settings = Scratch::WorkDir() + "/Interface.ini";
        const std::string log = Scratch::WorkDir() + "/fair.log";
        std::remove(log.c_str());
        const auto start = Clock::now();
        for (long i = 0; i < count; ++i) {
            pugi::xml_document document;
            writeFile(tempPath, temp, "wb");
            document.load_file(argv[4], kParseOptions, pugi::encoding_auto);
            FloorSave(document, argv[5]);
            writeFile(statusPath, status, "wb");
            struct stat st;
            stat(settings.c_str(), &st);
            // A call whose entries are all below the logging level writes none.
            writeFile(log, line, "ab");
        }
        std::printf("%.6f %ld\n", seconds(start, Clock::now()), PeakRssKilobytes());
        std::remove(log.c_str());
        return 0;
    }
    if (mode == "repeat" && argc == 8) {
        // Converts the same input COUNT times in one process and reports the
        // resident memory after the first and after the last conversion.
        const Direction direction = std::strcmp(argv[4], "to_device") == 0 ? Direction::ToDevice
                                                                           : Direction::ToCustomer;
        const long count = std::atol(argv[7]);
        const auto start = Clock::now();
        Convert(direction, argv[5], argv[6]);
        const long rssFirst = CurrentRssKilobytes();
        const long peakFirst = PeakRssKilobytes();
        for (long i = 1; i < count; ++i) Convert(direction, argv[5], argv[6]);
        std::printf("%.6f %ld %ld %ld %ld\n", seconds(start, Clock::now()), rssFirst, peakFirst,
                    CurrentRssKilobytes(), PeakRssKilobytes());
        return 0;
    }
    return 2;
}

}  // namespace bench
