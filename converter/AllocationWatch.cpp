#include "converter/AllocationWatch.h"

#include <new>

#include <pugixml.hpp>

bool g_allocationFailed = false;

namespace {

// Watches may nest (a conversion inside an export); the outermost one
// installs the forwarding function and puts the previous one back.
int g_watchDepth = 0;
pugi::allocation_function g_previousAllocate = nullptr;
pugi::deallocation_function g_previousDeallocate = nullptr;

void* WatchedAllocate(std::size_t size) {
    void* block = g_previousAllocate(size);
    if (block == nullptr) g_allocationFailed = true;
    return block;
}

}  // namespace

CAllocationWatch::CAllocationWatch() {
    if (g_watchDepth++ > 0) return;
    g_allocationFailed = false;
    g_previousAllocate = pugi::get_memory_allocation_function();
    g_previousDeallocate = pugi::get_memory_deallocation_function();
    // Blocks are freed by the function that belongs to the one that made
    // them, so the previous deallocation function stays as it is.
    pugi::set_memory_management_functions(WatchedAllocate, g_previousDeallocate);
}

CAllocationWatch::~CAllocationWatch() {
    if (--g_watchDepth > 0) return;
    pugi::set_memory_management_functions(g_previousAllocate, g_previousDeallocate);
}

void CAllocationWatch::ThrowIfFailed() {
    if (g_allocationFailed) throw std::bad_alloc();
}
