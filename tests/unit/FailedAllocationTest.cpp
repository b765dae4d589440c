// pugixml never throws: when it cannot allocate, it returns an empty node or
// an out-of-memory parse status. Here its allocations fail from a chosen one
// on, as when memory runs out at that point of a conversion: during the
// load, or during the walk. The call must fail with -96 instead of saving a
// truncated document, hold on to nothing, and leave the next call intact.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include <pugixml.hpp>

#include "support/RunLogText.h"
#include "support/TempFolder.h"
#include "zk8_xml_conv.h"

namespace {

std::size_t g_allocations = 0;
std::size_t g_failFrom = SIZE_MAX;
long g_outstanding = 0;

void* Allocate(std::size_t size) {
    if (++g_allocations >= g_failFrom) return nullptr;
    ++g_outstanding;
    return std::malloc(size);
}

void Deallocate(void* block) {
    --g_outstanding;
    std::free(block);
}

// Enough records that both documents take many allocations.
std::string ManyRecords(bool device) {
    std::string text = device ? "<dat>" : "<scaledata><articles>";
    for (int i = 0; i < 3000; ++i) {
        text += device ? "<art m=\"w\"><plu>1</plu><nam>Apple</nam></art>"
                       : "<article mode=\"write\"><plu_no>1</plu_no><name>Apple</name></article>";
    }
    return text + (device ? "</dat>" : "</articles></scaledata>");
}

struct Case {
    const char* name;
    bool toDevice;
    bool failAtTheLastAllocation;  // else at the first: the input's buffer
};

// By name: gtest would print the bytes of the struct, padding included.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class FailedAllocationTest : public testing::TestWithParam<Case> {};

TEST_P(FailedAllocationTest, CallFailsHoldsNothingAndTheNextCallWorks) {
    const Case& c = GetParam();
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string big = folder / "big.xml", out = folder / "out.xml", small = folder / "small.xml";
    WriteFile(big, c.toDevice ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + ManyRecords(false) : "\xFF\xFE" + Utf16(ManyRecords(true)));
    auto convert = [&](const std::string& input) {
        return c.toDevice ? CustToZK8Ext(input.c_str(), out.c_str(), folder.Path().c_str())
                          : ZK8ToCustExt(input.c_str(), out.c_str(), folder.Path().c_str());
    };
    pugi::set_memory_management_functions(Allocate, Deallocate);

    // The first call builds the dictionary; the second counts what one
    // conversion of the input allocates.
    ASSERT_EQ(convert(big), 0);
    g_allocations = 0;
    ASSERT_EQ(convert(big), 0);
    const std::size_t perCall = g_allocations;
    ASSERT_GT(perCall, 10u);
    std::remove(out.c_str());
    std::remove((out + "_Status.xml").c_str());
    std::remove((folder / "Runlog.log").c_str());

    g_allocations = 0;
    g_failFrom = c.failAtTheLastAllocation ? perCall : 1;
    EXPECT_EQ(convert(big), -96);
    EXPECT_EQ(g_outstanding, 0);  // not even the previous call's output is kept
    EXPECT_FALSE(Exists(out));
    EXPECT_FALSE(Exists(out + "_Status.xml"));
    EXPECT_EQ(Masked(ReadFile(folder / "Runlog.log")),
              kRunLogHead + "<TS> : ZK8_XML_Conv         13017   Memory error " + big + "\r\n");

    g_failFrom = SIZE_MAX;
    if (c.toDevice) {
        WriteFile(small, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles><article mode=\"read\"><plu_no>7</plu_no></article>"
                         "</articles></scaledata>");
        ASSERT_EQ(convert(small), 0);
        EXPECT_EQ(ReadFile(out), "\xFF\xFE" + Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><_/>"
                                       "<art m=\"r\"><dvn>fm</dvn><plu>7</plu></art><_/></dat>"));
    } else {
        WriteFile(small, "\xFF\xFE" + Utf16("<dat><lit m=\"r\"><nam>x</nam></lit></dat>"));
        ASSERT_EQ(convert(small), 0);
        EXPECT_EQ(ReadFile(out),
                  "\xFF\xFE" + Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi=\""
                        "http://www.w3.org/2001/XMLSchema-instance\"><term_lists><term_list mode=\"read\">"
                        "<name>x</name></term_list></term_lists></scaledata>"));
        EXPECT_EQ(ReadFile(out + "_Status.xml"), "\xFF\xFE" + Utf16("<?xml version=\"1.0\"?>\n<status/>\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedAllocationTest,
                         testing::Values(Case{"ToDeviceWhileLoading", true, false},
                                         Case{"ToDeviceWhileWalking", true, true},
                                         Case{"ToCustomerWhileLoading", false, false},
                                         Case{"ToCustomerWhileWalking", false, true}),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
