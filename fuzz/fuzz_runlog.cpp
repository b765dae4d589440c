// Run-log formatting and writing: module name, code and message from the
// input go through the entry format, the save-name rule and the file writer
// with a small rotation threshold. A formatted line is the time stamp, the
// module name in 20 columns, at most five characters of the code in five
// columns and the message (each text up to a NUL byte), cut at 511
// characters.
#include <cstdint>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzSupport.h"
#include "runlog/LogFileBase.h"
#include "runlog/ZkLogFile.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY.MM.DD hh.mm.ss : "
bool StartsWithTimeStamp(const std::string& line) {
    static const char kShape[] = "dddd.dd.dd dd.dd.dd : ";
    if (line.size() < sizeof kShape - 1) return false;
    for (std::size_t i = 0; i + 1 < sizeof kShape; ++i) {
        if (kShape[i] == 'd' ? !IsDigit(line[i]) : line[i] != kShape[i]) return false;
    }
    return true;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string UpToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const int code = provider.ConsumeIntegral<int>();
    const int maxSize = provider.ConsumeIntegralInRange<int>(-16, 4096);
    const std::string moduleName = provider.ConsumeRandomLengthString(1024);
    const std::string fileName = provider.ConsumeRandomLengthString(64);
    std::string message = provider.ConsumeRemainingBytesAsString();

    static CLogFileBase writer;
    writer.SetMaxSize(maxSize);
    const std::string text = message;
    writer.FormatEntry(moduleName, code, message);
    if (!StartsWithTimeStamp(message)) fuzz::Fail("entry line without its time stamp");
    std::string expected = message.substr(0, 19) + " : " + Padded(UpToNul(moduleName), 20) + " " +
                           Padded(std::to_string(code).substr(0, 5), 5) + "   " + UpToNul(text);
    if (expected.size() > CLogFileBase::kMaxLineLength) expected.resize(CLogFileBase::kMaxLineLength);
    if (message != expected) fuzz::Fail("entry line differs from its format");

    CLogFileBase::MakeSaveName(fileName);
    GetMessageText(code);

    const std::string folder = fuzz::ScratchFolder();
    writer.WriteEntry(folder + "/Runlog.log", message);
    // The logger itself: level filter, catalogue text, settings refresh.
    GetLogger().Log(moduleName, 1 + (code & 3), code, text, folder);
    return 0;
}
