#include "converter/AllocationWatch.h"

#include <new>

#include "converter/CallRecord.h"

namespace {

void* WatchedAllocate(std::size_t size) {
    CallRecord& call = RunningCall();
    void* block = call.previousAllocate(size);
    if (block == nullptr) call.allocationFailed = true;
    return block;
}

}  // namespace

// Watches may nest (a conversion inside an export); the outermost one
// installs the forwarding function and puts the previous one back.
CAllocationWatch::CAllocationWatch() {
    CallRecord& call = RunningCall();
    if (call.watchDepth++ > 0) return;
    call.allocationFailed = false;
    call.previousAllocate = pugi::get_memory_allocation_function();
    call.previousDeallocate = pugi::get_memory_deallocation_function();
    // Blocks are freed by the function that belongs to the one that made
    // them, so the previous deallocation function stays as it is.
    pugi::set_memory_management_functions(WatchedAllocate, call.previousDeallocate);
}

CAllocationWatch::~CAllocationWatch() {
    CallRecord& call = RunningCall();
    if (--call.watchDepth > 0) return;
    pugi::set_memory_management_functions(call.previousAllocate, call.previousDeallocate);
}

bool CAllocationWatch::Failed() { return RunningCall().allocationFailed; }

void CAllocationWatch::ThrowIfFailed() {
    if (Failed()) throw std::bad_alloc();
}
