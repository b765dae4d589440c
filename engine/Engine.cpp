#include "engine/Engine.h"

#include "engine/ConversionDrivers.h"
#include "engine/Session.h"
#include "engine/SettingsDriven.h"
#include "engine/WorkingDirectory.h"
#include "engine/XmlTlvConverter.h"
#include "output/StreamedOutput.h"
#include "platform/Platform.h"
#include "runlog/ZkLogFile.h"
#include "to_customer/DeviceToCustWalk.h"
#include "to_device/CustToDeviceWalk.h"

namespace engine {

namespace {

const int kMemoryErrorCode = 13017;

// Holds the call lock for one scope.
class CallLockScope {
public:
    CallLockScope() noexcept { platform::EnterCallLock(); }
    ~CallLockScope() { platform::LeaveCallLock(); }
    CallLockScope(const CallLockScope&) = delete;
    CallLockScope& operator=(const CallLockScope&) = delete;
};

// Ends a call that threw: logs, returns the code.
int FailCall(CSession& session, const char* subject) noexcept {
    try {
        GetLogger().Log(g_moduleName, 1, kMemoryErrorCode, subject, session.Log());
    } catch (...) {
        // Not even the entry fits: the result code is all the host gets.
    }
    return kOutOfMemory;
}

// Runs one call on the session; `subject` names it in a memory error.
template <typename Body>
Result Guarded(const char* subject, Body body) noexcept {
    const CallLockScope oneAtATime;
    CSession& session = TheSession();
    session.unwritten.clear();
    int code;
    try {
        // The call's run-log entries go out together at its end (before the
        // entry of a failure, which the catch below writes).
        const CLogBatch entries;
        code = body(session);
    } catch (...) {
        code = FailCall(session, subject);
    }
    return Result{code, std::move(session.unwritten)};
}

bool Given(const char* path) { return path != nullptr; }

}  // namespace

Result Convert(const Request& request) noexcept {
    const bool folderGiven = request.folder == Folder::HostModule || Given(request.workingDirectory);
    const bool iniGiven = request.folder != Folder::Settings || Given(request.ini);
    if (!Given(request.input) || !Given(request.output) || !folderGiven || !iniGiven) {
        return Result{kNullArgument, {}};
    }
    return Guarded(request.input, [&](CSession& session) {
        const bool toDevice = request.direction == Direction::ToDevice;
        switch (request.folder) {
            case Folder::HostModule: SetWorkingDirectoryFromHostModule(session); break;
            case Folder::Given: SetWorkingDirectory(session, request.workingDirectory); break;
            case Folder::Settings:
                return RunWithSettings(session, toDevice, request.input, request.output, request.workingDirectory,
                                       request.ini);
        }
        return toDevice ? RunCustToZK8(session, request.input, request.output, true)
                        : RunZK8ToCust(session, request.input, request.output, true);
    });
}

Result WriteTagList(const char* path, bool whole) noexcept {
    if (!Given(path)) return Result{kNullArgument, {}};
    return Guarded(path, [&](CSession& session) {
        CXmlTlvConverter converter(session);
        if (whole) converter.Dictionary();
        return converter.WriteTagList(path);
    });
}

void Inspect(Direction direction, const pugi::xml_document& input, ConversionObserver& observer) {
    const CDictionary& dictionary = CDictionary::Shared();
    CStreamedOutput nowhere(nullptr, nullptr);
    if (direction == Direction::ToDevice) {
        std::int32_t operationClass = -1;
        CCustToDeviceWalk(dictionary, nowhere, operationClass, nullptr, &observer).Run(input);
    } else {
        CErrorTable errors;
        CDeviceToCustWalk(dictionary, nowhere, true, false, errors, nullptr, &observer).Run(input);
    }
}

std::vector<std::string> InputNames(Direction direction) {
    const CDictionary& dictionary = CDictionary::Shared();
    std::vector<std::string> names;
    if (direction == Direction::ToDevice) {
        for (const auto& entry : dictionary.m_externToIntern) names.push_back(entry.first);
        for (const auto& entry : dictionary.m_rootExternToListName) names.push_back(entry.second);
    } else {
        for (const auto& entry : dictionary.m_internToExtern) names.push_back(entry.first);
    }
    return names;
}

}  // namespace engine
