// What the library keeps from one call to the next, in one object. The
// engine owns the process's one session and lets a call use it only while
// the call holds the call lock (engine/Engine.cpp); a call's own run state
// (the walk, the output, the input) is made for the call and gone with it.
#pragma once

#include <cstdint>

#include "output/OutputFile.h"
#include "runlog/ZkLogFile.h"
#include "settings/Folders.h"
#include "to_customer/ErrorTable.h"

struct CSession {
    // The folder of the run log, set by every conversion and kept until the
    // next one sets it.
    char workingDirectory[kPathBufferSize] = "";
    // The device namespace as default namespace of customer output roots:
    // written only where a settings-driven conversion reads an ini file,
    // read by every conversion to customer XML (and logged to device).
    bool defaultNamespace = false;
    // The class of the last operation mode met, -1 before the first: it
    // picks the device-number codes of records, also in the next call's
    // records before any mode.
    std::int32_t operationClass = -1;
    // Whether a conversion has used the dictionary: the tag list is empty before.
    bool dictionaryShown = false;
    // The status files' error numbers and texts: each run counts from the
    // first entry, and an entry keeps the text an earlier run left in it.
    CErrorTable errors;
    // The last application-data path found; a failed query keeps it.
    char appDataPath[kPathBufferSize] = "";
    // The files the running call could not write in full.
    UnwrittenFiles unwritten;

    // Where the running call's run-log entries go.
    LogTarget Log() { return LogTarget{workingDirectory, appDataPath}; }
};

// The process's session. Only the engine's calls, under the call lock, use it.
CSession& TheSession();
