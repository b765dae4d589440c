// What a running call notes as it goes: the files it could not write in
// full, and whether an allocation of pugixml failed. The session holds the
// record of the call that runs (engine/Session.cpp); the engine hands the
// failed writes back with the call's result.
#pragma once

#include <string>
#include <vector>

#include <pugixml.hpp>

struct OutputFailure {
    std::string path;
    int error;  // errno
};

struct CallRecord {
    std::vector<OutputFailure> unwritten;
    bool allocationFailed = false;
    // pugixml's allocation functions from before the call's watch began.
    int watchDepth = 0;
    pugi::allocation_function previousAllocate = nullptr;
    pugi::deallocation_function previousDeallocate = nullptr;
};

// The record of the running call.
CallRecord& RunningCall();
