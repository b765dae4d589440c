#include "engine/WorkingDirectory.h"

#include <cstring>

#include "platform/Platform.h"

void SetWorkingDirectory(CSession& session, const char* folder) {
    std::strncpy(session.workingDirectory, folder, kPathBufferSize - 1);
    session.workingDirectory[kPathBufferSize - 1] = '\0';
}

void SetWorkingDirectoryFromHostModule(CSession& session) {
    char modulePath[256] = "";
    if (platform::GetHostModulePath(modulePath, sizeof modulePath) && modulePath[0] != '\0') {
        SetWorkingDirectory(session, platform::DriveAndDirectory(modulePath).c_str());
        return;
    }
    char current[kPathBufferSize] = "";
    platform::GetCurrentDirectoryPath(current, sizeof current);
    SetWorkingDirectory(session, current);
}
