#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "exports/WorkingDirectory.h"

namespace fuzz {

namespace {

struct Scratch {
    Scratch() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "zk8fuzz.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) Fail("no scratch folder");
        path = pattern;
        std::filesystem::create_directories(path + "/ORVANE/Kelmora");
        setenv("ZK8_COMMON_APPDATA", path.c_str(), 1);
        SetWorkingDirectory(path.c_str());
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

}  // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = ScratchFolder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) Fail("scratch file cannot be written");
    if (size > 0 && std::fwrite(data, 1, size, file) != size) Fail("scratch file write");
    std::fclose(file);
    return path;
}

const std::string& ConversionScratchFolder() {
    static const std::string folder = [] {
        static const char kSettings[] = "[LogFiles]\nLoggingLevel=3\nRunLogSize=65536\n";
        WriteScratchFile("Interface.ini", reinterpret_cast<const std::uint8_t*>(kSettings),
                         sizeof kSettings - 1);
        return ScratchFolder();
    }();
    return folder;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

}  // namespace fuzz
