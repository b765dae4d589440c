// The drivers of the two directions: input check, normalisation to UTF-16,
// run-log entries, then the conversion engine.
#pragma once

#include <cstdint>

#include "engine/Session.h"

int RunZK8ToCust(CSession& session, const char* inputPath, const char* outputPath, std::uint8_t option);
int RunCustToZK8(CSession& session, const char* inputPath, const char* outputPath, std::uint8_t option);
