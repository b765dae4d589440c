// Device XML to customer XML, status file included: the engine on arbitrary
// input bytes, with level-3 run-log entries as in fuzz_to_device. The status
// file escapes its texts, so it must always read back as XML with its root.
// Each input is converted twice: the second run must write the same files.
#include <cstdint>
#include <string>

#include <pugixml.hpp>

#include "converter/XmlTlvConverter.h"
#include "exports/SettingsState.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzz::ConversionScratchFolder();

    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const std::string output = folder + "/out.xml";
    const std::uint8_t createNil = size & 1;
    g_enableDefaultNamespace = (size & 2) != 0;

    g_converter.ConvertZK8ToCust(input.c_str(), output.c_str(), createNil);
    const std::string written = fuzz::ReadWholeFile(output);
    if (written.compare(0, 2, "\xFF\xFE") != 0)
        fuzz::Fail("customer output without byte-order mark");
    const std::string status = fuzz::ReadWholeFile(output + "_Status.xml");

    // Nothing of the previous input may show in this one's output: a second
    // run must give the same bytes.
    g_converter.ConvertZK8ToCust(input.c_str(), output.c_str(), createNil);
    if (fuzz::ReadWholeFile(output) != written) fuzz::Fail("a second run gives another output");
    if (fuzz::ReadWholeFile(output + "_Status.xml") != status) {
        fuzz::Fail("a second run gives another status file");
    }

    if (status.compare(0, 2, "\xFF\xFE") != 0) fuzz::Fail("status file without byte-order mark");
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(
        status.data(), status.size(), pugi::parse_default, pugi::encoding_utf16_le);
    if (!parsed || !document.child("status")) fuzz::Fail("status file is not well-formed");
    return 0;
}
