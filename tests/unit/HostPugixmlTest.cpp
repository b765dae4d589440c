// A host that uses the same pugixml as the library: its allocation functions
// stay its own while conversions run on another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include <pugixml.hpp>

#include "engine/Engine.h"
#include "support/TempFolder.h"

namespace {

void* HostAllocate(std::size_t size) { return std::malloc(size); }
void HostFree(void* block) { std::free(block); }

TEST(HostPugixml, AllocationFunctionsStayTheHosts) {
    TempFolder folder;
    WriteFile(folder / "in.xml", std::string("\xFF\xFE<\0d\0a\0t\0/\0>\0", 14));
    pugi::set_memory_management_functions(HostAllocate, HostFree);
    std::atomic<bool> done{false};
    int failed = 0;
    std::thread calls([&] {
        const std::string input = folder / "in.xml", output = folder / "out.xml";
        for (int i = 0; i < 200; ++i) {
            failed += engine::Convert({engine::Direction::ToCustomer, input.c_str(), output.c_str(),
                                       engine::Folder::Given, folder.Path().c_str()})
                          .code != 0;
        }
        done = true;
    });
    bool changed = false;
    while (!done) changed = changed || pugi::get_memory_allocation_function() != HostAllocate;
    calls.join();
    EXPECT_FALSE(changed);
    EXPECT_EQ(failed, 0);
}

}  // namespace
