// The streamed output against the whole-document one: each input converted
// in both directions, once with the document built whole and saved, once
// streamed with a flush every 1 to 7 nodes. Every byte of the output and
// the status file must be the same.
#include <algorithm>
#include <cstdint>
#include <string>

#include "converter/XmlTlvConverter.h"
#include "exports/SettingsState.h"
#include "fuzz/FuzzSupport.h"

namespace {
const char kTimeField[] = "date_time_value";

std::string Convert(const std::string& input, const std::string& output, bool toDevice, std::uint8_t option,
                    bool streamed, std::size_t flushEvery) {
    g_converter.m_operationClass = -1;
    g_converter.m_flushEvery = streamed ? flushEvery : 0;
    if (toDevice) g_converter.ConvertCustToZK8(input.c_str(), output.c_str(), option);
    else g_converter.ConvertZK8ToCust(input.c_str(), output.c_str(), option);
    return fuzz::ReadWholeFile(output) + "|" + (toDevice ? "" : fuzz::ReadWholeFile(output + "_Status.xml"));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A time of conversion differs from call to call.
    if (std::search(data, data + size, kTimeField, kTimeField + sizeof kTimeField - 1) != data + size) return 0;
    const std::string& folder = fuzz::ScratchFolder();
    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const std::uint8_t option = size & 1;
    g_enableDefaultNamespace = (size & 2) != 0;
    for (bool toDevice : {true, false}) {
        const std::string whole = Convert(input, folder + "/whole.xml", toDevice, option, false, 0);
        const std::string streamed = Convert(input, folder + "/streamed.xml", toDevice, option, true, 1 + size % 7);
        if (streamed != whole) fuzz::Fail(toDevice ? "streamed device output differs" : "streamed customer output differs");
    }
    return 0;
}
