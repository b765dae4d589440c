// The conversions that take their options from an ini file, or from the
// host's saved copy of it when the copy is marked as the one to use.
#pragma once

#include "engine/Session.h"

int RunWithSettings(CSession& session, bool toDevice, const char* inputPath, const char* outputPath,
                    const char* workingDirectory, const char* iniPath);
