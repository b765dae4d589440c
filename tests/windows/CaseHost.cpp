// A Windows host program for the tests: it runs the case files of
// tests/cases against ZK8_XML_Conv.dll, loaded as the product's host loads
// it, freshly for every case. Steps with no Windows form (the tool, the
// environment, users, pugixml's allocations, "posix") skip the rest of their
// case. It also shows the DLL's version resource as Windows reads it.
//
//   zk8_case_host DLL HOST_MODULE EXAMPLES CASE_FILE...   last line "N passed, N failed, N skipped"
//   zk8_case_host version DLL
//   zk8_case_host replay DLL CALLS WORKER ROUNDS           a worker process of the step "processes"
#include <windows.h>

#include <shlobj.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/CaseScript.h"
#include "zk8_xml_conv.h"

namespace fs = std::filesystem;

namespace {

std::string ModuleFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return FolderOf(path);
}

// The machine's application-data folder of the product, emptied.
std::string FreshAppDataFolder() {
    char common[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
    const std::string folder = std::string(common) + "\\ORVANE\\Kelmora";
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder, ignored);
    return folder;
}

// Calls an export of the loaded DLL on this thread.
int CallExport(HMODULE library, const std::string& name, const std::vector<std::string>& args) {
    const FARPROC symbol = library != nullptr ? GetProcAddress(library, name.c_str()) : nullptr;
    if (symbol == nullptr) return INT_MIN;
    using C = const char*;
    const auto at = [&](std::size_t i) { return ArgumentPointer(args[i]); };
    const auto f = reinterpret_cast<void*>(symbol);
    switch (args.size()) {
        case 1: return reinterpret_cast<int(ZK8_API*)(C)>(f)(at(0));
        case 2: return reinterpret_cast<int(ZK8_API*)(C, C)>(f)(at(0), at(1));
        case 3: return reinterpret_cast<int(ZK8_API*)(C, C, C)>(f)(at(0), at(1), at(2));
        default: return reinterpret_cast<int(ZK8_API*)(C, C, C, C)>(f)(at(0), at(1), at(2), at(3));
    }
}

struct CallJob {
    HMODULE library;
    const std::string& name;
    const std::vector<std::string>& args;
    int result;
};

DWORD WINAPI RunCall(void* data) {
    auto& job = *static_cast<CallJob*>(data);
    job.result = CallExport(job.library, job.name, job.args);
    return 0;
}

// A worker process of the step "processes", with the DLL loaded afresh.
int ReplayMain(const std::string& dll, const std::string& callsFile, int worker, int rounds) {
    const HMODULE library = LoadLibraryA(dll.c_str());
    ExportCall call;
    if (library != nullptr) {
        call = [library](const std::string& name, const std::vector<std::string>& args) {
            return CallExport(library, name, args);
        };
    }
    return RunReplayWorker(callsFile, worker, rounds, call);
}

class WindowsCase : public CaseScript {
public:
    WindowsCase(const std::string& dll, const std::string& hostModule, const std::string& examples)
        : m_dll(dll), m_hostModule(hostModule) {
        Define("$A", FreshAppDataFolder());
        Define("$EXE", ModuleFolder());
        Define("$HOST", m_folder / "host");
        Define("$X", examples);
    }
    ~WindowsCase() override {
        if (m_library != nullptr) FreeLibrary(m_library);
        if (m_host != nullptr) FreeLibrary(m_host);
    }
    // What the steps reported: failures, and why the case was skipped.
    std::string m_failures, m_skipped;

private:
    void Report(bool skipped, int line, const std::string& message) override {
        (skipped ? m_skipped : m_failures) += "  line " + std::to_string(line) + ": " + message + "\n";
    }

    int Call(const std::string& name, const std::vector<std::string>& args) override {
        if (m_library == nullptr) m_library = LoadLibraryA(m_dll.c_str());
        if (m_library == nullptr || GetProcAddress(m_library, name.c_str()) == nullptr) {
            return Fail("no export " + name, true), INT_MIN;
        }
        CallJob job{m_library, name, args, INT_MIN};
        // On a stack of 1 MB, as a host's threads have by default.
        const HANDLE thread = CreateThread(nullptr, 1 << 20, RunCall, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        return job.result;
    }

    int CallHere(const std::string& name, const std::vector<std::string>& args) override {
        return CallExport(m_library, name, args);
    }

    // Worker processes: this program again, with "replay".
    std::string RunWorkerProcesses(const std::string& callsFile, int workers, int rounds) override {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::vector<HANDLE> children;
        for (int w = 0; w < workers; ++w) {
            std::string command = "\"" + std::string(self) + "\" replay \"" + m_dll + "\" \"" + callsFile + "\" " +
                                  std::to_string(w) + " " + std::to_string(rounds);
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process{};
            if (CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
                CloseHandle(process.hThread);
                children.push_back(process.hProcess);
            }
        }
        std::string found = children.size() == static_cast<std::size_t>(workers) ? "" : "a worker did not start\n";
        for (HANDLE child : children) {
            DWORD status = 0;
            WaitForSingleObject(child, INFINITE);
            GetExitCodeProcess(child, &status);
            CloseHandle(child);
            if (status > 1) found += "a worker ended with status " + std::to_string(status) + "\n";
        }
        return found;
    }

    bool RunOwn(const std::string& op, std::string) override {
        if (op != "host") return false;
        // A copy of its own in $HOST, so that the run log a case makes there
        // is no other case's.
        const std::string copy = m_folder / "host/ZKHost.dll";
        std::error_code error;
        fs::create_directories(FolderOf(copy), error);
        fs::copy_file(m_hostModule, copy, error);
        m_host = LoadLibraryA(copy.c_str());
        if (m_host == nullptr) Fail("cannot load " + copy, true);
        return true;
    }

    std::string m_dll, m_hostModule;
    HMODULE m_library = nullptr, m_host = nullptr;
};

// The fixed and the string version information of the DLL.
int ShowVersion(const std::string& dll) {
    DWORD handle = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(dll.c_str(), &handle));
    if (data.empty() || !GetFileVersionInfoA(dll.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
        std::printf("no version resource in %s\n", dll.c_str());
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size) && fixed != nullptr) {
        std::printf("file %lu.%lu.%lu.%lu product %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
                    fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
                    fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
                    fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
    }
    for (const char* key : {"FileDescription", "FileVersion", "ProductVersion", "OriginalFilename"}) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)) value = nullptr;
        std::printf("%s: %s\n", key, value != nullptr ? value : "(none)");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 2 && arguments[0] == "version") return ShowVersion(arguments[1]);
    if (arguments.size() == 5 && arguments[0] == "replay") {
        return ReplayMain(arguments[1], arguments[2], std::stoi(arguments[3]), std::stoi(arguments[4]));
    }
    if (arguments.size() < 4) {
        std::printf("usage: zk8_case_host DLL HOST_MODULE EXAMPLES CASE_FILE... | version DLL\n");
        return 2;
    }
    int passed = 0, failed = 0, skipped = 0;
    for (std::size_t i = 3; i < arguments.size(); ++i) {
        for (const Case& c : ReadCaseFile(arguments[i])) {
            WindowsCase script(arguments[0], arguments[1], arguments[2]);
            script.RunCase(c);
            const std::string name = c.suite + "." + c.name;
            if (!script.m_failures.empty()) {
                ++failed;
                std::printf("FAILED %s (%s)\n%s", name.c_str(), c.file.c_str(), script.m_failures.c_str());
            } else if (!script.m_skipped.empty()) {
                ++skipped;
                std::printf("skipped %s:%s", name.c_str(), script.m_skipped.c_str());
            } else {
                ++passed;
            }
        }
    }
    std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    // A file whose cases were all skipped has tested nothing.
    return failed == 0 && passed > 0 ? 0 : 1;
}
