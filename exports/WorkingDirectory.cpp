#include "exports/WorkingDirectory.h"

#include <cstring>

#include "platform/Platform.h"

char g_workingDirectory[kPathBufferSize] = "";

void SetWorkingDirectory(const char* folder) {
    std::strncpy(g_workingDirectory, folder, kPathBufferSize - 1);
    g_workingDirectory[kPathBufferSize - 1] = '\0';
}

void SetWorkingDirectoryFromHostModule() {
    char modulePath[256] = "";
    if (platform::GetHostModulePath(modulePath, sizeof modulePath) && modulePath[0] != '\0') {
        SetWorkingDirectory(platform::DriveAndDirectory(modulePath).c_str());
        return;
    }
    char current[kPathBufferSize] = "";
    platform::GetCurrentDirectoryPath(current, sizeof current);
    SetWorkingDirectory(current);
}
