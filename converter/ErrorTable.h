// Error numbers and texts a device reported, collected during one run.
#pragma once

#include <string>

struct ErrorEntry {
    std::string errorNo;
    std::string errorText;
};

constexpr int kErrorTableSize = 32;
extern ErrorEntry g_errorTable[kErrorTableSize];
