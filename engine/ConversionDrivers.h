// The drivers of the two directions: input check, normalisation to UTF-16,
// run-log entries, then the conversion engine.
#pragma once

#include "engine/Session.h"

// Device XML to customer XML; `createNil` marks empty fields nil.
int RunZK8ToCust(CSession& session, const char* inputPath, const char* outputPath, bool createNil);
// Customer XML to device XML; `attributesOn` says which of the option
// entries the run log gets after the conversion (the length and nil
// attributes switched on or off).
int RunCustToZK8(CSession& session, const char* inputPath, const char* outputPath, bool attributesOn);
