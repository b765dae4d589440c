// What runs out under a real host: its address space (a 32-bit host has at
// most 2 GB) and the disk. A conversion too large for the memory fails with
// -96 and the host lives on to convert the next file; the tool never leaves
// a truncated file that looks finished.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/Command.h"
#include "support/Library.h"
#include "support/RunLogText.h"
#include "support/TempFolder.h"

namespace {

const std::string kTool = ZK8_TOOL_PATH;

// Writes `count` copies of `record` between head and tail, in UTF-16 when asked.
void WriteLarge(const std::string& path, bool utf16, const std::string& head, const std::string& record,
                int count, const std::string& tail) {
    auto encode = [utf16](const std::string& text) { return utf16 ? Utf16(text) : text; };
    std::ofstream file(path, std::ios::binary);
    file << (utf16 ? "\xFF\xFE" : "") << encode(head);
    const std::string block = encode(record);
    for (int i = 0; i < count; ++i) file << block;
    file << encode(tail);
}

long AddressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7)) * 1024;
    }
    return 0;
}

struct MemoryCase {
    const char* name;
    bool toDevice;
    const char* smallInput;
    const char* smallOutput;  // ASCII text of the UTF-16 output after its mark
};

// By name: gtest would print the bytes of the struct, padding included.
void PrintTo(const MemoryCase& c, std::ostream* out) { *out << c.name; }

class AddressSpaceLimitTest : public testing::TestWithParam<MemoryCase> {};

TEST_P(AddressSpaceLimitTest, TooLargeFailsThenTheHostConvertsTheNextFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space limit";
#endif
    const MemoryCase& c = GetParam();
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string big = folder / "big.xml", small = folder / "small.xml";
    if (c.toDevice) {
        WriteLarge(big, false, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles>",
                   "<article mode=\"write\"><plu_no>1</plu_no><name>Apple</name></article>", 400000,
                   "</articles></scaledata>");
        WriteFile(small, c.smallInput);
    } else {
        WriteLarge(big, true, "<dat>", "<art m=\"w\"><plu>1</plu><nam>Apple</nam></art>", 400000, "</dat>");
        WriteFile(small, "\xFF\xFE" + Utf16(c.smallInput));
    }

    // The host: loads the library, is given 48 MB more address space than
    // it has, converts the large file and then the small one.
    const pid_t host = fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        Library library;
        const long limit = AddressSpaceInUse() + (48L << 20);
        const rlimit cap{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        setrlimit(RLIMIT_AS, &cap);
        auto convert = [&](const std::string& input, const std::string& output) {
            return c.toDevice ? library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str())
                              : library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str());
        };
        const int first = convert(big, folder / "big-out.xml");
        const int second = convert(small, folder / "small-out.xml");
        _exit(first == -96 && second == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(host, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the host did not survive";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "results other than -96, then 0";
    EXPECT_FALSE(Exists(folder / "big-out.xml"));
    EXPECT_EQ(ReadFile(folder / "small-out.xml"), "\xFF\xFE" + Utf16(c.smallOutput));
    const std::string options =
        c.toDevice ? "<TS> : ZK8_XML_Conv         32013   Create length attribute in xml data is enabled \r\n"
                     "<TS> : ZK8_XML_Conv         32011   Create nil-attribute in xml data is enabled \r\n"
                     "<TS> : ZK8_XML_Conv         32016   Create default namespace in xml data is disabled \r\n"
                   : "";
    EXPECT_EQ(Masked(ReadFile(folder / "Runlog.log")),
              kRunLogHead + "<TS> : ZK8_XML_Conv         13017   Memory error " + big + "\r\n" + options);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressSpaceLimitTest,
    testing::Values(
        MemoryCase{"CustomerUtf8ToDevice", true,
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles><article mode=\"write\">"
                   "<plu_no>12</plu_no></article></articles></scaledata>",
                   "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><_/><art m=\"w\"><dvn>0</dvn>"
                   "<plu>12</plu></art><_/></dat>"},
        MemoryCase{"DeviceUtf16ToCustomer", false, "<dat><art m=\"d\"><plu>12</plu></art></dat>",
                   "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi=\"http://www.w3.org/2001/"
                   "XMLSchema-instance\"><articles><article mode=\"delete\"><plu_no>12</plu_no></article>"
                   "</articles></scaledata>"}),
    [](const testing::TestParamInfo<MemoryCase>& info) { return info.param.name; });

// The tool checks every file it was asked for; one not written in full
// makes it fail with the file and the reason, and leaves the earlier output.
struct WriteCase {
    const char* name;
    const char* limits;   // shell set-up before the tool runs
    const char* command;  // IN, OUT and DIR are replaced
    const char* blocked;  // a folder made in the way of a file, or ""
    const char* message;  // OUT and DIR are replaced
};

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

class FailedWriteTest : public testing::TestWithParam<WriteCase> {};

std::string Replaced(std::string text, const TempFolder& folder) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"IN", folder / "in.xml"},
                                     {"OUT", folder / "out/in.xml"},
                                     {"DIR", folder / "out"}}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
    }
    return text;
}

TEST_P(FailedWriteTest, ToolFailsNamingTheFileAndKeepsTheEarlierOutput) {
    const WriteCase& c = GetParam();
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteLarge(folder / "in.xml", true, "<dat>", "<art m=\"w\"><plu>1</plu><nam>Apple</nam></art>", 200, "</dat>");
    std::filesystem::create_directories(folder / "out");
    WriteFile(folder / "out/in.xml", "earlier");
    if (*c.blocked != '\0') std::filesystem::create_directories(Replaced(c.blocked, folder));

    const CommandRun run = RunCommand("bash -c \"trap '' XFSZ; " + std::string(c.limits) + " exec " + kTool +
                                      " " + Replaced(c.command, folder) + "\"");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, Replaced(c.message, folder));
    EXPECT_EQ(ReadFile(folder / "out/in.xml"), "earlier");
    for (const auto& entry : std::filesystem::directory_iterator(folder / "out")) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file was left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedWriteTest,
    testing::Values(
        WriteCase{"FileSizeLimit", "ulimit -f 4;", "to-customer --workdir DIR IN OUT", "",
                  "zk8conv: cannot write OUT: File too large\n"},
        WriteCase{"StatusFileInTheWay", "", "to-customer --workdir DIR IN OUT", "OUT_Status.xml",
                  "zk8conv: cannot write OUT_Status.xml: Is a directory\n"},
        WriteCase{"BatchFileSizeLimit", "ulimit -f 4;", "convert --to customer IN --out-dir DIR", "",
                  "FAILED IN: cannot write OUT: File too large\n0 of 1 files converted into DIR; 1 failed\n"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

}  // namespace
