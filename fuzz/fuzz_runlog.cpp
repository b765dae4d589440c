// Run-log entries from arbitrary module names, codes and messages: the line
// is the time stamp "YYYY.MM.DD hh.mm.ss : ", the module name in 20 columns,
// at most five characters of the code in five columns and the message (each
// text up to a NUL), cut at 511 characters; then the file writer with a small
// rotation threshold, the save-name rule and the logger itself.
#include <regex>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzSupport.h"
#include "runlog/RunLogFile.h"
#include "runlog/ZkLogFile.h"

namespace {
std::string Column(const std::string& text, std::size_t width) {
    const std::string cut = text.substr(0, text.find('\0'));
    return cut + std::string(width > cut.size() ? width - cut.size() : 0, ' ');
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const int code = provider.ConsumeIntegral<int>();
    const int maxSize = provider.ConsumeIntegralInRange<int>(-16, 4096);
    const std::string moduleName = provider.ConsumeRandomLengthString(1024);
    const std::string fileName = provider.ConsumeRandomLengthString(64);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    const std::string line = FormatLogLine(moduleName, code, text);
    static const std::regex stamp(R"(\d{4}\.\d\d\.\d\d \d\d\.\d\d\.\d\d)");
    if (line.size() < 19 || !std::regex_match(line.substr(0, 19), stamp)) fuzz::Fail("entry without its time stamp");
    const std::string expected = (line.substr(0, 19) + " : " + Column(moduleName, 20) + " " +
                                  Column(std::to_string(code).substr(0, 5), 5) + "   " + Column(text, 0))
                                     .substr(0, kMaxLogLineLength);
    if (line != expected) fuzz::Fail("entry line differs from its format");

    SaveNameOf(fileName);
    AppendLogEntries({LogEntry{fuzz::ScratchFolder() + "/Runlog.log", line, FirstLogLine(), maxSize}});
    GetLogger().Log(moduleName, 1 + (code & 3), code, text, fuzz::ScratchFolder());
    return 0;
}
