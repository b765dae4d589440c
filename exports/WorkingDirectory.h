// The working directory of the conversions: the folder of the run log.
#pragma once

#include "settings/Folders.h"

extern char g_workingDirectory[kPathBufferSize];

// Copies a folder into g_workingDirectory, cut to fit its buffer.
void SetWorkingDirectory(const char* folder);
// The folder of the loaded host module, or of the executable when none is
// loaded (with its trailing separator); the current directory when neither
// path can be had.
void SetWorkingDirectoryFromHostModule();
