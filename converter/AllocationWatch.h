// pugixml reports a failed allocation by what it returns, never by throwing:
// an out-of-memory parse status, an empty node from append_child. A call
// that went on regardless would save a truncated document with success.
// While a watch is alive, pugixml allocates through it: every request goes to
// the functions that were installed before, and a failure is noted in the
// running call's record, so that the conversion can stop the way it stops
// for any other failed allocation.
#pragma once

class CAllocationWatch {
public:
    CAllocationWatch();
    ~CAllocationWatch();
    CAllocationWatch(const CAllocationWatch&) = delete;
    CAllocationWatch& operator=(const CAllocationWatch&) = delete;

    // Whether an allocation of pugixml failed since the outermost watch began.
    static bool Failed();
    // Throws std::bad_alloc when one did.
    static void ThrowIfFailed();
};
