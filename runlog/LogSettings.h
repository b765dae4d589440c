// The logging settings: level and rotation size from Interface.ini, looked at
// before every call's entries, so that a change takes effect with the next.
#pragma once

#include <string>

#include "platform/Platform.h"

struct LogSettings {
    int level;    // entries of a higher level are not written
    int maxSize;  // the rotation size of the run log
};

// Interface.ini as last read: its path, its stamp taken before the read, its
// bytes (as far as they can matter) and the settings they gave. A look whose
// stamp is settled and unchanged reads nothing; one that reads the same
// bytes again skips the parse.
struct LogSettingsCache {
    bool valid = false;
    std::string path;
    platform::FileStamp stamp;
    std::string bytes;
    LogSettings settings{1, 0};
};

// The settings of the Interface.ini that serves `folder`: the one in the
// folder, else in the application-data folder (asked for anew and kept in
// `appDataPath` where given), else in the executable's.
LogSettings ReadLogSettings(const std::string& folder, char* appDataPath, LogSettingsCache& cache);
