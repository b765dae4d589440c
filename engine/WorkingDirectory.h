// The working directory of the conversions: the folder of the run log.
#pragma once

#include "engine/Session.h"

// Copies a folder into the session's working directory, cut to fit its buffer.
void SetWorkingDirectory(CSession& session, const char* folder);
// The folder of the loaded host module, or of the executable when none is
// loaded (with its trailing separator); the current directory when neither
// path can be had.
void SetWorkingDirectoryFromHostModule(CSession& session);
