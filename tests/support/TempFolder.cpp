#include "support/TempFolder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::mt19937_64 random(std::random_device{}() ^
                           static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path path = fs::temp_directory_path() / ("zk8test." + std::to_string(random() % 1000000000));
        std::error_code error;
        if (fs::create_directory(path, error)) m_path = path.string();
    }
    if (m_path.empty()) throw std::runtime_error("no temporary folder could be made");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::string();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
    std::error_code error;  // a name too long for the system is not there
    return fs::exists(path, error);
}
