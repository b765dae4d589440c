#include "support/Library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>

Library::Library(bool withHostModule) {
    if (withHostModule) {
        m_host = dlopen(ZK8_HOST_MODULE_PATH, RTLD_NOW);
        if (m_host == nullptr) throw std::runtime_error(dlerror());
    }
    m_library = dlopen(ZK8_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (m_library == nullptr) throw std::runtime_error(dlerror());
    ZK8ToCust = reinterpret_cast<TwoPaths>(Symbol("ZK8ToCust"));
    ZK8ToCustExt = reinterpret_cast<ThreePaths>(Symbol("ZK8ToCustExt"));
    ZK8ToCustLibStd = reinterpret_cast<FourPaths>(Symbol("ZK8ToCustLibStd"));
    CustToZK8 = reinterpret_cast<TwoPaths>(Symbol("CustToZK8"));
    CustToZK8WithLengthAttribute =
        reinterpret_cast<TwoPaths>(Symbol("CustToZK8WithLengthAttribute"));
    CustToZK8Ext = reinterpret_cast<ThreePaths>(Symbol("CustToZK8Ext"));
    CustToZK8ExtWithLengthAttribute =
        reinterpret_cast<ThreePaths>(Symbol("CustToZK8ExtWithLengthAttribute"));
    CustToZK8LibStd = reinterpret_cast<FourPaths>(Symbol("CustToZK8LibStd"));
    CreateTagList = reinterpret_cast<OnePath>(Symbol("CreateTagList"));
}

Library::~Library() {
    // The library stays loaded: its state is process-wide by design, and
    // every test runs in a process of its own.
}

void* Library::Symbol(const char* name) {
    void* symbol = dlsym(m_library, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return symbol;
}

static std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

std::string HostModuleFolder() { return FolderOf(ZK8_HOST_MODULE_PATH); }

std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return FolderOf(std::string(buffer, static_cast<std::size_t>(n)));
}
