// Customer XML to device XML: the engine on arbitrary input bytes. The input
// reaches the engine as a file, as it does from the driver; the run log of
// the scratch folder takes level-3 entries, so that names from the input
// also go through the log formatting and rotation. Each input is converted
// twice: the second output must equal the first.
#include <algorithm>
#include <cstdint>
#include <string>

#include "converter/XmlTlvConverter.h"
#include "exports/SettingsState.h"
#include "fuzz/FuzzSupport.h"

namespace {
const char kTimeField[] = "date_time_value";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzz::ConversionScratchFolder();

    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const std::string output = folder + "/out.xml";
    // The option and the namespace switch vary with the input's length, so
    // that every input keeps its bytes as they are.
    const std::uint8_t option = size & 1;
    g_enableDefaultNamespace = (size & 2) != 0;

    // Nothing of the previous input may show in this one's output: a second
    // run must give the same bytes. The operation class is the one state
    // that lives on by design, so both runs start from the same; a time of
    // conversion in the output would differ from run to run.
    g_converter.m_operationClass = -1;
    g_converter.ConvertCustToZK8(input.c_str(), output.c_str(), option);
    const std::string written = fuzz::ReadWholeFile(output);
    if (written.compare(0, 2, "\xFF\xFE") != 0) fuzz::Fail("device output without byte-order mark");

    const bool timed =
        std::search(data, data + size, kTimeField, kTimeField + sizeof kTimeField - 1) != data + size;
    if (timed) return 0;
    g_converter.m_operationClass = -1;
    g_converter.ConvertCustToZK8(input.c_str(), output.c_str(), option);
    if (fuzz::ReadWholeFile(output) != written) fuzz::Fail("a second run gives another output");
    return 0;
}
